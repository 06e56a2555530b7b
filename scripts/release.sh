#!/usr/bin/env bash
# Builds both DLLs in release mode and makes dist/zankit-VERSION.zip (x64/ and x86/ with the DLL
# and its type library, register.cmd, unregister.cmd, the examples, README.txt, SHA256SUMS) and
# dist/zankit-VERSION-debug.zip (the debug information stripped from the DLLs). Two runs on the
# same commit give the same bytes. Fails when a DLL imports anything but Windows system DLLs.
#   ZANKIT_RELEASE_BUILD  build folder (default build/release)
#   ZANKIT_DIST           output folder (default dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_root=${ZANKIT_RELEASE_BUILD:-$root/build/release}
dist=${ZANKIT_DIST:-$root/dist}
version=$(sed -n 's/^project(ZanKit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt"; exit 1; }

# DLLs that every Windows installation has; anything else in the import table fails the release.
system_dlls='^(advapi32|bcrypt|comctl32|comdlg32|crypt32|gdi32|imagehlp|iphlpapi|kernel32|msvcrt|ole32|oleaut32|secur32|shell32|shlwapi|user32|version|winhttp|ws2_32)\.dll$'

stage=$(mktemp -d /tmp/zankit-release.XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/zip" "$stage/debug" "$dist"

for pair in win64:x64:x86_64 win32:x86:i686; do
  IFS=: read -r preset folder triple <<< "$pair"
  build="$build_root/$preset"
  log="$build_root/$preset.log"
  mkdir -p "$build_root"
  echo "== release build $preset"
  if ! { cmake --preset "$preset-release" -B "$build" && cmake --build "$build" --target zankit -j "$(nproc)"; } > "$log" 2>&1; then
    tail -40 "$log"
    echo "release build of $preset failed; full log in $log"
    exit 1
  fi
  dll="$build/src/zankit.dll"
  imports=$("$triple-w64-mingw32-objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for name in $imports; do
    if ! [[ $name =~ $system_dlls ]]; then
      echo "$preset/zankit.dll imports $name, which is not a Windows system DLL"
      exit 1
    fi
  done
  mkdir -p "$stage/zip/$folder" "$stage/debug/$folder"
  # objcopy stamps the PE header with the current time unless SOURCE_DATE_EPOCH fixes it.
  export SOURCE_DATE_EPOCH=1577836800
  "$triple-w64-mingw32-objcopy" --only-keep-debug "$dll" "$stage/debug/$folder/zankit.dll.debug"
  "$triple-w64-mingw32-objcopy" --strip-debug --add-gnu-debuglink="$stage/debug/$folder/zankit.dll.debug" \
    "$dll" "$stage/zip/$folder/zankit.dll"
  cp "$build/src/generated/zankit.tlb" "$stage/zip/$folder/zankit.tlb"
done

# Text files for Windows get CR LF line ends.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" > "$2"; }
for file in register.cmd unregister.cmd; do crlf "packaging/$file" "$stage/zip/$file"; done
sed "s/@VERSION@/$version/" packaging/README.txt > "$stage/readme.txt"
crlf "$stage/readme.txt" "$stage/zip/README.txt"
mkdir -p "$stage/zip/examples"
for file in examples/*.js examples/*.vbs examples/*.cpp; do
  [ -e "$file" ] && crlf "$file" "$stage/zip/examples/$(basename "$file")"
done
(cd "$stage/zip" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)

archive="$dist/zankit-$version.zip"
debug_archive="$dist/zankit-$version-debug.zip"
/usr/bin/python3 "$root/scripts/reproducible_zip.py" "$stage/zip" "$archive"
/usr/bin/python3 "$root/scripts/reproducible_zip.py" "$stage/debug" "$debug_archive"
echo "made $archive"
echo "made $debug_archive"
