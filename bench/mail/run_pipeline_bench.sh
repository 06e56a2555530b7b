#!/usr/bin/env bash
# Many messages through one logged-in session: 100 messages to 10 recipients each (COUNT and
# RCPTS override), sent by the native core, by the DLL through COM under Wine (x64) and by
# Python's smtplib (one command at a time), first straight to aiosmtpd on loopback, then through
# a relay that adds 10 ms each way. Prints each time and the ratios to smtplib.
# Needs build/win64 built; builds the native send_bench in build/bench.
# Usage: bench/mail/run_pipeline_bench.sh [COUNT] [RCPTS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
count=${1:-100}
rcpts=${2:-10}
source "$root/bench/send_bench_setup.sh"
user=bench
password=Bench-Secret-1
x86_64-w64-mingw32-g++ -O2 -static -municode -o "$work/soak.exe" "$root/bench/mail/soak.cpp" \
  -lole32 -loleaut32 -luuid -lpsapi -luser32
mkdir -p "$work/sink"
"$python" "$root/tests/peers/smtp_sink.py" --spool "$work/sink" --user "$user:$password" --pipelining \
  2> "$work/sink.err" & pids+=($!)
zk_wait_for "$work/sink/port" || { cat "$work/sink.err"; exit 1; }
"$python" "$root/bench/mail/latency_relay.py" "$(cat "$work/sink/port")" 10 "$work/relay-port" \
  2> "$work/relay.err" & pids+=($!)
zk_wait_for "$work/relay-port" || { cat "$work/relay.err"; exit 1; }
zk_prefix_setup
zk_regsvr32 /s "$ZANKIT_DLL64"

seconds() { sed -nE 's/.* sent in ([0-9.]+) s.*/\1/p' | tail -1; }
for way in loopback relay; do
  port=$(cat "$work/sink/port")
  [ "$way" = relay ] && port=$(cat "$work/relay-port")
  echo "== $count messages x $rcpts recipients, one session, $way"
  native=$("$build/bench/send_bench" "$port" session "$count" "$rcpts" "$user" "$password")
  com=$(zk_wine64 "$work/soak.exe" "$port" 0 "$count" "$rcpts" "$user" "$password" | tr -d '\r' | grep sent)
  theirs=$("$python" "$root/bench/mail/smtplib_session.py" "$port" "$count" "$rcpts" "$user" "$password")
  echo "native $native"
  echo "COM    $com"
  echo "$theirs"
  awk -v n="$(echo "$native" | seconds)" -v c="$(echo "$com" | seconds)" -v p="$(echo "$theirs" | seconds)" -v k="$count" \
    'BEGIN { printf "per message: native %.2f ms, COM %.2f ms, smtplib %.2f ms; ratio native/smtplib %.2f, COM/smtplib %.2f\n",
             1000 * n / k, 1000 * c / k, 1000 * p / k, n / p, c / p }'
done
