#!/usr/bin/env bash
# Builds the release executable from the current commit in two fresh
# checkouts at different paths and prints both SHA-256 sums: the same
# sources must give the same bytes. Usage: bench/reproducible.sh
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for dir in "$work/a" "$work/checkout-b"; do
  git clone -q "$src" "$dir"
  git -C "$dir" checkout -q "$(git -C "$src" rev-parse HEAD)"
  bash "$dir/scripts/release.sh" "$dir/build-release" | sed "s|^|$(basename "$dir"): |"
done
a=$(sha256sum "$work/a/build-release/VelmoraInstaller.exe" | cut -d' ' -f1)
b=$(sha256sum "$work/checkout-b/build-release/VelmoraInstaller.exe" | cut -d' ' -f1)
if [ "$a" = "$b" ]; then echo "reproducible: yes ($a)"; else echo "reproducible: NO ($a vs $b)"; exit 1; fi
