"""The same small plain message as send_bench, COUNT times, one session each, with smtplib.

Usage: /usr/bin/python3 smtplib_send.py PORT COUNT
"""
import smtplib
import sys
import time

MESSAGE = (
    "Message-ID: <bench@bench.local>\r\nFrom: \"bench@example.com\" <bench@example.com>\r\n"
    "To: \"sink@example.com\" <sink@example.com>\r\nSubject: Benchmark\r\n"
    "Date: Mon, 1 Jan 2024 12:00:00 +0000\r\nMIME-Version: 1.0\r\n"
    "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
    "A small plain message.\r\nSecond line.\r\n")

port, count = int(sys.argv[1]), int(sys.argv[2])
start = time.monotonic()
for _ in range(count):
    with smtplib.SMTP("127.0.0.1", port, local_hostname="example.com") as client:
        client.sendmail("bench@example.com", ["sink@example.com"], MESSAGE)
print("smtplib: %d sent in %.3f s" % (count, time.monotonic() - start))
