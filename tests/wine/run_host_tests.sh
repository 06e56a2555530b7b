#!/usr/bin/env bash
# Registers the x64 and x86 DLLs in the private prefix and starts the loopback peers the host
# tests talk to: an SMTP sink, the scripted peer's hostile and broken SMTP and POP3 servers, the
# SMTP servers with TLS, the HTTP(S) echo, an HTTP proxy that asks for Basic credentials, an OAuth
# authorization server and an SMTP sink that takes only the tokens it issued, with
# certificates of a test authority that only this prefix trusts, for this run. Then runs the GoogleTest host executable of each bitness, its
# locale group once per locale, every .js/.vbs file under tests/scripts and a send over TLS with
# the 64-bit and the 32-bit cscript. Everything started or trusted is undone on every way out.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
source "$here/../peers/test_ca.sh"
source "$here/../peers/dovecot.sh"
source "$here/../peers/postfix.sh"
peers="$ZANKIT_ROOT/tests/peers"
work=$(mktemp -d /tmp/zankit-host.XXXXXX)
# Traversable by the mail system's own users (Postfix, its delivery agent), not listable.
chmod 711 "$work"
pids=()
stop_runner() {
  zk_display_stop
  umount "$work/small-disk" 2> /dev/null
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; wait "$pid" 2> /dev/null; done
  zk_dovecot_stop
  zk_postfix_stop
  zk_ca_untrust_in_prefix "$work/ca"
  rm -rf "$work"
}
trap stop_runner EXIT
trap 'exit 130' INT TERM HUP
fail() { printf 'host tests: %s\n0 passed, 1 failed\n' "$1"; exit 1; }

# Every test of this run sees one virtual display (dialogs and confirmation windows need it).
zk_display_start || fail "the virtual display did not start"
zk_prefix_setup || fail "no Wine prefix"
zk_prefix_drives || fail "drive setup failed"
zk_register_all || fail "registration failed"

# Two POP3 servers on addresses of their own (port 110 is fixed by the client): one with STLS
# on 110 and TLS from the first byte on 995, one without TLS.
pop3_net=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1))
export ZANKIT_POP3_TLS_HOST=$pop3_net.1 ZANKIT_POP3_CLEAR_HOST=$pop3_net.3

# The trusted server certificate names the loopback address as DNS name too: WinHTTP under Wine
# matches no IP entry. "untrusted" comes from an authority nobody trusts, "expired" ended yesterday.
ca=$work/ca
{ zk_ca_make "$ca" && zk_ca_issue "$ca" server "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1" &&
  zk_ca_issue "$ca" pop3 "DNS:$ZANKIT_POP3_TLS_HOST,IP:$ZANKIT_POP3_TLS_HOST" &&
  zk_ca_issue "$ca" other-name "DNS:other.test" && zk_ca_issue "$ca" expired "DNS:localhost,IP:127.0.0.1" -1 &&
  zk_ca_make "$work/stranger" && zk_ca_issue "$work/stranger" server "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1" &&
  cp "$work/stranger/server.pem" "$ca/untrusted.pem" && cp "$work/stranger/server.key" "$ca/untrusted.key" &&
  zk_ca_trust_in_prefix "$ca"; } || fail "the test certificates could not be made"
