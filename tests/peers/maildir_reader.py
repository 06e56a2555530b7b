"""Takes apart every message a mail system delivers into a Maildir folder, as smtp_sink.py --read
does with what it receives. Usage: /usr/bin/python3 maildir_reader.py MAILDIR_NEW OUT
Each new file (in delivery order) becomes OUT/message-N/ (read_message.py) and then
OUT/message-N.eml, written last: a reader that sees the .eml finds the rest complete.
Polls every 0.1 s until it is stopped (SIGTERM)."""
import os
import shutil
import sys
import time

import read_message


def main(maildir_new, out):
    os.makedirs(out, exist_ok=True)
    seen = set()
    while True:
        if os.path.isdir(maildir_new):
            paths = [os.path.join(maildir_new, name) for name in os.listdir(maildir_new)]
            for path in sorted((p for p in paths if p not in seen), key=os.path.getmtime):
                seen.add(path)
                target = os.path.join(out, "message-%d" % len(seen))
                read_message.read(path, target)
                shutil.copyfile(path, target + ".tmp")
                os.replace(target + ".tmp", target + ".eml")
        time.sleep(0.1)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
