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
# Debian's "wine" is the 32-bit loader: it starts the 32-bit build of a built-in program
# such as cscript. The 64-bit script host needs the 64-bit loader.
ZANKIT_WINE64=/usr/lib/wine/wine64
zk_wine_for() {  # zk_wine_for 64|32: the loader for a script host of that bitness
  if [ "$1" = 64 ] && [ -x "$ZANKIT_WINE64" ]; then echo "$ZANKIT_WINE64"; else echo wine; fi
}

# Debian's "wine" is the 32-bit loader: it runs a built-in program such as reg or regsvr32 in
# its 32-bit build. zk_wine64 runs the 64-bit build (the registry tool's /reg:32 and /reg:64
# choose the view either way); zk_regsvr32 registers a DLL with the regsvr32 of its bitness.
# Where the kernel cannot start 32-bit programs they run emulated, a minute for each start:
# only the x86 work itself takes the 32-bit loader.
zk_wine64() { "$(zk_wine_for 64)" "$@"; }
# Where the kernel cannot start 32-bit programs, install-deps.sh hands them to qemu's user-mode
# emulator: an x86 run then takes many times as long, and its time limit grows by this factor.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then ZANKIT_X86_SLOWDOWN=${ZANKIT_X86_SLOWDOWN:-10}; else ZANKIT_X86_SLOWDOWN=1; fi
zk_x86_emulated() { [ "$ZANKIT_X86_SLOWDOWN" -gt 1 ]; }
zk_limit_for() {  # zk_limit_for 64|32 SECONDS: the time limit of a run of that bitness
  if [ "$1" = 32 ]; then echo $(($2 * ZANKIT_X86_SLOWDOWN)); else echo "$2"; fi
}

zk_pe_is_x86() {  # the machine field of the file's PE header: 0x14c is x86
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  [ "$machine" = 014c ]
}
zk_loader_for() {  # zk_loader_for FILE: the loader for a program or DLL of the file's bitness
  if zk_pe_is_x86 "$1"; then echo wine; else zk_wine_for 64; fi
}
zk_regsvr32() {  # zk_regsvr32 [options] DLL: the DLL comes last
  "$(zk_loader_for "${*: -1}")" regsvr32 "$@"
}

# A new prefix in DIR (replacing what is there), copied from a pristine prefix that is made once
# per Wine version and kept in ZANKIT_PREFIX_CACHE (default /var/cache/zankit): Wine's first
# start runs its 32-bit setup, many minutes where 32-bit programs run emulated. A command given
# after DIR runs the first wineboot (the DNS runner starts it inside its network namespace).
zk_prefix_create() {  # zk_prefix_create DIR [command ...]
  local dir=$1
  shift
  local cache=${ZANKIT_PREFIX_CACHE:-/var/cache/zankit} version pristine
  version=$(wine --version 2> /dev/null | tr -c 'A-Za-z0-9.~+\n-' _)
  pristine="$cache/prefix-$version"
  mkdir -p "$cache" || return 1
  (
    flock 9
    if [ ! -f "$pristine/system.reg" ]; then
      echo "== making a pristine Wine prefix in $pristine (once per Wine version)"
      rm -rf "$pristine.new" && mkdir -p "$pristine.new" || exit 1
      WINEPREFIX="$pristine.new" "$@" "$(zk_wine_for 64)" wineboot -i > "$cache/wineboot.log" 2>&1 || { cat "$cache/wineboot.log"; exit 1; }
      WINEPREFIX="$pristine.new" wineserver -w
      mv "$pristine.new" "$pristine"
    fi
  ) 9> "$cache/lock" || return 1
  WINEPREFIX="$dir" wineserver -k 2> /dev/null
  rm -rf "$dir" && mkdir -p "$(dirname "$dir")" && cp -a "$pristine" "$dir"
}

zk_prefix_setup() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix in $WINEPREFIX"
    zk_prefix_create "$WINEPREFIX"
  fi
}

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
