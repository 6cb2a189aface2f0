#!/usr/bin/env bash
# Makes DEST a private copy of the Wine prefix BASE, cheaply: hard links for
# the large tree Wine only reads, real copies of the registry files it
# rewrites. Files a test creates or replaces stay in the copy.
# Usage: prefix-copy.sh BASE DEST
set -euo pipefail
base=$1 dest=$2
rm -rf "$dest"; mkdir -p "$dest"
cp -al "$base/." "$dest/"
for f in system.reg user.reg userdef.reg; do rm -f "$dest/$f"; cp "$base/$f" "$dest/$f"; done
# The session's warm-up lock (wine-run.sh) is the copy's own: a hard link
# would make every copy wait for the warm-up of every other.
rm -f "$dest/.session.lock"
