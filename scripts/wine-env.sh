# Sourced by the scripts that run Wine: the Wine of a build's test
# architecture, named explicitly. Debian's `wine` wrapper takes the 32-bit
# loader whenever its file exists, even on a machine that cannot run it,
# and wineboot, winepath, regedit and winecfg are scripts around that
# wrapper; so everything here goes through the loader itself.
#
#   velmora_wine_env BUILD_DIR   exports WINEARCH, WINELOADER (the loader
#                                to start programs with) and WINESERVER for
#                                the architecture BUILD_DIR was built for
#   velmora_winver VER           the version name winecfg takes for VER in
#                                this prefix: a 64-bit prefix reports XP as
#                                winxp64 (major version 5 too) and refuses winxp

velmora_wine_env() {
  local arch
  arch=$(cat "$1/velmora-arch" 2>/dev/null) || { echo "wine-env: $1 is not a configured build" >&2; return 1; }
  case "$arch" in
    i686) export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
    x86_64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "wine-env: unknown architecture '$arch'" >&2; return 1 ;;
  esac
  # The server script picks the 64-bit server where it is installed; it
  # serves 32-bit and 64-bit prefixes alike.
  export WINESERVER=/usr/lib/wine/wineserver
  [ -x "$WINELOADER" ] || { echo "wine-env: $WINELOADER is missing: run scripts/install-deps.sh" >&2; return 1; }
}

velmora_winver() {
  if [ "$WINEARCH" = win64 ] && [ "$1" = winxp ]; then echo winxp64; else echo "$1"; fi
}
