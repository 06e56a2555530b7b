#!/usr/bin/env bash
# The mail class over TLS under Wine: makes a test CA (trusted inside the test prefix only, for
# this run) and the peers' certificates, starts tests/peers/tls_peers.py, runs the TLS host
# tests of both bitnesses and a script-host send with each cscript.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../wine/env.sh"
source "$here/test_ca.sh"
zk_prefix_setup || exit 1
wine regsvr32 /s "$ZANKIT_DLL64" && wine regsvr32 /s "$ZANKIT_DLL32" ||
  { echo "registration failed"; echo "0 passed, 1 failed"; exit 1; }

work=$(mktemp -d /tmp/zankit-tls.XXXXXX)
peer_pid=""
stop_tls_peers() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2> /dev/null && wait "$peer_pid" 2> /dev/null
  zk_ca_untrust_in_prefix "$work/ca"
  rm -rf "$work"
}
trap stop_tls_peers EXIT
trap 'exit 130' INT TERM HUP

certs=$work/ca
make_certificates() {
  zk_ca_make "$certs" && zk_ca_issue "$certs" server "DNS:localhost,IP:127.0.0.1" &&
    zk_ca_issue "$certs" other-name "DNS:other.test" && zk_ca_issue "$certs" expired "DNS:localhost,IP:127.0.0.1" &&
    openssl x509 -req -in "$certs/expired.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" -CAcreateserial \
      -days -1 -extfile "$certs/expired.ext" -out "$certs/expired.pem" 2> /dev/null &&
    zk_ca_make "$work/other-ca" && zk_ca_issue "$work/other-ca" server "DNS:localhost,IP:127.0.0.1" &&
    cp "$work/other-ca/server.pem" "$certs/untrusted.pem" && cp "$work/other-ca/server.key" "$certs/untrusted.key" &&
    zk_ca_trust_in_prefix "$certs"
}
make_certificates || { echo "the test certificates could not be made"; echo "0 passed, 1 failed"; exit 1; }

export ZANKIT_TLS_USER="tls-user:Tls-Secret-4711" ZANKIT_TLS_TOKEN="ya29.token-$$" ZANKIT_TLS_DIR
/usr/bin/python3 "$here/tls_peers.py" --dir "$work" --certs "$certs" --user "$ZANKIT_TLS_USER" \
  --token "$ZANKIT_TLS_TOKEN" 2> "$work/peers.err" &
peer_pid=$!
for tries in $(seq 1 100); do
  [ -s "$work/ports" ] && break
  sleep 0.1
done
if [ ! -s "$work/ports" ]; then
  echo "the TLS peers did not start:"
  cat "$work/peers.err"
  echo "0 passed, 1 failed"
  exit 1
fi
ZANKIT_TLS_DIR=$(zk_winpath "$work")

status=0
for arch in 64 32; do
  echo "== TLS host tests x$arch"
  (cd "$ZANKIT_ROOT/build/win$arch/tests" && timeout 900 wine zankit_host_tests.exe --gtest_brief=1 \
    --gtest_filter='TlsSend*') 2>&1 | tr -d '\r'
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

implicit_port=$(awk '$1 == "implicit" { print $2 }' "$work/ports")
for arch in 64 32; do
  host_var="CSCRIPT$arch"
  subject="Script host over TLS x$arch $$"
  timeout 120 "$(zk_wine_for $arch)" "${!host_var}" //nologo "$(zk_winpath "$here/tls_send.js")" \
    "$implicit_port" "$subject" > "$work/script$arch.out" 2>&1
  zk_check "a ${arch}-bit script host sends with Security 3" grep -qs "Subject: $subject" "$work"/implicit/message-*
done
zk_summary || status=1
exit $status
