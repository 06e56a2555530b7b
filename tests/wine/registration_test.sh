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

snapshot() {  # snapshot <name>: the machine's and the user's class keys
  wine reg export 'HKLM\Software\Classes' "$snapshots/$1-hklm.reg" /y /reg:64 > /dev/null 2>&1
  wine reg export 'HKLM\Software\Classes' "$snapshots/$1-wow.reg" /y /reg:32 > /dev/null 2>&1
  wine reg export 'HKCU\Software\Classes' "$snapshots/$1-hkcu.reg" /y /reg:64 > /dev/null 2>&1
}
same_as() {  # same_as <a> <b>
  cmp -s "$snapshots/$1-hklm.reg" "$snapshots/$2-hklm.reg" &&
    cmp -s "$snapshots/$1-wow.reg" "$snapshots/$2-wow.reg" &&
    cmp -s "$snapshots/$1-hkcu.reg" "$snapshots/$2-hkcu.reg"
}
# `wine reg` is the 32-bit reg.exe; /reg:64 and /reg:32 choose the registry view.
query() { wine reg query "$1" /reg:64 > /dev/null 2>&1; }
query32() { wine reg query "$1" /reg:32 > /dev/null 2>&1; }
not() { ! "$@"; }

# Start from nothing registered.
for dll in "$ZANKIT_DLL64" "$ZANKIT_DLL32"; do
  wine regsvr32 /s /u "$dll" > /dev/null 2>&1
  wine regsvr32 /s /u /n /i:user "$dll" > /dev/null 2>&1
done
# The script hosts register interfaces of their own the first time they run; let them do
# that before the snapshot.
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$ZANKIT_ROOT/tests/wine/create_one.js")" > /dev/null 2>&1
wine "$CSCRIPT32" //nologo "$(zk_winpath "$ZANKIT_ROOT/tests/wine/create_one.js")" > /dev/null 2>&1
snapshot before

for arch in 64 32; do
  dll_var="ZANKIT_DLL$arch"
  dll=${!dll_var}
  zk_check "x$arch: regsvr32 registers" wine regsvr32 /s "$dll"
  classes='HKLM\Software\Classes'
  q=query; [ "$arch" = 32 ] && q=query32
  zk_check "x$arch: ProgID points at the class" "$q" "$classes\\ZanKit.FileSysInfo\\CLSID"
  zk_check "x$arch: versioned ProgID" "$q" "$classes\\ZanKit.clsSendMail.1\\CLSID"
  zk_check "x$arch: InprocServer32" "$q" "$classes\\CLSID\\$clsid\\InprocServer32"
  zk_check "x$arch: type library" "$q" "$classes\\TypeLib\\$libid\\1.0\\0\\win$arch"
  zk_check "x$arch: regsvr32 /u unregisters" wine regsvr32 /s /u "$dll"
  snapshot "after-x$arch"
  zk_check "x$arch: machine-wide /u leaves the registry as it was" same_as before "after-x$arch"
done

# Both bitnesses registered: removing one keeps the other working.
wine regsvr32 /s "$ZANKIT_DLL64"
wine regsvr32 /s "$ZANKIT_DLL32"
wine regsvr32 /s /u "$ZANKIT_DLL64"
zk_check "x86 type library stays when x64 is removed" query32 "HKLM\\Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win32"
zk_check "x86 still creates objects when x64 is removed" \
  bash -c "wine '$CSCRIPT32' //nologo '$(zk_winpath "$ZANKIT_ROOT/tests/wine/create_one.js")' | tr -d '\\r' | grep -qx created"
wine regsvr32 /s /u "$ZANKIT_DLL32"
snapshot after-both
zk_check "removing both leaves the registry as it was" same_as before after-both

for arch in 64 32; do
  dll_var="ZANKIT_DLL$arch"
  dll=${!dll_var}
  q=query; [ "$arch" = 32 ] && q=query32
  zk_check "x$arch: /n /i:user registers for the user" wine regsvr32 /s /n /i:user "$dll"
  zk_check "x$arch: per-user ProgID" "$q" 'HKCU\Software\Classes\ZanKit.FileSysInfo\CLSID'
  zk_check "x$arch: per-user InprocServer32" "$q" "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32"
  zk_check "x$arch: per-user type library" "$q" "HKCU\\Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win$arch"
  zk_check "x$arch: nothing written machine-wide" not "$q" 'HKLM\Software\Classes\ZanKit.FileSysInfo'
  zk_check "x$arch: /u /n /i:user unregisters" wine regsvr32 /s /u /n /i:user "$dll"
  zk_check "x$arch: per-user keys are gone" not "$q" 'HKCU\Software\Classes\ZanKit.FileSysInfo'
  snapshot "after-user-x$arch"
  zk_check "x$arch: per-user removal leaves the registry as it was" same_as before "after-user-x$arch"
done

zk_summary
