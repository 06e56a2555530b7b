#!/usr/bin/env bash
# A 64 MiB attachment over TLS from the first byte, under Wine (x64): Send by a script host
# against curl uploading the same message, already encoded, over smtps to the same aiosmtpd
# server (goal: within 1.3x), and the peak resident memory of the sending Wine process with
# the 64 MiB attachment against a 1 KiB one (goal: independent of the attachment's size).
# Needs build/win64 built. Usage: bench/mail/run_tls_bench.sh [MiB]   (64)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/wine/env.sh"
source "$root/tests/peers/test_ca.sh"
mib=${1:-64}
work=$(mktemp -d /tmp/zankit-tls-bench.XXXXXX)
peer_pid=""
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2> /dev/null && wait "$peer_pid" 2> /dev/null
  zk_ca_untrust_in_prefix "$work/ca"
  wineserver -k 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

zk_prefix_setup
zk_ca_make "$work/ca" && zk_ca_issue "$work/ca" server "DNS:localhost,IP:127.0.0.1" && zk_ca_trust_in_prefix "$work/ca" ||
  exit 1
zk_regsvr32 /s "$ZANKIT_DLL64"
wineserver -p 2> /dev/null || true  # stays up between the runs: each run measures the sending process alone
/usr/bin/python3 "$root/tests/peers/tls_peers.py" --dir "$work" --certs "$work/ca" --user u:p --token t \
  2> "$work/peers.err" &
peer_pid=$!
for tries in $(seq 1 100); do [ -s "$work/ports" ] && break; sleep 0.1; done
[ -s "$work/ports" ] || { cat "$work/peers.err"; exit 1; }
port=$(awk '$1 == "implicit" { print $2 }' "$work/ports")

head -c $((mib * 1024 * 1024)) /dev/urandom > "$work/big.bin"
head -c 1024 /dev/urandom > "$work/small.bin"

# send FILE [peak]: "<seconds> <peak KiB>" of one Send by the 64-bit script host; with "peak"
# the largest VmHWM of the script host's process is sampled (Wine shows it under its Windows
# command line), which costs time, so the timed run goes without it.
send() {
  local subject="bench $(basename "$1")" start peak=0 pid hwm
  start=$(date +%s.%N)
  "$ZANKIT_WINE64" cscript //nologo "$(zk_winpath "$root/tests/peers/tls_send.js")" "$port" "$subject" \
    "$(zk_winpath "$1")" > "$work/send.out" 2>&1 &
  pid=$!
  while [ "${2:-}" = peak ] && kill -0 "$pid" 2> /dev/null; do
    for p in $(pgrep -f "cscript.exe.*$subject"); do
      hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$p/status" 2> /dev/null)
      [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm
    done
    sleep 0.05
  done
  wait "$pid"
  grep -qs "Subject: $subject" "$work"/implicit/message-* || { echo "the message did not arrive" >&2; cat "$work/send.out" >&2; }
  echo "$(echo "$(date +%s.%N) - $start" | bc) $peak"
}
read -r _ small_kib < <(send "$work/small.bin" peak)
read -r _ big_kib < <(send "$work/big.bin" peak)
read -r ours _ < <(send "$work/big.bin")
# curl uploads the message as the server kept it from Send: the same encoded bytes.
cp "$work/implicit/message-3.eml" "$work/encoded.eml"
TIMEFORMAT=%R
theirs=$({ time curl -s --cacert "$work/ca/ca.pem" --url "smtps://127.0.0.1:$port" --mail-from bench@example.com \
  --mail-rcpt sink@example.com --upload-file "$work/encoded.eml" > /dev/null; } 2>&1)
echo "Send over TLS: ${mib} MiB attachment in $ours s (script host start included)"
echo "curl smtps: $(stat -c %s "$work/encoded.eml") bytes in $theirs s"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio Send/curl: %.2f\n", a / b }'
echo "peak RSS: ${small_kib} KiB with 1 KiB, ${big_kib} KiB with ${mib} MiB (growth $(( (big_kib - small_kib) / 1024 )) MiB)"
