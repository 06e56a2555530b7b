#!/usr/bin/env bash
# The IDispatch fuzz at full count, x64 and x86 under Wine: the host tests' DispatchFuzz group
# with ZANKIT_FUZZ_CALLS calls per bitness. Needs build/win64 and build/win32 built.
# Usage: bench/dispatch/run_fuzz.sh [calls]   (default 100000)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
export ZANKIT_FUZZ_CALLS=${1:-100000}
zk_display_start || exit 1
trap zk_display_stop EXIT
zk_prefix_setup || exit 1
zk_register_all || exit 1
status=0
for arch in 64 32; do
  echo "== x$arch"
  (cd "$root/build/win$arch/tests" && time "$(zk_wine_for $arch)" zankit_host_tests.exe --gtest_filter='DispatchFuzz*') 2>&1 |
    tr -d '\r' | grep -E 'dispatch fuzz|OK|FAILED|call [0-9]+|real' || status=1
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
exit $status
