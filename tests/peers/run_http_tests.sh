#!/usr/bin/env bash
# WinHttpWrapper against real peers on loopback: tests/peers/http_echo.py serving HTTP, HTTPS
# with a certificate from a test certificate authority that only the test prefix trusts,
# HTTPS with a certificate of that authority made for another name, and HTTPS with a
# certificate from an authority nobody trusts. Runs the host tests that need the peer
# (WinHttpPeer.*) with the x64 and x86 host executables and tests/scripts/http.js|vbs with
# the 64-bit and the 32-bit cscript. Everything it started or trusted is undone on every way
# out. A peer that does not start is a failure.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/env.sh"
source "$here/test_ca.sh"

work=$(mktemp -d /tmp/zankit-http.XXXXXX)
peer_pid=""
cleanup() {
  if [ -n "$peer_pid" ]; then
    kill "$peer_pid" 2> /dev/null
    wait "$peer_pid" 2> /dev/null
  fi
  zk_ca_untrust_in_prefix "$work/ca"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

fail() {
  echo "http tests: $1"
  echo "0 passed, 1 failed"
  exit 1
}

zk_prefix_setup || fail "no Wine prefix"
zk_register_all || fail "registration failed"
zk_ca_make "$work/ca" || fail "cannot make the test certificate authority"
zk_ca_issue "$work/ca" server "DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost" || fail "cannot issue the server certificate"
zk_ca_issue "$work/ca" other "DNS:other.example" || fail "cannot issue the other certificate"
zk_ca_make "$work/stranger" || fail "cannot make the untrusted certificate authority"
zk_ca_issue "$work/stranger" server "DNS:127.0.0.1,IP:127.0.0.1" || fail "cannot issue the untrusted certificate"
zk_ca_trust_in_prefix "$work/ca" || fail "cannot trust the test authority in $WINEPREFIX"

/usr/bin/python3 "$here/http_echo.py" --dir "$work" \
  --tls https "$work/ca/server.pem" "$work/ca/server.key" \
  --tls https_other "$work/ca/other.pem" "$work/ca/other.key" \
  --tls https_untrusted "$work/stranger/server.pem" "$work/stranger/server.key" 2> "$work/peer.err" &
peer_pid=$!
ports="http https https_other https_untrusted"
started() {
  local name
  for name in $ports; do [ -s "$work/${name}_port" ] || return 1; done
}
for tries in $(seq 1 100); do
  started && break
  sleep 0.1
done
if ! started; then
  cat "$work/peer.err"
  fail "the HTTP peer did not start"
fi

export ZANKIT_HTTP_PORT ZANKIT_HTTPS_PORT ZANKIT_HTTPS_OTHER_PORT ZANKIT_HTTPS_UNTRUSTED_PORT ZANKIT_HTTP_CLOSED_PORT
ZANKIT_HTTP_PORT=$(cat "$work/http_port")
ZANKIT_HTTPS_PORT=$(cat "$work/https_port")
ZANKIT_HTTPS_OTHER_PORT=$(cat "$work/https_other_port")
ZANKIT_HTTPS_UNTRUSTED_PORT=$(cat "$work/https_untrusted_port")
ZANKIT_HTTP_CLOSED_PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

status=0
for arch in 64 32; do
  echo "== WinHttpWrapper host tests x$arch"
  dir="$ZANKIT_ROOT/build/win$arch/tests"
  output=$(cd "$dir" && timeout 600 wine zankit_host_tests.exe --gtest_brief=1 --gtest_filter='WinHttpPeer.*' 2>&1 |
    tr -d '\r')
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  echo "$output"
  if echo "$output" | grep -q '^\[  SKIPPED \]'; then
    echo "some WinHttpWrapper tests were skipped although the peer runs"
    status=1
  fi
done

# The scripts run their offline part in the host stage too; here they must reach the peer.
for arch in 64 32; do
  host_var="CSCRIPT$arch"
  for script in "$ZANKIT_ROOT"/tests/scripts/http.js "$ZANKIT_ROOT"/tests/scripts/http.vbs; do
    echo "== $(basename "$script") with the ${arch}-bit cscript"
    output=$(cd "$(dirname "$script")" && timeout 300 "$(zk_wine_for $arch)" "${!host_var}" //nologo \
      "$(zk_winpath "$script")" "$arch" 2>&1 | tr -d '\r')
    echo "$output" | grep -v '^ok - '
    echo "$output" | grep -Eq '^[0-9]+ passed, 0 failed$' || status=1
    echo "$output" | grep -q '^ok - the peer answered' || { echo "the script did not reach the peer"; status=1; }
  done
done
exit $status
