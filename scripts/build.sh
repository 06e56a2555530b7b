#!/usr/bin/env bash
# Configures and builds the three presets: linux (portable code + unit tests), win64, win32.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build
jobs=$(nproc 2>/dev/null || echo 2)
for preset in linux win64 win32; do
  echo "== build $preset"
  log="build/$preset.build.log"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$jobs"; } > "$log" 2>&1; then
    grep -E "error|Error|CMake Error" "$log" | head -40
    echo "build of $preset failed; full log in $log"
    exit 1
  fi
done
