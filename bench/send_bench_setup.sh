# Sourced by the send benchmarks: builds send_bench in Release (build/bench, or
# ZANKIT_BENCH_BUILD) and makes a work folder whose peers (pids) end with the script.
# Needs $root; sets $python, $build, $work and pids.
python=/usr/bin/python3
build="${ZANKIT_BENCH_BUILD:-$root/build/bench}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target send_bench > "$build/send_bench.build.log" 2>&1 ||
  { cat "$build/send_bench.build.log"; exit 1; }

work=$(mktemp -d /tmp/zankit-send-bench.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
