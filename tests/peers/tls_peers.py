"""SMTP servers with TLS on loopback for the mail class's TLS tests.

Usage: /usr/bin/python3 tls_peers.py --dir DIR --certs CERTS --user NAME:PASSWORD --token TOKEN

CERTS holds server.pem/key (for localhost and 127.0.0.1), other-name, expired and untrusted
(.pem/.key each). Real servers (aiosmtpd): "plain" (no TLS), "starttls" (STARTTLS required
before AUTH and MAIL; LOGIN, PLAIN and CRAM-MD5 for the user) and "implicit" (TLS from the first
byte); each keeps its messages as DIR/<name>/message-N.eml. Scripted servers, for faults a real
server does not produce on demand, log the bytes they receive in the clear to DIR/<name>.log:
"no-starttls", "other-name", "expired", "untrusted" (its certificate's CA is not trusted),
"cut-handshake", "close-after-220", "inject" (a forged 250 in the packet of the 220) and
"xoauth2" (accepts only the exact initial response for the user and TOKEN).
DIR/ports gets "name port" lines once all listen. Stops on SIGTERM.
"""
import argparse
import asyncio
import base64
import hashlib
import hmac
import os
import signal
import socket
import ssl
import threading

from aiosmtpd.smtp import SMTP, AuthResult, MISSING

args = None


def context(name):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(args.certs, name + ".pem"), os.path.join(args.certs, name + ".key"))
    return ctx


class Spool:
    def __init__(self, folder):
        self.folder, self.count = folder, 0
        os.makedirs(folder, exist_ok=True)

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        with open(os.path.join(self.folder, "message-%d.eml" % self.count), "wb") as out:
            out.write(envelope.original_content or envelope.content)
        return "250 OK message %d kept" % self.count


class CramSMTP(SMTP):
    AuthLoginUsernameChallenge, AuthLoginPasswordChallenge = "Username:", "Password:"

    async def auth_CRAM__MD5(self, server, _):
        challenge = b"<%d.zankit@sink.test>" % os.getpid()
        answer = await server.challenge_auth(challenge)
        name, secret = args.user.encode().split(b":", 1)
        if answer is MISSING or b" " not in answer:
            return AuthResult(success=False, handled=False)
        login, digest = answer.split(b" ", 1)
        expected = hmac.new(secret, challenge, hashlib.md5).hexdigest().encode()
        return AuthResult(success=login == name and hmac.compare_digest(digest, expected), handled=False)


def authenticate(server, session, envelope, mechanism, auth_data):
    name, secret = args.user.split(":", 1)
    text = lambda value: value.decode() if isinstance(value, bytes) else value
    return AuthResult(success=text(auth_data.login) == name and text(auth_data.password) == secret, handled=False)


# ---- scripted servers: one thread per connection, blocking sockets ---------------------------

FORGED = "250-forged.test\r\n250 AUTH LOGIN\r\n"


class Wire:
    def __init__(self, conn, log):
        self.conn, self.log, self.buffer, self.secure = conn, log, b"", False

    def line(self):
        while b"\r\n" not in self.buffer:
            data = self.conn.recv(65536)
            if not data:
                return None
            if not self.secure:
                with open(self.log, "ab") as out:
                    out.write(data)
            self.buffer += data
        line, self.buffer = self.buffer.split(b"\r\n", 1)
        return line.decode("latin-1")

    def send(self, text):
        self.conn.sendall(text.encode())


def cut_handshake(conn, ctx):
    """Answers the client's hello with the first half of the server's flight, then hangs up."""
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    server = ctx.wrap_bio(incoming, outgoing, server_side=True)
    incoming.write(conn.recv(65536))
    try:
        server.do_handshake()
    except ssl.SSLWantReadError:
        pass
    flight = outgoing.read()
    conn.sendall(flight[: len(flight) // 2])


def scripted_session(conn, name):
    wire = Wire(conn, os.path.join(args.dir, name + ".log"))
    wire.send("220 scripted.test ready\r\n")
    expected = "AUTH XOAUTH2 " + base64.b64encode(
        ("user=%s\x01auth=Bearer %s\x01\x01" % (args.user.split(":")[0], args.token)).encode()).decode()
    while (line := wire.line()) is not None:
        verb = line[:8].upper()
        if verb.startswith("EHLO"):
            tls = "" if name == "no-starttls" or wire.secure else "250-STARTTLS\r\n"
            wire.send("250-scripted.test\r\n%s250 AUTH XOAUTH2 PLAIN LOGIN\r\n" % tls)
        elif verb == "STARTTLS":
            wire.send("220 Ready to start TLS\r\n" + (FORGED if name == "inject" else ""))
            if name == "close-after-220":
                return
            ctx = context({"other-name": "other-name", "expired": "expired", "untrusted": "untrusted"}.get(name, "server"))
            if name == "cut-handshake":
                return cut_handshake(conn, ctx)
            try:
                wire.conn = ctx.wrap_socket(conn, server_side=True)
            except (ssl.SSLError, OSError):
                return
            wire.secure = True
        elif verb.startswith("AUTH"):
            wire.send("235 2.7.0 Accepted\r\n" if line == expected else "535 5.7.8 Token refused\r\n")
        elif verb.startswith("DATA"):
            wire.send("354 go ahead\r\n")
            while (line := wire.line()) not in (None, "."):
                pass
            wire.send("250 kept\r\n")
        elif verb.startswith("QUIT"):
            return wire.send("221 bye\r\n")
        else:
            wire.send("250 ok\r\n")


def scripted_server(name):
    listener = socket.create_server(("127.0.0.1", 0))

    def accept():
        while True:
            conn, _ = listener.accept()

            def run(conn=conn):
                with conn:
                    try:
                        scripted_session(conn, name)
                    except (OSError, ssl.SSLError):
                        pass

            threading.Thread(target=run, daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener.getsockname()[1]


SCRIPTED = ["no-starttls", "other-name", "expired", "untrusted", "cut-handshake", "close-after-220", "inject", "xoauth2"]


async def main():
    loop = asyncio.get_running_loop()
    ports = {}
    for name, options, tls in [
        ("plain", {}, None),
        ("starttls", dict(tls_context=context("server"), require_starttls=True, authenticator=authenticate), None),
        ("implicit", dict(auth_require_tls=False, authenticator=authenticate), context("server")),
    ]:
        spool = Spool(os.path.join(args.dir, name))
        server = await loop.create_server(
            lambda spool=spool, options=options: CramSMTP(spool, hostname="sink.test", **options), "127.0.0.1", 0,
            ssl=tls)
        ports[name] = server.sockets[0].getsockname()[1]
    for name in SCRIPTED:
        ports[name] = scripted_server(name)
    with open(os.path.join(args.dir, "ports.tmp"), "w") as out:
        out.writelines("%s %d\n" % item for item in ports.items())
    os.replace(os.path.join(args.dir, "ports.tmp"), os.path.join(args.dir, "ports"))
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    await stop.wait()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--dir", "--certs", "--user", "--token"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    asyncio.run(main())
