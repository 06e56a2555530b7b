#!/usr/bin/env bash
# Registration as regsvr32 does it: machine-wide registration and removal leave the registry
# exactly as it was; /n /i:user writes the per-user keys (Wine activates from HKLM only, so
# these are checked by reading them) and /u /n /i:user removes them again. Run on a prefix
# where nothing of ZanKit is registered yet; it leaves nothing registered.
set -uo pipefail
source "$(dirname "$0")/env.sh"
zk_prefix_setup || exit 1
snapshots="$ZANKIT_ROOT/build/registry-snapshots"
mkdir -p "$snapshots"

clsid='{CBDC7FB2-21FD-42CA-B3F7-50953ADCD9D6}'
libid='{FBC8DFE5-8B59-4D98-8CFF-2364BB2524B2}'
views=("HKLM 64" "HKLM 32" "HKCU 64")

# same_as_before <name>: exports the machine's (both views) and the user's class keys as <name>
# and compares them with the snapshot "before".
same_as_before() {
  for view in "${views[@]}"; do
    set -- "$1" $view
    zk_wine64 reg export "$2\\Software\\Classes" "$snapshots/$1-$2-$3.reg" /y /reg:$3 > /dev/null 2>&1
    [ "$1" = before ] || cmp -s "$snapshots/before-$2-$3.reg" "$snapshots/$1-$2-$3.reg" || return 1
  done
}
# /reg:64 and /reg:32 choose the registry view. A key is looked for with the registry tool of the
# view's bitness: with /reg:32, Wine's 64-bit tool did not find the ProgID that the 32-bit
# regsvr32 wrote, where the 32-bit tool does.
query() { "$(zk_wine_for "$2")" reg query "$1" /reg:$2 > /dev/null 2>&1; }
create_one() { "$@" //nologo "$(zk_winpath "$ZANKIT_ROOT/tests/wine/create_one.js")" 2>&1 | tr -d '\r'; }
x86_creates() { create_one wine "$CSCRIPT32" | grep -qx created; }

# Start from nothing registered.
for dll in "$ZANKIT_DLL64" "$ZANKIT_DLL32"; do
  zk_regsvr32 /s /u "$dll" > /dev/null 2>&1
  zk_regsvr32 /s /u /n /i:user "$dll" > /dev/null 2>&1
done
# The script hosts register interfaces of their own the first time they run; let them do
# that before the snapshot.
create_one "$(zk_wine_for 64)" cscript > /dev/null
create_one wine "$CSCRIPT32" > /dev/null
same_as_before before

for arch in 64 32; do
  dll_var="ZANKIT_DLL$arch"
  dll=${!dll_var}
  for scope in HKLM HKCU; do
    user=(); [ $scope = HKCU ] && user=(/n /i:user)
    classes="$scope\\Software\\Classes"
    zk_check "x$arch $scope: regsvr32 registers" zk_regsvr32 /s "${user[@]}" "$dll"
    zk_check "x$arch $scope: ProgID points at the class" query "$classes\\ZanKit.FileSysInfo\\CLSID" $arch
    zk_check "x$arch $scope: InprocServer32" query "$classes\\CLSID\\$clsid\\InprocServer32" $arch
    zk_check "x$arch $scope: type library" query "$classes\\TypeLib\\$libid\\1.0\\0\\win$arch" $arch
    [ $scope = HKCU ] && zk_check "x$arch: nothing written machine-wide" not query 'HKLM\Software\Classes\ZanKit.FileSysInfo' $arch
    zk_check "x$arch $scope: regsvr32 /u unregisters" zk_regsvr32 /s /u "${user[@]}" "$dll"
    zk_check "x$arch $scope: removal leaves the registry as it was" same_as_before "after-x$arch-$scope"
  done
done

# Both bitnesses registered: removing one keeps the other working.
zk_regsvr32 /s "$ZANKIT_DLL64"
zk_regsvr32 /s "$ZANKIT_DLL32"
zk_regsvr32 /s /u "$ZANKIT_DLL64"
zk_check "x86 type library stays when x64 is removed" query "HKLM\\Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win32" 32
zk_check "x86 still creates objects when x64 is removed" x86_creates
zk_regsvr32 /s /u "$ZANKIT_DLL32"
zk_check "removing both leaves the registry as it was" same_as_before after-both

zk_summary
