#!/usr/bin/env bash
# Creates the project's own Wine prefix of a build once, BUILD_DIR/wine/prefix
# (or, for a kind other than the build's default, BUILD_DIR/wine/prefix-KIND):
# 32-bit or 64-bit as the build and VELMORA_PREFIX_KIND say
# (scripts/wine-env.sh), wineboot, no Mono/Gecko download prompts, and the
# Chinese UI face mapped to an installed CJK font.
# Usage: wine-prefix.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
velmora_wine_env "$1"
prefix=$VELMORA_BASE_PREFIX
# Bump when the prefix settings below change: older prefixes are rebuilt.
version="8 $WINEARCH"
[ "$(cat "$prefix/.velmora-ready" 2>/dev/null)" = "$version" ] && exit 0
# Tests that start at once wait for one maker.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ "$(cat "$prefix/.velmora-ready" 2>/dev/null)" = "$version" ] && exit 0

if [ -d "$prefix" ]; then WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1 || true; fi
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
echo "wine-prefix: creating $prefix ($WINEARCH)"
"$WINELOADER" wineboot.exe -i </dev/null >/dev/null 2>&1
# Registry file in UTF-16 so the Chinese value name survives any locale.
reg=$(mktemp --suffix=.reg)
python3 - "$reg" "$WINEARCH" <<'PY'
import sys


def multi_sz(*items):
    data = ''.join(i + '\0' for i in items).encode('utf-16-le') + b'\0\0'
    return 'hex(7):' + ','.join('%02x' % b for b in data)


# The dialog font ("MS Shell Dlg", which Wine maps to Tahoma) has no CJK
# glyphs: link the CJK font behind it, so Chinese control texts are drawn
# with its glyphs while Latin text keeps the dialog font.
cjk = multi_sz('wqy-microhei.ttc,WenQuanYi Micro Hei')
links = ''.join('"%s"=%s\r\n' % (face, cjk)
                for face in ('Tahoma', 'MS Shell Dlg', 'MS Shell Dlg 2', 'Microsoft Sans Serif'))
text = ('Windows Registry Editor Version 5.00\r\n\r\n'
        '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
        + links + '\r\n'
        '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        '"\u5fae\u8f6f\u96c5\u9ed1"="WenQuanYi Micro Hei"\r\n'
        '"Microsoft YaHei"="WenQuanYi Micro Hei"\r\n\r\n'
        '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n'
        '"winemenubuilder.exe"=""\r\n\r\n'
        # Windows the X server's window manager does not manage: without a
        # window manager (Xvfb) every hide would wait 2 s for one.
        '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
        '"Managed"="N"\r\n\r\n'
        # A program that crashes (the stand-in setup can) just ends with its
        # exception code: the debugger named here does not exist (without one
        # Wine starts winedbg, which keeps the program's file open a while)
        # and no crash dialog shows.
        '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n'
        '"ShowCrashDialog"=dword:00000000\r\n\r\n'
        '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\r\n'
        '"Debugger"="velmora-no-debugger.exe %ld %ld"\r\n\r\n')
if sys.argv[2] == 'win64':
    # 64-bit Windows has the 32-bit view's Run key from the start, where
    # 32-bit programs (the installer among them) keep their values; Wine's
    # 64-bit prefix has only its RunOnce.
    text += '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\r\n'
open(sys.argv[1], 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
PY
"$WINELOADER" regedit.exe /S "$("$WINELOADER" winepath.exe -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
rm -f "$reg"
"$WINESERVER" -w
# Wine links the user's Desktop, Documents and the like to the Linux home
# folder; tests must keep what they create inside the prefix (and its
# copies), so make them plain folders.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
done
grep -q 'WenQuanYi Micro Hei' "$prefix/user.reg" || { echo "wine-prefix: font mapping missing" >&2; exit 1; }
grep -q 'wqy-microhei.ttc' "$prefix/system.reg" || { echo "wine-prefix: font link missing" >&2; exit 1; }
if [ "$WINEARCH" = win64 ] && ! grep -qF '[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]' "$prefix/system.reg"; then
  echo "wine-prefix: the 32-bit view's Run key is missing" >&2; exit 1
fi
echo "$version" >"$prefix/.velmora-ready"
