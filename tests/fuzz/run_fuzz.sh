#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz (or ZANKIT_FUZZ_BUILD) and runs each for
# a few seconds from a small seed corpus: one line per target, on a crash the fuzzer's report,
# and "N passed, M failed". Usage: run_fuzz.sh [seconds per target, default 10]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${ZANKIT_FUZZ_BUILD:-$root/build/fuzz}"
mkdir -p "$build"
if ! { cmake -S "$root/tests/fuzz" -B "$build" -DZANKIT_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
       -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build "$build" -j2; } >"$build/build.log" 2>&1; then
  cat "$build/build.log"
  echo "fuzz targets: build failed"
  exit 1
fi

seed() {  # seed <target> <name> <printf format>
  mkdir -p "$build/$1-corpus"
  printf "$3" >"$build/$1-corpus/$2"
}
seed mail_base64_fuzz padded 'YWJj\r\nYQ=='
seed mail_base64_fuzz eight-bit 'caf\xe9 au lait'
# MX answers as name servers lay them out (compressed, names in full) and a looping pointer.
header='\x11\xdf\x81\x80\x00\x01\x00\x02\x00\x00\x00\x00\x07example\x03com\x00\x00\x0f\x00\x01'
record='\xc0\x0c\x00\x0f\x00\x01\x00\x00\x0e\x10'
seed dns_answer_fuzz compressed "$header$record"'\x00\x09\x00\x14\x04mx20\xc0\x0c'"$record"'\x00\x09\x00\x0a\x04mx10\xc0\x0c'
seed dns_answer_fuzz full-names "$header$record"'\x00\x13\x00\x0a\x02mx\x07example\x03com\x00'
seed dns_answer_fuzz loop "$header$record"'\x00\x04\x00\x0a\xc0\x2d'
seed reply_assembler_fuzz smtp '250-mx.example.com\r\n250-SIZE\r\n250 AUTH LOGIN\r\n'
seed reply_assembler_fuzz pop3 '+OK ready\r\n-ERR no\r\n\x01'
seed json_reader_fuzz token '{"access_token":"a.b","expires_in":"3599","scope":["x",null,true,-1.5e3]}'
seed json_reader_fuzz escapes '["\\"\\\\\\/\\b\\u00e9\\ud83d\\ude00", "\xc3\xa9", {"a":{}}]'

passed=0
failed=0
for target in mail_base64_fuzz dns_answer_fuzz reply_assembler_fuzz json_reader_fuzz; do
  log="$build/$target.log"
  "$build/$target" -max_total_time="${1:-10}" -max_len=4096 -timeout=10 -artifact_prefix="$build/$target-" \
    -print_final_stats=1 "$build/$target-corpus" >"$log" 2>&1
  status=$?
  runs=$(grep -Eo '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' | tail -1)
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1)) && echo "$target: ${runs:-0} runs, clean"
  else
    failed=$((failed + 1)) && grep -v '^#[0-9]' "$log" | tail -n 60
    echo "$target: ${runs:-?} runs, crash found (exit $status)"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
