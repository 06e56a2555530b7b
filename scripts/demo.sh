#!/usr/bin/env bash
# Builds ZanKit, registers the x64 and x86 DLLs in a private Wine prefix and runs the demo
# script with Wine's script host, then sends a mail through ZanKit.clsSendMail from a small
# host under Wine to an SMTP sink on loopback and shows what the sink received. Installs what
# is missing first when run as root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p build
  bash scripts/install-deps.sh > build/install.log 2>&1 || { cat build/install.log; exit 1; }
fi
bash scripts/build.sh
source tests/wine/env.sh
zk_prefix_setup
zk_register_all
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/examples/demo.js")" | tr -d '\r'
echo
"$(zk_wine_for 64)" cscript //nologo "$(zk_winpath "$root/examples/fileinfo_demo.js")" | tr -d '\r' | head -60

echo
echo "== clsSendMail.Send to an SMTP sink on 127.0.0.1"
spool=$(mktemp -d /tmp/zankit-demo-smtp.XXXXXX)
/usr/bin/python3 "$root/tests/peers/smtp_sink.py" --spool "$spool" 2> "$spool/err" &
sink_pid=$!
stop_sink() {
  kill "$sink_pid" 2>/dev/null || true
  wait "$sink_pid" 2>/dev/null || true
  rm -rf "$spool"
}
trap stop_sink EXIT
for tries in $(seq 1 100); do
  [ -s "$spool/port" ] && break
  sleep 0.1
done
[ -s "$spool/port" ] || { echo "the SMTP sink did not start"; cat "$spool/err"; exit 1; }
mkdir -p "$spool/files"
timeout 120 zk_wine64 "$root/build/win64/examples/send_demo.exe" "$(cat "$spool/port")" "$(zk_winpath "$spool/files")" | sed -u 's/\r$//' || echo "(the send did not succeed)"
echo
echo "== what the sink received"
/usr/bin/python3 "$root/examples/show_received.py" "$spool"
