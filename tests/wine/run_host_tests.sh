#!/usr/bin/env bash
# Registers the x64 and x86 DLLs in the private prefix, then runs the
# GoogleTest host executable of each bitness and every .js/.vbs file under tests/scripts with
# the 64-bit and the 32-bit cscript. Prints each runner's own summary lines.
set -uo pipefail
source "$(dirname "$0")/env.sh"
# Every test of this run sees one virtual display (dialogs and confirmation windows need it).
zk_display_start || { echo "the virtual display did not start"; echo "0 passed, 1 failed"; exit 1; }
zk_prefix_setup || exit 1
zk_prefix_drives || { echo "drive setup failed"; exit 1; }
zk_register_all || { echo "registration failed"; exit 1; }

status=0

# One SMTP server on loopback for the session host tests. Its port, and a loopback port nobody
# listens on, reach the tests through the environment, which Wine passes on.
smtp_dir=$(mktemp -d /tmp/zankit-host-smtp.XXXXXX)
smtp_pid=""
scripted_pid=""
stop_runner_peers() {
  zk_display_stop
  for pid in $smtp_pid $scripted_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$smtp_dir"
}
trap stop_runner_peers EXIT
trap 'exit 130' INT TERM HUP
/usr/bin/python3 "$ZANKIT_ROOT/tests/peers/smtp_sink.py" --spool "$smtp_dir" 2> "$smtp_dir/err" &
smtp_pid=$!
# The scripted peer's hostile and broken SMTP and POP3 servers, for the fault matrix.
mkdir -p "$smtp_dir/scripted"
/usr/bin/python3 "$ZANKIT_ROOT/tests/peers/scripted_smtp.py" --dir "$smtp_dir/scripted" 2> "$smtp_dir/scripted.err" &
scripted_pid=$!
for tries in $(seq 1 100); do
  [ -s "$smtp_dir/port" ] && [ -s "$smtp_dir/scripted/ports" ] && break
  sleep 0.1
done
if [ -s "$smtp_dir/port" ] && [ -s "$smtp_dir/scripted/ports" ]; then
  export ZANKIT_SMTP_PORT ZANKIT_SMTP_CLOSED_PORT ZANKIT_SMTP_SPOOL ZANKIT_SCRIPTED_DIR
  ZANKIT_SCRIPTED_DIR=$(zk_winpath "$smtp_dir/scripted")
  ZANKIT_SMTP_SPOOL=$(zk_winpath "$smtp_dir")
  ZANKIT_SMTP_PORT=$(cat "$smtp_dir/port")
  ZANKIT_SMTP_CLOSED_PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
else
  echo "the SMTP servers for the session host tests did not start:"
  cat "$smtp_dir/err" "$smtp_dir/scripted.err"
  status=1
fi

for arch in 64 32; do
  echo "== host tests x$arch"
  dir="$ZANKIT_ROOT/build/win$arch/tests"
  # The locale group needs its locale and runs below, once per locale.
  (cd "$dir" && timeout 600 wine zankit_host_tests.exe --gtest_brief=1 --gtest_filter='-FileInfoLocale*:WinHttpPeer*:TlsSend*') 2>&1 |
    tr -d '\r' || status=1
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

# The locale answers in a German and an English user locale.
for arch in 64 32; do
  for locale in de:de_DE.UTF-8 en:en_US.UTF-8; do
    echo "== locale tests x$arch with LANG=${locale#*:}"
    dir="$ZANKIT_ROOT/build/win$arch/tests"
    (cd "$dir" && LANG=${locale#*:} ZANKIT_TEST_LOCALE=${locale%%:*} timeout 300 wine zankit_host_tests.exe \
      --gtest_brief=1 --gtest_filter='FileInfoLocale*') 2>&1 | tr -d '\r' || status=1
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  done
done

# Each script runs with the shared checks of its language put in front of it (the script hosts
# of Wine 8.0 cannot include a file themselves: VBScript's ExecuteGlobal is not there).
combined_dir="$smtp_dir/scripts"
mkdir -p "$combined_dir"
for script in "$ZANKIT_ROOT"/tests/scripts/*.js "$ZANKIT_ROOT"/tests/scripts/*.vbs; do
  [ -e "$script" ] || continue
  cat "$ZANKIT_ROOT/tests/scripts/include/check.${script##*.}" "$script" > "$combined_dir/$(basename "$script")"
done
for arch in 64 32; do
  host_var="CSCRIPT$arch"
  for script in "$combined_dir"/*.js "$combined_dir"/*.vbs; do
    [ -e "$script" ] || continue
    echo "== $(basename "$script") with the ${arch}-bit cscript"
    output=$(cd "$ZANKIT_ROOT/tests/scripts" && timeout 300 "$(zk_wine_for $arch)" "${!host_var}" //nologo "$(zk_winpath "$script")" "$arch" 2>&1 | tr -d '\r')
    echo "$output" | grep -v '^ok - '
    echo "$output" | grep -Eq '^[0-9]+ passed, 0 failed$' || status=1
  done
done
exit $status
