#!/usr/bin/env bash
# Writes the upgrade manifest for a release of the client into the current
# folder: client-upgrade.json naming the package's URL, size and SHA-256,
# valid for 30 days; and, given the vendor's private key (RSA, PEM), its
# detached signature client-upgrade.json.sig (PKCS#1 v1.5 over SHA-256 of
# the exact bytes, raw binary), which an installer built with the matching
# public key (VELMORA_MANIFEST_KEY) requires.
#
# Usage: publish-manifest.sh PACKAGE URL [PRIVATE_KEY]
# Environment: VELMORA_VERSION (default 1.0.0), VELMORA_VERSION_CODE
# (default 1), VELMORA_EXPIRES_DAYS (default 30), VELMORA_MIRRORS (up to 4
# further URLs of the same package, separated by blanks, in the order the
# installer is to try them when URL fails; the signature covers them too).
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: publish-manifest.sh PACKAGE URL [PRIVATE_KEY]" >&2
  exit 2
fi
package=$1 url=$2 key=${3:-}
[ -f "$package" ] || { echo "publish-manifest: no package $package" >&2; exit 1; }
# The installer takes printable ASCII only, without user information, under
# 256 characters; https:// is better wherever the server can have it.
check_url() {
  case "$1" in
    http://* | https://*) ;;
    *) echo "publish-manifest: the installer fetches http:// and https:// URLs only: $1" >&2; exit 1 ;;
  esac
  if ! printf '%s' "$1" | LC_ALL=C grep -qx '[!-~]*' || printf '%s' "${1#*://}" | cut -d/ -f1 | grep -q '@' ||
     [ ${#1} -gt 255 ]; then
    echo "publish-manifest: the installer takes printable ASCII without user information, up to 255 characters: $1" >&2
    exit 1
  fi
}
check_url "$url"
read -r -a mirrors <<< "${VELMORA_MIRRORS:-}"
if [ ${#mirrors[@]} -gt 4 ]; then
  echo "publish-manifest: at most 4 mirrors; an installer refuses a manifest with more" >&2
  exit 1
fi
for mirror in "${mirrors[@]}"; do check_url "$mirror"; done
size=$(stat -c %s "$package")
sha256=$(sha256sum "$package" | cut -d' ' -f1)
expires=$(( $(date +%s) + 86400 * ${VELMORA_EXPIRES_DAYS:-30} ))
python3 - "$url" "$size" "$sha256" "$expires" "${VELMORA_VERSION:-1.0.0}" "${VELMORA_VERSION_CODE:-1}" \
  "${mirrors[@]}" <<'PY'
import json
import sys

url, size, sha256, expires, version, code = sys.argv[1:7]
document = {"code": 100, "msg": "ok",
            "result": {"version": version, "versionCode": int(code), "downloadUrl": url,
                       "size": int(size), "sha256": sha256, "expires": int(expires)}}
if sys.argv[7:]:
    document["result"]["mirrors"] = sys.argv[7:]
with open("client-upgrade.json", "w") as f:
    f.write(json.dumps(document, ensure_ascii=False, separators=(",", ":")))
PY
if [ -n "$key" ]; then
  openssl dgst -sha256 -sign "$key" -out client-upgrade.json.sig client-upgrade.json
  echo "publish-manifest: wrote client-upgrade.json and client-upgrade.json.sig"
else
  rm -f client-upgrade.json.sig
  echo "publish-manifest: wrote client-upgrade.json (unsigned)"
fi
