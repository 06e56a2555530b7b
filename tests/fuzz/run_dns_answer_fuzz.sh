#!/usr/bin/env bash
# Builds the MX answer walk's fuzz target with clang in its own build directory and runs it for
# a bounded time. Prints one summary line; on a crash also the fuzzer's report. Exits non-zero
# when the build fails or the fuzzer finds a crash.
# Usage: run_dns_answer_fuzz.sh [seconds]   (default 15; ZANKIT_FUZZ_BUILD overrides build/fuzz-dns)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${ZANKIT_FUZZ_BUILD:-$root/build/fuzz-dns}"
seconds="${1:-15}"
mkdir -p "$build"
log="$build/dns_answer_fuzz.log"

if ! cmake -S "$root/tests/fuzz" -B "$build" -DZANKIT_FUZZ=ON -DCMAKE_C_COMPILER=clang \
     -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$log" 2>&1 ||
   ! cmake --build "$build" -j2 --target dns_answer_fuzz >>"$log" 2>&1; then
  cat "$log"
  echo "dns answer fuzz: build failed"
  exit 1
fi

# Seeds: answers as name servers lay them out (compressed, and with exchanger names written in
# full), a looping pointer and a reply cut short.
corpus="$build/dns-corpus"
mkdir -p "$corpus"
question='\x07example\x03com\x00\x00\x0f\x00\x01'
printf "\x11\xdf\x81\x80\x00\x01\x00\x02\x00\x00\x00\x00${question}"'\xc0\x0c\x00\x0f\x00\x01\x00\x00\x0e\x10\x00\x09\x00\x14\x04mx20\xc0\x0c''\xc0\x0c\x00\x0f\x00\x01\x00\x00\x0e\x10\x00\x09\x00\x0a\x04mx10\xc0\x0c' >"$corpus/compressed"
printf "\x11\xdf\x85\x80\x00\x01\x00\x01\x00\x00\x00\x00${question}"'\xc0\x0c\x00\x0f\x00\x01\x00\x00\x00\x00\x00\x13\x00\x0a\x02mx\x07example\x03com\x00' >"$corpus/full-names"
printf "\x11\xdf\x81\x80\x00\x01\x00\x01\x00\x00\x00\x00${question}"'\xc0\x0c\x00\x0f\x00\x01\x00\x00\x0e\x10\x00\x04\x00\x0a\xc0\x2d' >"$corpus/loop"
printf "\x11\xdf\x81\x80\x00\x01\x00\x01\x00\x00\x00\x00${question}"'\xc0\x0c\x00\x0f\x00' >"$corpus/cut"

"$build/dns_answer_fuzz" -max_total_time="$seconds" -max_len=2048 -timeout=10 \
  -artifact_prefix="$build/" -print_final_stats=1 "$corpus" >"$log" 2>&1
status=$?
runs=$(grep -Eo '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' | tail -1)
if [ "$status" -ne 0 ]; then
  grep -v '^#[0-9]' "$log" | tail -n 60
  echo "dns answer fuzz: ${runs:-?} runs, crash found (exit $status)"
  exit 1
fi
echo "dns answer fuzz: ${runs:-0} runs, 0 crashes"
