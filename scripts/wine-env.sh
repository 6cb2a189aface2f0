# Sourced by the scripts that run Wine: the Wine of a build's test
# architecture, named explicitly. Debian's `wine` wrapper takes the 32-bit
# loader whenever its file exists, even on a machine that cannot run it,
# and wineboot, winepath, regedit and winecfg are scripts around that
# wrapper; so everything here goes through the loader itself.
#
#   velmora_wine_env BUILD_DIR   exports WINEARCH, WINELOADER (the loader
#                                to start programs with), WINESERVER and
#                                VELMORA_BASE_PREFIX (the build's prefix of
#                                that kind) for the build's architecture and
#                                the prefix kind VELMORA_PREFIX_KIND names:
#                                win32 (a 32-bit Windows, one registry view)
#                                or win64 (a 64-bit Windows, where a 32-bit
#                                program runs under WOW64). An i686 build
#                                takes win32 by default and can take win64;
#                                an x86_64 build only win64.
#   velmora_winver VER           the version name winecfg takes for VER in
#                                this prefix: a 64-bit prefix reports XP as
#                                winxp64 (major version 5 too) and refuses winxp

velmora_wine_env() {
  local arch kind
  arch=$(cat "$1/velmora-arch" 2>/dev/null) || { echo "wine-env: $1 is not a configured build" >&2; return 1; }
  case "$arch" in
    i686) kind=${VELMORA_PREFIX_KIND:-win32} ;;
    x86_64) kind=${VELMORA_PREFIX_KIND:-win64} ;;
    *) echo "wine-env: unknown architecture '$arch'" >&2; return 1 ;;
  esac
  case "$arch:$kind" in
    i686:win32) export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
    *:win64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "wine-env: an $arch build does not run in a $kind prefix" >&2; return 1 ;;
  esac
  # The build's default kind has the prefix everything else names.
  if [ "$kind" = "$( [ "$arch" = i686 ] && echo win32 || echo win64 )" ]; then
    export VELMORA_BASE_PREFIX=$(cd "$1" && pwd)/wine/prefix
  else
    export VELMORA_BASE_PREFIX=$(cd "$1" && pwd)/wine/prefix-$kind
  fi
  # The server script picks the 64-bit server where it is installed; it
  # serves 32-bit and 64-bit prefixes alike.
  export WINESERVER=/usr/lib/wine/wineserver
  [ -x "$WINELOADER" ] || { echo "wine-env: $WINELOADER is missing: run scripts/install-deps.sh" >&2; return 1; }
}

velmora_winver() {
  if [ "$WINEARCH" = win64 ] && [ "$1" = winxp ]; then echo winxp64; else echo "$1"; fi
}
