#!/usr/bin/env bash
# End-to-end tests of the MX query against dnsmasq. Creates a network namespace of its own with
# only loopback, a resolver configuration for it (/etc/netns/<name>/resolv.conf: the dnsmasq at
# 127.0.0.1, domain corp.example.com) and an empty hosts file (so reverse lookups ask dnsmasq),
# starts dnsmasq there and runs the MxQueryEndToEnd tests of the unit test binary inside it,
# then the Windows platform of the query under Wine (dns_wine_check.cpp, in a prefix of its own).
# Everything it started or created is removed on every exit path.
# Usage: run_dns_tests.sh   (ZANKIT_UNIT_TESTS overrides build/linux/tests/zankit_unit_tests)
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

if [ "$(id -u)" -ne 0 ]; then
  echo "dns tests skipped: network namespaces need root"
  echo "0 passed, 0 failed"
  exit 0
fi
if ! ip netns add "$ns" 2>"$work/netns.err"; then
  echo "dns tests skipped: cannot create a network namespace here: $(cat "$work/netns.err")"
  echo "0 passed, 0 failed"
  exit 0
fi
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
wine_check() {
  local sources=(mail/dns_message.cpp mail/dns_discovery.cpp mail/mx_query.cpp mail/text_rules.cpp
                 mail/address_validation.cpp mail/windows_dns_system.cpp mail/windows_support.cpp)
  local exe="$work/dns_wine_check.exe"
  if ! x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -I"$root/src" \
       -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 \
       "$root/tests/peers/dns_wine_check.cpp" "${sources[@]/#/$root/src/}" \
       -o "$exe" -static -lws2_32 -ladvapi32 >"$work/wine-build.log" 2>&1; then
    cat "$work/wine-build.log"
    echo "0 passed, 1 failed"
    return 1
  fi
  export WINEPREFIX="${ZANKIT_DNS_WINEPREFIX:-$root/build/wineprefix-dns}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; return 1; }
    timeout 120 wineserver -w
  fi
  ip netns exec "$ns" timeout 120 wine "$exe"
  local result=$?
  ip netns exec "$ns" timeout 60 wineserver -k 2>/dev/null
  return "$result"
}
if [ "${ZANKIT_DNS_WINE:-1}" = "1" ] && command -v wine >/dev/null &&
   command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "---- under Wine"
  wine_check || status=1
else
  echo "---- under Wine: skipped (wine or the MinGW compiler missing, or ZANKIT_DNS_WINE=0)"
fi

if [ "$status" -ne 0 ]; then
  echo "---- dnsmasq log"
  cat "$work/dnsmasq.log"
fi
exit "$status"
