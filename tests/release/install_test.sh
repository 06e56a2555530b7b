#!/usr/bin/env bash
# The release archive as a Windows user gets it: made twice (the bytes must not change),
# unpacked into a fresh Wine prefix, registered with register.cmd from a 32-bit and a 64-bit
# command prompt, every class created from both script hosts, the DLLs' version records read
# back, removed again with unregister.cmd, and the per-user registration and a failing
# registration checked too.
set -uo pipefail
source "$(dirname "$0")/../wine/env.sh"
cd "$ZANKIT_ROOT"
version=$(sed -n 's/^project(ZanKit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

bash scripts/release.sh > build/release-first.log 2>&1 || { cat build/release-first.log; echo "0 passed, 1 failed"; exit 1; }
ZANKIT_RELEASE_BUILD="$ZANKIT_ROOT/build/release-again" ZANKIT_DIST="$ZANKIT_ROOT/build/release-again/dist" \
  bash scripts/release.sh > build/release-again.log 2>&1 || { cat build/release-again.log; echo "0 passed, 1 failed"; exit 1; }
archive="dist/zankit-$version.zip"
for name in "zankit-$version.zip" "zankit-$version-debug.zip"; do
  zk_check "two release builds give the same $name" cmp -s "dist/$name" "build/release-again/dist/$name"
done

# A prefix where nothing was ever registered.
export WINEPREFIX="$ZANKIT_ROOT/build/release-prefix"
zk_prefix_create "$WINEPREFIX" || { echo "0 passed, 1 failed"; exit 1; }
install_dir="$WINEPREFIX/drive_c/ZanKit"
/usr/bin/python3 -m zipfile -e "$archive" "$install_dir"
sums_match() { (cd "$install_dir" && tr -d '\r' < SHA256SUMS | sha256sum --quiet -c -); }
zk_check "SHA256SUMS matches the unpacked files" sums_match

run_cmd() {  # run_cmd 32|64 script [args]: runs a .cmd of the archive, prints its output
  local arch=$1 script=$2
  shift 2
  "$(zk_wine_for "$arch")" cmd /c "C:\\ZanKit\\$script" "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
create_all() {  # create_all 32|64: what the script host of that bitness can create
  local host=$CSCRIPT64
  [ "$1" = 32 ] && host=$CSCRIPT32
  "$(zk_wine_for "$1")" "$host" //nologo 'C:\ZanKit\create_all.js' 'C:\ZanKit\x64\zankit.dll' \
    'C:\ZanKit\x86\zankit.dll' 2>/dev/null | tr -d '\r'
}
cp tests/release/create_all.js "$install_dir/create_all.js"
all_created="created 5 of 5 versions $version.0 $version.0"
none_created="created 0 of 5 versions $version.0 $version.0"
output_is() { [ "$1" = "$2" ]; }

for arch in 32 64; do
  said=$(run_cmd "$arch" register.cmd); code=$?
  zk_check "register.cmd from a ${arch}-bit prompt succeeds and says it registered machine-wide" output_is "$code:$said" \
    "0:ZanKit is registered for all users of this machine (x64 and x86)."
  zk_check "after register.cmd ($arch): both script hosts create every class, versions $version" \
    output_is "$(create_all 64) | $(create_all 32)" "$all_created | $all_created"
  run_cmd "$arch" unregister.cmd > /dev/null; code=$?
  zk_check "unregister.cmd from a ${arch}-bit prompt succeeds" test "$code" -eq 0
  zk_check "after unregister.cmd ($arch): neither script host creates anything" \
    output_is "$(create_all 64) | $(create_all 32)" "$none_created | $none_created"
done

user_key='HKCU\Software\Classes\ZanKit.FileSysInfo\CLSID'
said=$(run_cmd 64 register.cmd /user); code=$?
zk_check "register.cmd /user succeeds and says so" output_is "$code:$said" \
  "0:ZanKit is registered for the current user only (x64 and x86)."
zk_check "register.cmd /user writes the per-user keys" zk_wine64 reg query "$user_key" /reg:64
run_cmd 64 unregister.cmd /user > /dev/null
zk_check "unregister.cmd /user removes them" not zk_wine64 reg query "$user_key" /reg:64

mv "$install_dir/x86/zankit.dll" "$install_dir/x86/zankit.dll.away"
said=$(run_cmd 64 register.cmd); code=$?
zk_check "a DLL that cannot be registered gives exit code 1 and says so" output_is "$code:${said##*$'\n'}" \
  "1:ZanKit could not be registered for all users of this machine."
run_cmd 64 unregister.cmd > /dev/null
wineserver -k 2> /dev/null
zk_summary
