#!/usr/bin/env bash
# Builds the mail encoders' fuzz target with clang in its own build directory and runs it for a
# bounded time. Exits non-zero when the build fails or the fuzzer finds a crash.
# Usage: run_base64_fuzz.sh [seconds]   (default 20; ZANKIT_FUZZ_BUILD overrides build/fuzz)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${ZANKIT_FUZZ_BUILD:-$root/build/fuzz}"
seconds="${1:-20}"

cmake -S "$root/tests/fuzz" -B "$build" -DZANKIT_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target mail_base64_fuzz

corpus="$build/corpus"
mkdir -p "$corpus"
printf 'YWJj' >"$corpus/padded-none"
printf 'YQ==' >"$corpus/padded-two"
printf 'YWJj\r\nZGVm' >"$corpus/line-break"
printf 'YWJjYQ' >"$corpus/unpadded"
printf 'caf\xe9 au lait' >"$corpus/eight-bit"

"$build/mail_base64_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -artifact_prefix="$build/" -print_final_stats=1 "$corpus"
