#!/usr/bin/env bash
# End-to-end tests of the MX query against dnsmasq. Creates a network namespace of its own with
# only loopback, a resolver configuration for it (/etc/netns/<name>/resolv.conf: the dnsmasq at
# 127.0.0.1, domain corp.example.com) and an empty hosts file (so reverse lookups ask dnsmasq),
# starts dnsmasq there and runs the MxQueryEndToEnd tests of the unit test binary inside it,
# then MXQuery through COM under Wine (mx_query.js, in a prefix of its own). A part that cannot
# run counts as a failure. Everything it started or created is removed on every exit path.
# Usage: run_dns_tests.sh   (ZANKIT_UNIT_TESTS overrides build/linux/tests/zankit_unit_tests;
#        ZANKIT_DNS_WINE=0 leaves out the Wine part on purpose)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
tests="${ZANKIT_UNIT_TESTS:-$root/build/linux/tests/zankit_unit_tests}"
ns="zk-dns-$$"
ns_etc="/etc/netns/$ns"
work="$(mktemp -d)"
dnsmasq_pid=""
ns_created=0

cleanup() {
  if [ -n "$dnsmasq_pid" ]; then
    kill "$dnsmasq_pid" 2>/dev/null
    for _ in $(seq 1 50); do
      kill -0 "$dnsmasq_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$dnsmasq_pid" 2>/dev/null
  fi
  if [ "$ns_created" -eq 1 ]; then
    ip netns del "$ns" 2>/dev/null
    rm -rf -- "$ns_etc"
  fi
  rm -rf -- "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "dns tests: $1"
  echo "0 passed, 1 failed"
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "network namespaces need root"
ip netns add "$ns" 2>"$work/netns.err" || fail "cannot create a network namespace here: $(cat "$work/netns.err")"
ns_created=1
command -v dnsmasq >/dev/null || fail "dnsmasq is not installed (scripts/install-deps.sh installs it)"
[ -x "$tests" ] || fail "no unit test binary at $tests (build the linux preset first)"

ip netns exec "$ns" ip link set lo up || fail "cannot bring up loopback in $ns"
mkdir -p "$ns_etc"
printf 'nameserver 127.0.0.1\ndomain corp.example.com\n' >"$ns_etc/resolv.conf"
: >"$ns_etc/hosts"

# Records: two preferences, two equal preferences, the machine's domain, the base domain (for
# the walk up from a.b.example.com) and the domain of the name server's own host name.
ip netns exec "$ns" dnsmasq --no-daemon --port 53 --listen-address 127.0.0.1 --bind-interfaces \
  --no-resolv --no-hosts --conf-file=/dev/null --pid-file="$work/dnsmasq.pid" \
  --local=/example.com/ --local=/test/ \
  --mx-host=two.example.com,mx10.two.example.com,10 \
  --mx-host=two.example.com,mx20.two.example.com,20 \
  --mx-host=equal.example.com,alpha.equal.example.com,10 \
  --mx-host=equal.example.com,beta.equal.example.com,10 \
  --mx-host=corp.example.com,mail.corp.example.com,10 \
  --mx-host=example.com,mx.example.com,10 \
  --mx-host=lab.example.com,mail.lab.example.com,10 \
  --ptr-record=1.0.0.127.in-addr.arpa,ns.lab.example.com \
  >"$work/dnsmasq.log" 2>&1 &
dnsmasq_pid=$!

ready=0
for _ in $(seq 1 50); do
  if ip netns exec "$ns" ss -Hlun 'sport = :53' 2>/dev/null | grep -q '127.0.0.1:53'; then
    ready=1
    break
  fi
  kill -0 "$dnsmasq_pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$ready" -ne 1 ]; then
  cat "$work/dnsmasq.log"
  fail "dnsmasq did not start"
fi

ip netns exec "$ns" env ZANKIT_DNS_E2E=1 timeout 120 "$tests" \
  --gtest_filter='MxQueryEndToEnd.*' --gtest_brief=1
status=$?

# The Windows platform of the query under Wine (x64), against the same server.
# MXQuery through COM under Wine, inside the namespace: both DLLs registered in a prefix of
# their own (its wineserver runs inside the namespace), Wine's network parameters give the
# server and the Tcpip "Domain" value written here gives the machine's domain.
wine_check() {
  export WINEPREFIX="${ZANKIT_DNS_WINEPREFIX:-$root/build/wineprefix-dns}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  local in_ns=(ip netns exec "$ns" timeout 120)
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "${in_ns[@]}" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; return 1; }
  fi
  "${in_ns[@]}" wine regsvr32 /s "$root/build/win64/src/zankit.dll" || return 1
  "${in_ns[@]}" wine regsvr32 /s "$root/build/win32/src/zankit.dll" || return 1
  "${in_ns[@]}" wine reg add 'HKLM\System\CurrentControlSet\Services\Tcpip\Parameters' \
    /v Domain /d corp.example.com /f /reg:64 >/dev/null || return 1
  local script="Z:${root//\//\\}\\tests\\peers\\mx_query.js"
  local result=0 host output
  # Debian's "wine" starts the 32-bit build of a built-in program; the 64-bit script host
  # needs the 64-bit loader.
  local wine64=/usr/lib/wine/wine64 loader
  [ -x "$wine64" ] || wine64=wine
  for host in "$wine64|cscript" 'wine|C:\windows\syswow64\cscript.exe'; do
    loader=${host%%|*}
    host=${host#*|}
    echo "-- $host"
    output=$("${in_ns[@]}" "$loader" "$host" //nologo "$script" 2>&1 | tr -d '\r')
    echo "$output"
    echo "$output" | grep -Eq '^[0-9]+ passed, 0 failed$' || result=1
  done
  "${in_ns[@]}" wineserver -k 2>/dev/null
  return "$result"
}
if [ "${ZANKIT_DNS_WINE:-1}" = "0" ]; then
  echo "---- under Wine: left out (ZANKIT_DNS_WINE=0)"
elif command -v wine >/dev/null && [ -f "$root/build/win64/src/zankit.dll" ] &&
     [ -f "$root/build/win32/src/zankit.dll" ]; then
  echo "---- under Wine"
  wine_check || status=1
else
  echo "---- under Wine: wine or the DLLs missing"
  echo "0 passed, 1 failed"
  status=1
fi

if [ "$status" -ne 0 ]; then
  echo "---- dnsmasq log"
  cat "$work/dnsmasq.log"
fi
exit "$status"
