"""Takes one received message apart as a mail reader would, for the send tests.
Usage: /usr/bin/python3 read_message.py MESSAGE.eml OUTDIR   writes OUTDIR/summary.txt
with tab-separated lines, texts as the bytes that arrived:
  header NAME VALUE             every header, unfolded
  part TYPE CID FILE part-N.bin every leaf part in order ("-" when absent), its bytes in part-N.bin
  uu RC - NAME uu-N.bin         every begin...end block of the first text part, decoded by
                                uudecode (RC its exit status) into uu-N.bin
and OUTDIR/decoded.txt, UTF-8, with what a reader shows (encoded words and RFC 2231 names decoded):
  header NAME VALUE             Subject
  address NAME DISPLAY ADDRESS  every address of From, To, Cc and Reply-To
  part TYPE FILE CTE CHARSET CID  every leaf part in order ("-" when absent)
"""
import email
import email.policy
import os
import re
import subprocess
import sys


def raw(text):
    return text.encode("utf-8", "surrogateescape") if isinstance(text, str) else text


def unfold(value):
    return re.sub(r"\r?\n[ \t]", " ", str(value)).replace("\t", " ")


def raw_filename(part):
    # The parser's own decoding replaces 8-bit bytes; take the parameter as it arrived.
    for name, value in part.raw_items():
        found = name.lower() == "content-disposition" and re.search(r'filename="([^"]*)"', unfold(value))
        if found:
            return raw(found.group(1))
    return raw(part.get_filename() or "-")


def one_line(text):
    return re.sub(r"[\t\r\n]", " ", str(text)).encode("utf-8", "surrogateescape")


def write_decoded(data, out):
    message = email.message_from_bytes(data, policy=email.policy.default)
    lines = [b"header\tSubject\t%s" % one_line(message.get("Subject", ""))]
    for name in ("From", "To", "Cc", "Reply-To"):
        for address in (message[name].addresses if message[name] is not None else ()):
            lines.append(b"address\t%s\t%s\t%s" % (name.encode(), one_line(address.display_name),
                                                   one_line(address.addr_spec)))
    for part in (p for p in message.walk() if not p.is_multipart()):
        lines.append(b"part\t%s\t%s\t%s\t%s\t%s" % (
            one_line(part.get_content_type()), one_line(part.get_filename() or "-"),
            one_line(part.get("Content-Transfer-Encoding", "-")), one_line(part.get_content_charset() or "-"),
            one_line(part.get("Content-ID", "-"))))
    with open(os.path.join(out, "decoded.txt"), "wb") as f:
        f.write(b"\n".join(lines) + b"\n")


def read(source, out):
    os.makedirs(out, exist_ok=True)
    with open(source, "rb") as f:
        data = f.read()
    write_decoded(data, out)
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    summary = [b"header\t%s\t%s" % (raw(name), raw(unfold(value))) for name, value in message.items()]
    text_body = None
    for index, part in enumerate(p for p in message.walk() if not p.is_multipart()):
        payload = part.get_payload(decode=True) or b""
        if text_body is None and part.get_content_maintype() == "text":
            text_body = payload
        with open(os.path.join(out, "part-%d.bin" % index), "wb") as f:
            f.write(payload)
        summary.append(b"part\t%s\t%s\t%s\tpart-%d.bin" % (
            raw(part.get_content_type()), raw(unfold(part.get("Content-ID", "-"))), raw_filename(part), index))
    blocks = re.findall(rb"(?ms)^(begin 600 ([^\r\n]*)\r\n.*?^end)\r?$", text_body or b"")
    for index, (block, name) in enumerate(blocks):
        target = os.path.join(out, "uu-%d.bin" % index)
        rc = subprocess.run(["uudecode", "-o", target], input=block.replace(b"\r\n", b"\n") + b"\n",
                            capture_output=True).returncode
        summary.append(b"uu\t%d\t-\t%s\tuu-%d.bin" % (rc, name, index))
    with open(os.path.join(out, "summary.txt"), "wb") as f:
        f.write(b"\n".join(summary) + b"\n")


if __name__ == "__main__":
    read(sys.argv[1], sys.argv[2])
