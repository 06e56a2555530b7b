"""Takes apart one received message the way a mail reader would, for the send tests.

Usage: /usr/bin/python3 read_message.py MESSAGE.eml OUTDIR

Parses the message with Python's email package and writes OUTDIR/summary.txt, one item a line:
  header NAME: VALUE        every header of the message, line breaks of folding removed
  part N TYPE cid=CID file=NAME size=BYTES    every leaf part in order ("-" when absent)
  uu N name=NAME size=BYTES rc=RC             every "begin ... end" block of the text body,
                                              decoded by uudecode
The decoded bytes go to OUTDIR/part-N.bin and OUTDIR/uu-N.bin. Texts are written back as the
bytes that arrived (8-bit bytes kept).
"""
import email
import email.policy
import os
import re
import subprocess
import sys
import tempfile


def raw(text):
    return text.encode("utf-8", "surrogateescape") if isinstance(text, str) else text


def unfold(value):
    return re.sub(r"\r?\n(?=[ \t])", "", str(value))


def raw_filename(part):
    """The filename parameter as the bytes that arrived (the parser's own decoding replaces
    8-bit bytes)."""
    for name, value in part.raw_items():
        if name.lower() == "content-disposition":
            found = re.search(r'filename="([^"]*)"', unfold(value))
            if found:
                return raw(found.group(1))
    return raw(part.get_filename() or "-")


def uu_blocks(body):
    blocks = []
    lines = body.split(b"\r\n")
    current = None
    for line in lines:
        if current is None and line.startswith(b"begin "):
            current = [line]
        elif current is not None:
            current.append(line)
            if line == b"end":
                blocks.append(current)
                current = None
    return blocks


def main():
    source, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    with open(source, "rb") as f:
        message = email.message_from_bytes(f.read(), policy=email.policy.compat32)
    summary = []
    for name, value in message.items():
        summary.append(b"header " + raw(name) + b": " + raw(unfold(value)))
    index = 0
    text_body = None
    for part in message.walk():
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        if text_body is None and part.get_content_maintype() == "text":
            text_body = payload
        cid = part.get("Content-ID", "-")
        filename = raw_filename(part)
        with open(os.path.join(out, "part-%d.bin" % index), "wb") as f:
            f.write(payload)
        summary.append(b"part %d %s cid=%s file=%s size=%d" % (
            index, raw(part.get_content_type()), raw(unfold(cid)), filename, len(payload)))
        index += 1
    for number, block in enumerate(uu_blocks(text_body or b"")):
        target = os.path.join(out, "uu-%d.bin" % number)
        with tempfile.NamedTemporaryFile(suffix=".uu", delete=False) as f:
            f.write(b"\n".join(block) + b"\n")
            encoded = f.name
        rc = subprocess.run(["uudecode", "-o", target, encoded], capture_output=True).returncode
        os.unlink(encoded)
        size = os.path.getsize(target) if os.path.exists(target) else -1
        summary.append(b"uu %d name=%s size=%d rc=%d" % (number, block[0][len(b"begin 600 "):], size, rc))
    with open(os.path.join(out, "summary.txt"), "wb") as f:
        f.write(b"\n".join(summary) + b"\n")


if __name__ == "__main__":
    main()
