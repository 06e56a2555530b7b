#!/usr/bin/env bash
# Late-bound call cost under Wine, x64: FixPath against the FileSystemObject's GetFileName from
# the 64-bit script host and from a C++ host (IDispatch::Invoke, names looked up once), in one
# run. Needs build/win64 built. Usage: bench/dispatch/run.sh [calls]   (default 1000000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
calls=${1:-1000000}
work="$root/build/bench-dispatch"
mkdir -p "$work"
x86_64-w64-mingw32-g++ -O2 -static -municode -o "$work/dispatch_bench.exe" "$root/bench/dispatch/dispatch_bench.cpp" \
  -lole32 -loleaut32 -luuid

zk_prefix_setup
zk_regsvr32 /s "$ZANKIT_DLL64"
echo "== $calls late-bound calls each (x64)"
zk_wine64 "$work/dispatch_bench.exe" "$calls" | tr -d '\r'
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/bench/dispatch/bench.vbs")" "$calls" | tr -d '\r'
