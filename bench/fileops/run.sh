#!/usr/bin/env bash
# FileWriter and FolderCopy benchmarks under Wine, in one run with their peers:
#   FileWriter.WriteLine against TextStream.WriteLine (64-bit cscript), lines of 80 characters;
#   FolderCopy against FileSystemObject.CopyFolder, cp -r, and the same copy handed to the shell
#   directly (the floor: what the shell itself costs), on a tree of small files and one large
#   file.
# Needs build/win64 built. Usage: bench/fileops/run.sh [lines] [small files] [large MiB] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
lines=${1:-1000000}
files=${2:-10000}
large=${3:-256}
runs=${4:-3}

work="$root/build/bench-fileops"
tree="$work/tree-$files-$large"
mkdir -p "$work"
if [ ! -d "$tree" ]; then
  echo "== making $files small files and one file of $large MiB in $tree"
  mkdir -p "$tree/small"
  (cd "$tree/small" && seq -f 'f%06g.txt' 1 "$files" | xargs -n 1000 sh -c 'for f; do echo "$f" > "$f"; done' _)
  head -c "$((large * 1024 * 1024))" /dev/urandom > "$tree/large.bin"
fi

x86_64-w64-mingw32-g++ -O2 -static -municode -o "$work/copy_floor.exe" "$root/bench/fileops/copy_floor.cpp" -lshell32

zk_prefix_setup
zk_regsvr32 /s "$ZANKIT_DLL64"
cscript64() { "$(zk_wine_for 64)" cscript //nologo "$@" | tr -d '\r'; }
value() { echo "$1" | grep -Eo "$2=[0-9.]+" | cut -d= -f2; }

echo "== FileWriter: $lines lines of 80 characters, best of $runs (x64 cscript)"
out="$work/out"
rm -rf "$out" && mkdir -p "$out"
writer=$(cscript64 "$(zk_winpath "$root/bench/fileops/writer.vbs")" "$(zk_winpath "$out")" "$lines" "$runs")
echo "$writer"
echo "== FileWriter in UTF-8 (half Cyrillic) against the text stream in Unicode"
cyrillic=$(printf 'Ж%.0s' $(seq 40))$(printf 'x%.0s' $(seq 40))
utf8=$(cscript64 "$(zk_winpath "$root/bench/fileops/writer.vbs")" "$(zk_winpath "$out")" "$lines" "$runs" utf8 "$cyrillic")
echo "$utf8"
rm -rf "$out"

echo "== FolderCopy: $files small files + $large MiB, best of $runs"
copies="$work/copies"
rm -rf "$copies" && mkdir -p "$copies"
copy=$(cscript64 "$(zk_winpath "$root/bench/fileops/copy.vbs")" "$(zk_winpath "$tree")" "$(zk_winpath "$copies")" "$runs")
echo "$copy"
floor=$(zk_wine64 "$work/copy_floor.exe" "$(zk_winpath "$tree")" "$(zk_winpath "$copies")" "$runs" | tr -d '\r')
echo "$floor"
cp_ms=""
for run in $(seq 1 "$runs"); do
  sync
  start=$(date +%s%N)
  cp -r "$tree" "$copies/cp$run"
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  rm -rf "$copies/cp$run"
  if [ -z "$cp_ms" ] || [ "$ms" -lt "$cp_ms" ]; then cp_ms=$ms; fi
done
echo "cp_ms=$cp_ms"
rm -rf "$copies"

awk -v z="$(value "$writer" zankit_ms)" -v f="$(value "$writer" fso_ms)" \
    -v u="$(value "$utf8" zankit_ms)" -v w="$(value "$utf8" fso_ms)" \
    -v c="$(value "$copy" zankit_ms)" -v s="$(value "$copy" fso_ms)" -v p="$cp_ms" \
    -v l="$(value "$floor" floor_ms)" 'BEGIN {
  printf "FileWriter.WriteLine / TextStream.WriteLine = %.2f\n", z / f
  printf "FileWriter.WriteLine in UTF-8 / TextStream.WriteLine in Unicode = %.2f\n", u / w
  printf "FolderCopy / FileSystemObject.CopyFolder = %.2f\n", c / s
  printf "FolderCopy / cp -r = %.2f\n", c / p
  printf "FolderCopy / the shell called directly = %.2f\n", c / l }'
