"""Prints what the demo's SMTP sink received: the envelope, the headers and the parts.

Usage: /usr/bin/python3 show_received.py SPOOL_DIR
"""
import email
import email.policy
import os
import sys


def main():
    spool = sys.argv[1]
    with open(os.path.join(spool, "received.log"), "rb") as log:
        commands = log.read().decode("latin-1").split("\r\n")
    print("Envelope:")
    for line in commands:
        if line.upper().startswith(("MAIL FROM", "RCPT TO")):
            print("  " + line)
    names = sorted(n for n in os.listdir(spool) if n.startswith("message-"))
    if not names:
        print("The sink kept no message.")
        return 1
    with open(os.path.join(spool, names[-1]), "rb") as f:
        data = f.read()
    message = email.message_from_bytes(data, policy=email.policy.default)
    print("Headers (%d bytes in all):" % len(data))
    for name, value in message.items():
        print("  %s: %s" % (name, value))
    print("Parts:")
    for part in message.walk():
        depth = "  "
        if part.is_multipart():
            print("%s%s" % (depth, part.get_content_type()))
            continue
        payload = part.get_payload(decode=True) or b""
        details = [part.get_content_type(), "%d bytes" % len(payload)]
        if part.get_filename():
            details.append("file " + part.get_filename())
        if part["Content-ID"]:
            details.append("Content-ID " + part["Content-ID"])
        print("%s  %s" % (depth, ", ".join(details)))
        if part.get_content_maintype() == "text" and not part.get_filename():
            for line in payload.decode("latin-1").splitlines():
                print("%s      | %s" % (depth, line))
    return 0


if __name__ == "__main__":
    sys.exit(main())
