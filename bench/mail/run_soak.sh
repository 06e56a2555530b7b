#!/usr/bin/env bash
# Soak of clsSendMail under Wine (x64): sends from one object to aiosmtpd on loopback, each in
# its own session, then inside one Connect session; prints handle count, GDI count and working
# set after the first 100 sends and at the end of each part. Needs build/win64 built.
# Usage: bench/mail/run_soak.sh [single-session sends] [sends inside one Connect]   (10000 1000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
single=${1:-10000}
connected=${2:-1000}
work=$(mktemp -d /tmp/zankit-soak.XXXXXX)
sink_pid=""
cleanup() {
  if [ -n "$sink_pid" ]; then
    kill "$sink_pid" 2>/dev/null || true
    wait "$sink_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-g++ -O2 -static -municode -o "$work/soak.exe" "$root/bench/mail/soak.cpp" \
  -lole32 -loleaut32 -luuid -lpsapi -luser32
/usr/bin/python3 "$root/tests/peers/smtp_sink.py" --spool "$work" 2> "$work/sink.err" &
sink_pid=$!
for tries in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { cat "$work/sink.err"; exit 1; }

zk_prefix_setup
zk_regsvr32 /s "$ZANKIT_DLL64"
echo "== $single single-session sends, then $connected inside one Connect (x64)"
start=$(date +%s)
zk_wine64 "$work/soak.exe" "$(cat "$work/port")" "$single" "$connected" | stdbuf -oL tr -d "\r"
echo "messages kept by the sink: $(find "$work" -name 'message-*.eml' | wc -l); $(( $(date +%s) - start )) s"