# Certificates for the address and revocation rows: names that must not match an address, and
# certificates whose revocation list the authority serves over loopback HTTP ("revoked" is on
# it) or names port 1, where nobody serves. Wine keeps a revocation status it found for the next
# processes, a wrong one for a revoked certificate (docs/WINE-LIMITS.md): each bitness starts
# without it.
zk_free_port() { python3 -c 'import socket; s = socket.create_server(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
crl_url=http://127.0.0.1:$(zk_free_port)/ca.crl
{ zk_ca_issue "$ca" ip-only "IP:127.0.0.1" && zk_ca_issue "$ca" ip6-only "IP:::1" &&
  zk_ca_issue "$ca" ip-cn-only "CN:127.0.0.1" && zk_ca_issue "$ca" ip-wildcard "DNS:*.0.0.1" &&
  zk_ca_issue "$ca" revoked "DNS:localhost,IP:127.0.0.1" 2 "$crl_url" &&
  zk_ca_issue "$ca" crl-listed "DNS:localhost,IP:127.0.0.1" 2 "$crl_url" &&
  zk_ca_issue "$ca" crl-unreachable "DNS:localhost,IP:127.0.0.1" 2 "http://127.0.0.1:1/ca.crl" &&
  zk_ca_revoke "$ca" revoked; } || fail "the certificates of the address and revocation rows could not be made"
zk_forget_revocation_statuses() { rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Microsoft/CryptnetUrlCache; }
crl_port=${crl_url#http://127.0.0.1:}
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$ca/crl" "${crl_port%%/*}" > "$work/crl.err" 2>&1 & pids+=($!)

# The peers' ports and folders reach the tests through the environment, which Wine passes on.
mkdir -p "$work/sink" "$work/sink7" "$work/sinkutf8" "$work/scripted" "$work/tls" "$work/http" "$work/scripts" \
  "$work/oauth" "$work/xoauth2"
export ZANKIT_TLS_USER="tls-user:Tls-Secret-4711" ZANKIT_TLS_TOKEN="ya29.token-$$"
export ZANKIT_PROXY_CREDENTIALS="proxy-user:Proxy-Secret-$$"
/usr/bin/python3 "$peers/smtp_sink.py" --spool "$work/sink" --read 2> "$work/sink.err" & pids+=($!)
# Two more sinks for the international rows: one without 8BITMIME on offer that logs in a user
# with a name and password outside ASCII, one that offers SMTPUTF8.
/usr/bin/python3 "$peers/smtp_sink.py" --spool "$work/sink7" --read --without-8bitmime \
  --user 'müller:Pässwörd-€' 2> "$work/sink7.err" & pids+=($!)
/usr/bin/python3 "$peers/smtp_sink.py" --spool "$work/sinkutf8" --read --smtputf8 2> "$work/sinkutf8.err" & pids+=($!)
/usr/bin/python3 "$peers/scripted_smtp.py" --dir "$work/scripted" 2> "$work/scripted.err" & pids+=($!)
/usr/bin/python3 "$peers/tls_peers.py" --dir "$work/tls" --certs "$ca" --user "$ZANKIT_TLS_USER" \
  --token "$ZANKIT_TLS_TOKEN" 2> "$work/tls.err" & pids+=($!)
/usr/bin/python3 "$peers/http_echo.py" "$work/http" https "$ca/server."{pem,key} \
  https_untrusted "$work/stranger/server."{pem,key} 2> "$work/http.err" & pids+=($!)
/usr/bin/python3 "$peers/http_proxy.py" "$work/http" "$ZANKIT_PROXY_CREDENTIALS" 2> "$work/proxy.err" & pids+=($!)
# The OAuth rows: an authorization server issuing tokens for one mailbox (its client ids choose
# what it does) and an SMTP sink with STARTTLS that takes exactly those tokens over XOAUTH2.
export ZANKIT_OAUTH_USER="oauth-user@example.com" ZANKIT_OAUTH_SECRET="client-secret-$$"
/usr/bin/python3 "$peers/oauth_server.py" "$work/oauth" "$ca/server."{pem,key} "$ZANKIT_OAUTH_USER" \
  "$ZANKIT_OAUTH_SECRET" 2> "$work/oauth.err" & pids+=($!)
/usr/bin/python3 "$peers/smtp_sink.py" --spool "$work/xoauth2" --tls "$ca/server."{pem,key} \
  --xoauth2 "$work/oauth/tokens" 2> "$work/xoauth2.err" & pids+=($!)
zk_dovecot_start "$work/pop3-tls" "${ZANKIT_TLS_USER%%:*}" "${ZANKIT_TLS_USER#*:}" "$ZANKIT_POP3_TLS_HOST" "$ca/pop3" &&
  zk_dovecot_start "$work/pop3-clear" "${ZANKIT_TLS_USER%%:*}" "${ZANKIT_TLS_USER#*:}" "$ZANKIT_POP3_CLEAR_HOST" ||
  fail "the POP3 servers did not start"
# A real mail system: Postfix with submission and TLS from the first byte, SASL through Dovecot.
zk_postfix_start "$work/postfix" "$ZANKIT_TLS_USER" "$ca/server" || fail "Postfix did not start"
# What Postfix delivers to you@example.com, taken apart as the sinks take apart what they receive.
/usr/bin/python3 "$peers/maildir_reader.py" "$work/postfix/mailboxes/example.com/you/new" "$work/postfix-read" \
  2> "$work/maildir.err" & pids+=($!)
export ZANKIT_POSTFIX_DIR ZANKIT_POSTFIX_READ
ZANKIT_POSTFIX_DIR=$(zk_winpath "$work/postfix")
ZANKIT_POSTFIX_READ=$(zk_winpath "$work/postfix-read")
zk_wait_for "$work/sink/port" "$work/sink7/port" "$work/sinkutf8/port" "$work/scripted/ports" "$work/tls/ports" \
  "$work/http/https_untrusted_port" \
  "$work/http/proxy_port" "$work/oauth/port" "$work/xoauth2/port" ||
  { cat "$work"/*.err; fail "the peers did not start"; }
# A disk of 16 KiB for the writer's rows about a full disk.
mkdir -p "$work/small-disk" && mount -t tmpfs -o size=16k zankit-small-disk "$work/small-disk" ||
  fail "the small disk could not be mounted"
export ZANKIT_SMALL_DISK
ZANKIT_SMALL_DISK=$(zk_winpath "$work/small-disk")
export ZANKIT_SMTP_PORT ZANKIT_SMTP_SPOOL ZANKIT_SCRIPTED_DIR ZANKIT_TLS_DIR ZANKIT_HTTP_CLOSED_PORT
ZANKIT_SMTP_PORT=$(cat "$work/sink/port")
ZANKIT_SMTP_SPOOL=$(zk_winpath "$work/sink")
export ZANKIT_SMTP7_PORT ZANKIT_SMTP7_SPOOL ZANKIT_SMTPUTF8_PORT ZANKIT_SMTPUTF8_SPOOL
ZANKIT_SMTP7_PORT=$(cat "$work/sink7/port")
ZANKIT_SMTP7_SPOOL=$(zk_winpath "$work/sink7")
ZANKIT_SMTPUTF8_PORT=$(cat "$work/sinkutf8/port")
ZANKIT_SMTPUTF8_SPOOL=$(zk_winpath "$work/sinkutf8")
ZANKIT_SCRIPTED_DIR=$(zk_winpath "$work/scripted")
ZANKIT_TLS_DIR=$(zk_winpath "$work/tls")
for name in http https https_untrusted proxy; do
  export "ZANKIT_${name^^}_PORT=$(cat "$work/http/${name}_port")"
done
export ZANKIT_OAUTH_PORT ZANKIT_OAUTH_DIR ZANKIT_XOAUTH2_PORT ZANKIT_XOAUTH2_SPOOL
ZANKIT_OAUTH_PORT=$(cat "$work/oauth/port")
ZANKIT_OAUTH_DIR=$(zk_winpath "$work/oauth")
ZANKIT_XOAUTH2_PORT=$(cat "$work/xoauth2/port")
ZANKIT_XOAUTH2_SPOOL=$(zk_winpath "$work/xoauth2")
ZANKIT_HTTP_CLOSED_PORT=$(awk '$1 == "closed-port" { print $3 }' "$work/scripted/ports")  # nobody listens

# While working on one part: ZANKIT_HOST_FILTER (a gtest filter) runs only those host tests,
# ZANKIT_HOST_ARCHES ("64", "32") only those bitnesses; the locale group and scripts are left out.
status=0
for arch in ${ZANKIT_HOST_ARCHES:-64 32}; do
  echo "== host tests x$arch"
  if [ "$arch" = 32 ] && zk_x86_emulated; then
    # Emulated, the x86 executable's whole run takes over half an hour and once crashed inside
    # the emulator. The x86 DLL is still driven here by its locale group, every script with the
    # 32-bit script host, the registration test, the MX queries and the release install.
    echo "not run: 32-bit programs run emulated on this machine (docs/WINE-LIMITS.md)"
    continue
  fi
  dir="$ZANKIT_ROOT/build/win$arch/tests"
  zk_forget_revocation_statuses
  # The locale group needs its locale and runs below, once per locale.
  (cd "$dir" && timeout "$(zk_limit_for $arch 1200)" "$(zk_wine_for $arch)" zankit_host_tests.exe --gtest_brief=1 --gtest_filter="${ZANKIT_HOST_FILTER:--FileInfoLocale*}") 2>&1 |
    tr -d '\r' || status=1
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
[ -z "${ZANKIT_HOST_FILTER:-}" ] || exit $status

# The locale answers in a German and an English user locale.
for arch in 64 32; do
  for locale in de:de_DE.UTF-8 en:en_US.UTF-8; do
    echo "== locale tests x$arch with LANG=${locale#*:}"
    dir="$ZANKIT_ROOT/build/win$arch/tests"
    (cd "$dir" && LANG=${locale#*:} ZANKIT_TEST_LOCALE=${locale%%:*} timeout "$(zk_limit_for $arch 300)" "$(zk_wine_for $arch)" zankit_host_tests.exe \
      --gtest_brief=1 --gtest_filter='FileInfoLocale*') 2>&1 | tr -d '\r' || status=1
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  done
done

# Each script runs with the shared checks of its language put in front of it (the script hosts
# of Wine 8.0 cannot include a file themselves: VBScript's ExecuteGlobal is not there).
for script in "$ZANKIT_ROOT"/tests/scripts/*.js "$ZANKIT_ROOT"/tests/scripts/*.vbs; do
  [ -e "$script" ] || continue
  cat "$ZANKIT_ROOT/tests/scripts/include/check.${script##*.}" "$script" > "$work/scripts/$(basename "$script")"
done
implicit_port=$(awk '$1 == "implicit" { print $2 }' "$work/tls/ports")
for arch in 64 32; do
  host_var="CSCRIPT$arch"
  for script in "$work"/scripts/*.js "$work"/scripts/*.vbs; do
    [ -e "$script" ] || continue
    echo "== $(basename "$script") with the ${arch}-bit cscript"
    output=$(cd "$ZANKIT_ROOT/tests/scripts" && timeout "$(zk_limit_for $arch 300)" "$(zk_wine_for $arch)" "${!host_var}" //nologo "$(zk_winpath "$script")" "$arch" 2>&1 | tr -d '\r')
    echo "$output" | grep -v '^ok - '
    echo "$output" | grep -Eq '^[0-9]+ passed, 0 failed$' || status=1
  done
  subject="Script host over TLS x$arch $$"
  timeout "$(zk_limit_for $arch 120)" "$(zk_wine_for $arch)" "${!host_var}" //nologo "$(zk_winpath "$peers/tls_send.js")" \
    "$implicit_port" "$subject" > /dev/null 2>&1
  zk_check "a ${arch}-bit script host sends with Security 3" grep -qs "Subject: $subject" "$work"/tls/implicit/message-*
done
zk_summary || status=1
exit $status
