"""COUNT small messages with RCPTS recipients each through one logged-in smtplib session, which
sends one command at a time (smtplib does not pipeline).

Usage: /usr/bin/python3 smtplib_session.py PORT COUNT RCPTS USER PASSWORD
"""
import smtplib
import sys
import time

MESSAGE = (
    "From: <bench@example.com>\r\nTo: <sink@example.com>\r\nSubject: Benchmark\r\n"
    "Date: Mon, 1 Jan 2024 12:00:00 +0000\r\n\r\nA small plain message.\r\nSecond line.\r\n")

port, count, rcpts, user, password = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
recipients = ["sink%d@example.com" % i for i in range(rcpts)]
start = time.monotonic()
with smtplib.SMTP("127.0.0.1", port, local_hostname="example.com") as client:
    client.login(user, password)
    for _ in range(count):
        client.sendmail("bench@example.com", recipients, MESSAGE)
print("smtplib: %d sent in %.3f s" % (count, time.monotonic() - start))
