#!/usr/bin/env bash
# WinHttpWrapper against tests/peers/http_echo.py on loopback: HTTP, HTTPS from a test authority
# only the test prefix trusts, and HTTPS from an authority nobody trusts: runs the DISABLED_WinHttpPeer
# host tests (x64, x86). What it started or trusted is undone on every way out.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/env.sh"
source "$here/test_ca.sh"

work=$(mktemp -d /tmp/zankit-http.XXXXXX)
peer_pid=""
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2> /dev/null && wait "$peer_pid" 2> /dev/null
  zk_ca_untrust_in_prefix "$work/ca"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
fail() { printf 'http tests: %s\n0 passed, 1 failed\n' "$1"; exit 1; }

zk_prefix_setup || fail "no Wine prefix"
zk_register_all || fail "registration failed"
{ zk_ca_make "$work/ca" && zk_ca_issue "$work/ca" server "DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost" &&
  zk_ca_make "$work/stranger" && zk_ca_issue "$work/stranger" server "DNS:127.0.0.1,IP:127.0.0.1"; } ||
  fail "cannot make the test certificates"
zk_ca_trust_in_prefix "$work/ca" || fail "cannot trust the test authority in $WINEPREFIX"

/usr/bin/python3 "$here/http_echo.py" "$work" https "$work/ca/server."{pem,key} \
  https_untrusted "$work/stranger/server."{pem,key} 2> "$work/peer.err" &
peer_pid=$!
for tries in $(seq 1 100); do
  [ -s "$work/https_untrusted_port" ] && break
  sleep 0.1
done
[ -s "$work/https_untrusted_port" ] || { cat "$work/peer.err"; fail "the HTTP peer did not start"; }
for name in http https https_untrusted; do
  export "ZANKIT_${name^^}_PORT=$(cat "$work/${name}_port")"
done
export ZANKIT_HTTP_CLOSED_PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

status=0
for arch in 64 32; do
  echo "== WinHttpWrapper host tests x$arch"
  output=$(cd "$ZANKIT_ROOT/build/win$arch/tests" && timeout 600 wine zankit_host_tests.exe --gtest_brief=1 \
    --gtest_also_run_disabled_tests --gtest_filter='DISABLED_WinHttpPeer.*' 2>&1 | tr -d '\r')
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  echo "$output"
  echo "$output" | grep -Eq '^\[  PASSED  \] [1-9]' || { echo "no WinHttpPeer test passed"; status=1; }
done
exit $status
