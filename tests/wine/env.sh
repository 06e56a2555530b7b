# Sourced by the Wine test scripts: a private prefix inside the build tree, no display unless
# a runner starts its own virtual one (zk_display_start), no Mono/Gecko prompts, no menu builder.
ZANKIT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX="${ZANKIT_WINEPREFIX:-$ZANKIT_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

ZANKIT_DLL64="$ZANKIT_ROOT/build/win64/src/zankit.dll"
ZANKIT_DLL32="$ZANKIT_ROOT/build/win32/src/zankit.dll"
CSCRIPT64='cscript'
CSCRIPT32='C:\windows\syswow64\cscript.exe'
# The loaders of each bitness, the time limits of x86 runs and new prefixes.
source "$ZANKIT_ROOT/scripts/wine_loaders.sh"

# A virtual X display (Xvfb) for the whole run, so that windows and dialogs can open. The
# prefix's wineserver is ended first: Wine's desktop keeps the display its server started with.
# Sets DISPLAY; zk_display_stop (run it from the caller's EXIT trap) ends the server again.
zk_display_pid=""
zk_display_start() {
  command -v Xvfb > /dev/null || { echo "Xvfb is not installed"; return 1; }
  wineserver -k 2> /dev/null; wineserver -w 2> /dev/null
  local fdfile
  fdfile=$(mktemp /tmp/zankit-display.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$fdfile" 2> /dev/null &
  zk_display_pid=$!
  zk_wait_for "$fdfile" || { rm -f "$fdfile"; echo "Xvfb did not start"; return 1; }
  export DISPLAY=":$(head -n 1 "$fdfile")"
  rm -f "$fdfile"
}
zk_display_stop() {
  [ -n "$zk_display_pid" ] || return 0
  wineserver -k 2> /dev/null; wineserver -w 2> /dev/null
  kill "$zk_display_pid" 2> /dev/null
  wait "$zk_display_pid" 2> /dev/null
  zk_display_pid=""
  unset DISPLAY
}

zk_register_all() {
  zk_regsvr32 /s "$ZANKIT_DLL64" && zk_regsvr32 /s "$ZANKIT_DLL32"
}

# Extra drives for the query tests: a folder mapped as D: and marked as CD-ROM, and N:
# whose target does not exist (the system lists it, but it is never ready). Idempotent.
export ZANKIT_TEST_CDROM_DRIVE='D:'
export ZANKIT_TEST_DANGLING_DRIVE='N:'
zk_prefix_drives() {
  local disc="$ZANKIT_ROOT/build/wine-drives/cdrom"
  mkdir -p "$disc" && echo "ZanKit test disc" > "$disc/readme.txt"
  ln -sfn "$disc" "$WINEPREFIX/dosdevices/d:"
  ln -sfn "$ZANKIT_ROOT/build/wine-drives/missing" "$WINEPREFIX/dosdevices/n:"
  zk_wine64 reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f /reg:64 > /dev/null 2>&1 || return 1
  wineserver -w  # the mount manager reads the drive types when it starts again
}

# Small TAP-like helpers for shell tests: ok/not ok lines and a closing summary.
zk_passed=0
zk_failed=0
zk_check() {  # zk_check "name" command...
  local name=$1
  shift
  if "$@" > /dev/null 2>&1; then
    zk_passed=$((zk_passed + 1)); echo "ok - $name"
  else
    zk_failed=$((zk_failed + 1)); echo "not ok - $name"
  fi
}
not() { ! "$@"; }
zk_summary() { echo "$zk_passed passed, $zk_failed failed"; [ "$zk_failed" -eq 0 ]; }

# Waits (at most ten seconds) until every named file exists and is not empty: the peers write
# their ports into files once they listen.
zk_wait_for() {
  local tries file missing
  for tries in $(seq 1 100); do
    missing=0
    for file in "$@"; do [ -s "$file" ] || missing=1; done
    [ "$missing" -eq 0 ] && return 0
    sleep 0.1
  done
  return 1
}

# The Windows form of a Unix path (Wine maps / to drive Z:).
zk_winpath() { local p=$1; echo "Z:${p//\//\\}"; }
