#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests, the short fuzz runs, the
# registration tests, the host and script tests under Wine (x64 and x86) and the release
# archive's install test. Installs what is missing first when run as root. Ends with one
# line: "TOTAL: N passed, M failed, K skipped" (K: runs left out on this machine).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "$(id -u)" -eq 0 ]; then
  mkdir -p build
  bash scripts/install-deps.sh > build/install.log 2>&1 || { cat build/install.log; exit 1; }
fi
bash scripts/build.sh || exit 1

mkdir -p build/test-logs
passed=0
failed=0
not_run=0
stage_failed=0

# Adds up the summary lines a stage printed: GoogleTest's and the plain "N passed, M failed".
# A skipped test counts as failed (its peer or its setting was missing), and so does a stage
# that ran nothing at all: "0 failed" in the total means every test ran.
count() {
  local log=$1 n stage_passed=0 stage_failed=0
  n=$(grep -Eo '^\[  PASSED  \] [0-9]+ test' "$log" | grep -Eo '[0-9]+' | awk '{s += $1} END {print s + 0}')
  stage_passed=$((stage_passed + n))
  # Each failed test once, by name (the brief output lists it once, the full output twice).
  n=$(grep -Eo '^\[  FAILED  \] [A-Za-z_0-9/]+\.[A-Za-z_0-9/]+' "$log" | sort -u | wc -l)
  stage_failed=$((stage_failed + n))
  n=$(grep -Eo '^\[  SKIPPED \] [0-9]+ test' "$log" | grep -Eo '[0-9]+' | awk '{s += $1} END {print s + 0}')
  if [ "$n" -gt 0 ]; then
    echo "==== $n skipped test(s) count as failed"
    stage_failed=$((stage_failed + n))
  fi
  while read -r p f; do
    stage_passed=$((stage_passed + p)); stage_failed=$((stage_failed + f))
  done < <(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | sed -E 's/^([0-9]+) passed, ([0-9]+) failed$/\1 \2/')
  if [ "$stage_passed" -eq 0 ] && [ "$stage_failed" -eq 0 ]; then
    echo "==== the stage ran no test: counted as one failure"
    stage_failed=1
  fi
  # Runs a runner leaves out on this machine say "not run: <why>"; the TOTAL line counts them.
  n=$(grep -c '^not run: ' "$log")
  [ "$n" -gt 0 ] && echo "==== $n run(s) left out on this machine, counted as skipped in the TOTAL line"
  not_run=$((not_run + n))
  passed=$((passed + stage_passed)); failed=$((failed + stage_failed))
}

# A runner without a summary of its own (the fuzz runs) is one check: its exit status.
one_check() {
  if "$@"; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; return 1; fi
}

stage() {  # stage <name> <command...>
  local name=$1
  shift
  local log="build/test-logs/$name.log"
  echo "==== $name"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  count "$log"
  if [ "$rc" -ne 0 ]; then
    echo "==== $name FAILED (exit $rc)"
    stage_failed=1
  fi
}

# The allowed includes between folders (src/include_rules.txt), and proof that a forbidden one fails.
stage include-rules python3 scripts/check_includes.py --rows
# The tests that need a peer run in the peer stages below, where the peers are started.
peer_suites='SmtpPeers*:SendToSink*'
stage unit build/linux/tests/zankit_unit_tests --gtest_brief=1 --gtest_filter="-$peer_suites"
for fuzz in tests/fuzz/run_*.sh; do
  [ -e "$fuzz" ] && stage "fuzz-$(basename "$fuzz" .sh)" one_check bash "$fuzz"
done
stage registration bash tests/wine/registration_test.sh
stage wine-host bash tests/wine/run_host_tests.sh
for peers in tests/peers/run_*.sh; do
  [ -e "$peers" ] && stage "peers-$(basename "$peers" .sh)" bash "$peers"
done

# The release archive: made twice (same bytes), installed into a fresh prefix and removed again.
stage release bash tests/release/install_test.sh

if [ "$stage_failed" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "TOTAL: $passed passed, $failed failed, $not_run skipped"
[ "$failed" -eq 0 ] && [ "$stage_failed" -eq 0 ]
