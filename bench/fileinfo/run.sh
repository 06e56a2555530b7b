#!/usr/bin/env bash
# Folder-listing and file-size benchmark under Wine, in one run: zanFolderInfo(folder, 59)
# against a plain FindFirstFileW/FindNextFileW loop (the floor) and against
# Scripting.FileSystemObject's Folder.Files; zanFileInfo(f, 16) against fso.GetFile(f).Size.
# Needs build/win64 built. The script part is VBScript (see bench.vbs). Usage: bench/fileinfo/run.sh [files] [runs] [questions]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
files=${1:-100000}
runs=${2:-5}
questions=${3:-10000}

work="$root/build/bench-fileinfo"
folder="$work/files-$files"
mkdir -p "$work"
if [ ! -d "$folder" ] || [ "$(find "$folder" -maxdepth 1 -type f | wc -l)" -ne "$files" ]; then
  echo "== making $files files in $folder"
  rm -rf "$folder" && mkdir -p "$folder"
  (cd "$folder" && seq -f 'f%06g.txt' 1 "$files" | xargs touch)
  printf 'twelve bytes' > "$folder/f000001.txt"
fi

x86_64-w64-mingw32-g++ -O2 -static -municode -o "$work/floor.exe" "$root/bench/fileinfo/floor.cpp"

zk_prefix_setup
zk_regsvr32 /s "$ZANKIT_DLL64"
winfolder=$(zk_winpath "$folder")

echo "== $files files, best of $runs runs; $questions size questions (x64 cscript)"
floor=$(zk_wine64 "$work/floor.exe" "$winfolder" "$runs" | tr -d '\r')
echo "$floor"
script=$("$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/bench/fileinfo/bench.vbs")" "$winfolder" "$runs" "$questions" | tr -d '\r')
echo "$script"

value() { echo "$1" | grep -Eo "$2=[0-9.]+" | cut -d= -f2; }
floor_ms=$(value "$floor" floor_ms)
call_ms=$(value "$script" zankit_call_ms)
walk_ms=$(value "$script" zankit_walk_ms)
fso_ms=$(value "$script" fso_walk_ms)
awk -v qz="$(value "$script" zankit_size_per_s)" -v qf="$(value "$script" fso_size_per_s)" -v f="$floor_ms" -v c="$call_ms" -v w="$walk_ms" -v s="$fso_ms" 'BEGIN {
  printf "zanFolderInfo(59) / floor = %.2f\n", c / f
  printf "zanFolderInfo(59) + walk / FileSystemObject walk = %.2f\n", w / s
  printf "zanFileInfo(16) questions / fso.GetFile().Size questions = %.2f\n", qz / qf }'
