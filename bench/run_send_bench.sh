#!/usr/bin/env bash
# Send benchmarks, one run each, native:
#  1. a small plain message, connect to QUIT, 50 times against aiosmtpd: Send against Python's
#     smtplib sending the same message to the same server (goal: not slower);
#  2. a 64 MiB attachment against Postfix's smtp-sink: Send against curl uploading an already
#     encoded message of the same size (goal: within 1.3x), with the peak resident memory of
#     the sending process against a send with a 1 KiB attachment (goal: within 16 MiB).
# Usage: run_send_bench.sh   (ZANKIT_BENCH_BUILD overrides build/bench)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/bench/send_bench_setup.sh"
bench="$build/bench/send_bench"
free_port() { "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
seconds() { sed -E 's/.* in ([0-9.]+) s.*/\1/'; }

echo "== small plain message, 50 sessions, aiosmtpd"
mkdir -p "$work/aiosmtpd"
"$python" "$root/tests/peers/smtp_sink.py" --spool "$work/aiosmtpd" 2> "$work/aiosmtpd.err" &
pids+=($!)
for tries in $(seq 1 100); do [ -s "$work/aiosmtpd/port" ] && break; sleep 0.1; done
port=$(cat "$work/aiosmtpd/port")
ours=$("$bench" "$port" small 50)
theirs=$("$python" "$root/bench/smtplib_send.py" "$port" 50)
echo "$ours"
echo "$theirs"
awk -v a="$(echo "$ours" | seconds)" -v b="$(echo "$theirs" | seconds)" \
  'BEGIN { printf "ratio Send/smtplib: %.2f\n", a / b }'

echo "== 64 MiB attachment, Postfix smtp-sink"
if [ ! -x /usr/sbin/smtp-sink ]; then
  echo "smtp-sink missing (Debian package postfix)"
  exit 1
fi
sink_port=$(free_port)
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(-u nobody)  # smtp-sink will not run as root
/usr/sbin/smtp-sink "${as_user[@]}" -c "127.0.0.1:$sink_port" 64 > /dev/null &
pids+=($!)
sleep 0.5
head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/big.bin"
head -c 1024 /dev/urandom > "$work/small.bin"
# The same message already encoded: header, text part, the attachment in base64 lines.
{
  printf 'From: <bench@example.com>\r\nTo: <sink@example.com>\r\nSubject: Benchmark\r\n'
  printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n'
  printf -- '--b\r\nContent-Type: text/plain\r\n\r\nA small plain message.\r\n\r\n'
  printf -- '--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n'
  base64 -w 76 "$work/big.bin" | sed 's/$/\r/'
  printf -- '\r\n--b--\r\n'
} > "$work/encoded.eml"
small=$("$bench" "$sink_port" attach "$work/small.bin")
ours=$("$bench" "$sink_port" attach "$work/big.bin")
TIMEFORMAT=%R
curl_seconds=$({ time curl -s --url "smtp://127.0.0.1:$sink_port" --mail-from bench@example.com \
  --mail-rcpt sink@example.com --upload-file "$work/encoded.eml" > /dev/null; } 2>&1)
echo "$small (1 KiB attachment)"
echo "$ours (64 MiB attachment)"
echo "curl: $(stat -c %s "$work/encoded.eml") bytes in $curl_seconds s"
awk -v a="$(echo "$ours" | seconds)" -v b="$curl_seconds" 'BEGIN { printf "ratio Send/curl: %.2f\n", a / b }'
small_rss=$(echo "$small" | sed -E 's/.*peak RSS ([0-9]+) KiB.*/\1/')
big_rss=$(echo "$ours" | sed -E 's/.*peak RSS ([0-9]+) KiB.*/\1/')
echo "peak RSS growth 64 MiB over 1 KiB: $(( (big_rss - small_rss) / 1024 )) MiB"
