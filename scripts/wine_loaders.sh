# Sourced by the project's Wine scripts (tests, demo, benchmarks): which loader starts a program
# of each bitness, the time limits of x86 runs, and new prefixes. Needs WINEPREFIX's settings from
# the caller (tests/wine/env.sh).
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
# start runs its 32-bit setup, many minutes where 32-bit programs run emulated.
zk_prefix_create() {  # zk_prefix_create DIR
  local dir=$1
  local cache=${ZANKIT_PREFIX_CACHE:-/var/cache/zankit} version pristine
  version=$(wine --version 2> /dev/null | tr -c 'A-Za-z0-9.~+\n-' _)
  pristine="$cache/prefix-$version"
  mkdir -p "$cache" || return 1
  (
    flock 9
    if [ ! -f "$pristine/system.reg" ]; then
      echo "== making a pristine Wine prefix in $pristine (once per Wine version)"
      rm -rf "$pristine.new" && mkdir -p "$pristine.new" || exit 1
      WINEPREFIX="$pristine.new" "$(zk_wine_for 64)" wineboot -i > "$cache/wineboot.log" 2>&1 || { cat "$cache/wineboot.log"; exit 1; }
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
