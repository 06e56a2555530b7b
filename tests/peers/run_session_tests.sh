#!/usr/bin/env bash
# Runs the mail session's end-to-end tests natively against loopback peers: two aiosmtpd sinks
# (one with AUTH LOGIN and PIPELINING, one with neither) and dovecot serving POP3 on 127.0.0.1:110. Every peer is
# stopped on every way out. Exits non-zero on any failure or skip.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3  # Debian's, which has aiosmtpd
unit=${ZANKIT_UNIT_TESTS:-$here/../../build/linux/tests/zankit_unit_tests}
source "$here/dovecot.sh"
source "$here/../wine/env.sh"  # zk_wait_for
[ -x "$unit" ] || { echo "unit test binary missing: $unit" >&2; exit 1; }

work=$(mktemp -d /tmp/zankit-session.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  zk_dovecot_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

user=zankit
# 200 bytes: its base64 is longer than one line of the body encoder, so AUTH LOGIN must not break it.
password=$(printf 'Pw-%.0s0123456789abcdef' $(seq 1 11) | cut -c1-200)
mkdir -p "$work/auth" "$work/plain" "$work/dovecot"
"$python" "$here/smtp_sink.py" --spool "$work/auth" --user "$user:$password" --pipelining 2> "$work/auth.err" & pids+=($!)
"$python" "$here/smtp_sink.py" --spool "$work/plain" 2> "$work/plain.err" & pids+=($!)
zk_wait_for "$work/auth/port" "$work/plain/port" || { cat "$work"/*.err >&2; exit 1; }
export ZANKIT_POP3_USER=$user ZANKIT_POP3_PASSWORD='s3cret-Pw'
zk_dovecot_start "$work/dovecot" "$user" "$ZANKIT_POP3_PASSWORD" || exit 1

export ZANKIT_SMTP_PORT=$(cat "$work/auth/port") ZANKIT_SMTP_SPOOL="$work/auth"
export ZANKIT_SMTP_USER=$user ZANKIT_SMTP_PASSWORD=$password
export ZANKIT_SMTP_NOAUTH_PORT=$(cat "$work/plain/port") ZANKIT_SMTP_NOAUTH_SPOOL="$work/plain"

timeout 600 "$unit" --gtest_brief=1 --gtest_filter='SmtpPeers*:SendToSink*' 2>&1 | tee "$work/unit.log"
status=${PIPESTATUS[0]}
if grep -q '^\[  SKIPPED \]' "$work/unit.log"; then
  echo "some session tests were skipped although their peers run" >&2
  status=1
fi
exit "$status"
