#!/usr/bin/env bash
# Builds the base64 benchmark (optimised, own build directory) and runs it once.
# Usage: run_base64_bench.sh [MiB]   (default 256; ZANKIT_BENCH_BUILD overrides build/bench)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZANKIT_BENCH_BUILD:-$root/build/bench}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target base64_bench
"$build/bench/base64_bench" "${1:-256}"
