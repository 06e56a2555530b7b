"""SMTP servers with TLS on loopback. Usage: tls_peers.py --dir DIR --certs CERTS --user NAME:PASSWORD --token T

aiosmtpd: "plain", "starttls" (STARTTLS required before AUTH and MAIL; LOGIN, PLAIN, CRAM-MD5;
aiosmtpd's own AUTH LOGIN prompts "User Name\0" and "Password\0"), "localized" (the same with
prompts configured in German) and "implicit" (TLS from the first byte), keeping messages as
DIR/<name>/message-N.eml. Scripted
servers for faults a real one does not produce on demand log the bytes they get in the clear to
DIR/<name>.log; their certificate is CERTS/<name>.pem when there is one, else CERTS/server.pem.
DIR/ports gets "name port" lines once all listen. Stops on SIGTERM.

For versions, addresses and revocation, scripted servers speak one TLS version, ask for a
client certificate, listen on ::1 or present the runner's certificates of those rows; the SNI a
client sent goes to DIR/<name>.sni. "renegotiate" is openssl s_server (TLS 1.2 from the first
byte): on EHLO it runs a new handshake, answering once the client has finished it.
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
import subprocess
import threading

from aiosmtpd.smtp import SMTP, AuthResult, MISSING
from smtp_sink import Sink


def context(name):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    pem = os.path.join(args.certs, name + ".pem")
    cert = name if os.path.exists(pem) else "server"
    ctx.load_cert_chain(os.path.join(args.certs, cert + ".pem"), os.path.join(args.certs, cert + ".key"))
    restrict(ctx, name)
    return ctx


# The peers that speak a single protocol version; OpenSSL offers 1.0 and 1.1 only at its
# lowest security level.
ONLY_VERSION = {"tls1.0-only": ssl.TLSVersion.TLSv1, "tls1.1-only": ssl.TLSVersion.TLSv1_1,
                "tls1.3-only": ssl.TLSVersion.TLSv1_3}


def restrict(ctx, name):
    if name in ONLY_VERSION:
        ctx.minimum_version = ctx.maximum_version = ONLY_VERSION[name]
        if ONLY_VERSION[name] < ssl.TLSVersion.TLSv1_2:
            ctx.set_ciphers("DEFAULT:@SECLEVEL=0")
    if name == "asks-certificate":
        ctx.verify_mode = ssl.CERT_OPTIONAL
        ctx.load_verify_locations(os.path.join(args.certs, "ca.pem"))

    def note_server_name(_sock, server_name, _ctx):
        if server_name is not None:
            with open(os.path.join(args.dir, name + ".sni"), "w") as out:
                out.write(server_name)
    ctx.sni_callback = note_server_name


def right_login(login, password):
    return (login.decode() if isinstance(login, bytes) else login) + ":" + (
        password.decode() if isinstance(password, bytes) else password) == args.user


class CramSMTP(SMTP):
    async def auth_CRAM__MD5(self, server, _):
        challenge = b"<%d.zankit@sink.test>" % os.getpid()
        answer = await server.challenge_auth(challenge)
        login, _, digest = (b"" if answer is MISSING else answer).partition(b" ")
        secret = args.user.split(":", 1)[1].encode()
        expected = hmac.new(secret, challenge, hashlib.md5).hexdigest().encode()
        return AuthResult(success=right_login(login, secret) and hmac.compare_digest(digest, expected), handled=False)


class LocalizedSMTP(CramSMTP):
    AuthLoginUsernameChallenge, AuthLoginPasswordChallenge = "Benutzername:", "Kennwort:"


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
    """Answers the client's hello with half of the server's first flight, then hangs up."""
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
    auth_lines = []
    token = "user=%s\x01auth=Bearer %s\x01\x01" % (args.user.split(":")[0], args.token)
    while (line := wire.line()) is not None:
        verb = line[:8].upper()
        if verb.startswith("EHLO"):
            offer = "" if name == "no-starttls" or wire.secure else "250-STARTTLS\r\n"
            wire.send("250-scripted.test\r\n%s250 AUTH XOAUTH2 PLAIN LOGIN\r\n" % offer)
        elif verb == "STARTTLS":
            # "inject" forges a reply in the packet of the 220.
            wire.send("220 Ready to start TLS\r\n" + ("250-forged.test\r\n250 AUTH LOGIN\r\n" if name == "inject" else ""))
            if name == "close-after-220":
                return
            if name == "cut-handshake":
                return cut_handshake(conn, context(name))
            wire.conn, wire.secure = context(name).wrap_socket(conn, server_side=True), True
        elif name == "extra-prompt" and (verb.startswith("AUTH") or auth_lines):
            # Prompts once more than any mechanism has steps; a "*" cancels, any other line is
            # logged and prompted again.
            auth_lines.append(line)
            cancelled = line == "*"
            wire.send("501 5.7.0 Cancelled\r\n" if cancelled else "334 \r\n")
            if cancelled:
                auth_lines.clear()
        elif verb.startswith("AUTH"):
            accepted = line == "AUTH XOAUTH2 " + base64.b64encode(token.encode()).decode()
            wire.send("235 2.7.0 Accepted\r\n" if accepted else "535 5.7.8 Token refused\r\n")
        elif verb.startswith("DATA"):
            wire.send("354 go ahead\r\n")
            while wire.line() not in (None, "."):
                pass
            wire.send("250 kept\r\n")
        elif verb.startswith("QUIT"):
            return wire.send("221 bye\r\n")
        else:
            wire.send("250 ok\r\n")


def scripted_server(name, host="127.0.0.1"):
    listener = socket.create_server((host, 0), family=socket.AF_INET6 if ":" in host else socket.AF_INET)

    def serve(conn):
        with conn:
            try:
                scripted_session(conn, name)
            except (OSError, ssl.SSLError):
                pass

    def accept():
        while True:
            threading.Thread(target=serve, args=(listener.accept()[0],), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener.getsockname()[1]


S_SERVERS, S_SERVERS_LOCK = set(), threading.Lock()  # ended with the peers; None once ended


def renegotiating_session(name, port):
    """One connection to openssl s_server, whose output carries what the client sent; False once
    the peers end."""
    with S_SERVERS_LOCK:
        if S_SERVERS is None:
            return False
        server = subprocess.Popen(
            ["openssl", "s_server", "-accept", "127.0.0.1:%d" % port, "-naccept", "1", "-tls1_2", "-crlf", "-msg",
             "-cert", os.path.join(args.certs, "server.pem"), "-key", os.path.join(args.certs, "server.key")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, bufsize=0)
        S_SERVERS.add(server)

    def reply(text):
        server.stdin.write(text.encode())
    in_data, finished = False, 0
    with open(os.path.join(args.dir, name + ".log"), "ab", buffering=0) as log:
        for raw in iter(server.stdout.readline, b""):
            log.write(raw)
            line = raw.decode("latin-1").rstrip("\r\n")
            verb = line[:4].upper()
            if in_data:
                if line == ".":
                    in_data = False
                    reply("250 kept\n")
            elif line.startswith("CIPHER is"):
                reply("220 s_server ready\n")
            elif verb == "EHLO":
                reply("r\n")  # s_server's command for a new handshake
            elif line.startswith("<<< ") and line.endswith("Finished"):
                finished += 1
                if finished == 2:  # the client finished the second handshake
                    reply("250-s_server\n250 SIZE 10000000\n")
            elif verb in ("MAIL", "RCPT", "RSET", "NOOP"):
                reply("250 ok\n")
            elif verb == "DATA":
                in_data = True
                reply("354 go ahead\n")
            elif verb == "QUIT":
                reply("221 bye\n")
    server.wait()
    return True


def renegotiating_server(name):
    probe = socket.create_server(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()

    def serve():
        while renegotiating_session(name, port):
            pass

    threading.Thread(target=serve, daemon=True).start()
    return port


async def main():
    loop = asyncio.get_running_loop()
    ports = {}
    login = dict(authenticator=lambda server, session, envelope, mechanism, data: AuthResult(
        success=right_login(data.login, data.password), handled=False))
    starttls = dict(tls_context=context("server"), require_starttls=True, **login)
    for name, options, tls in [("plain", {}, None),
                               ("starttls", starttls, None),
                               ("localized", dict(starttls, localized=True), None),
                               ("implicit", dict(auth_require_tls=False, **login), context("server"))]:
        spool = Sink(os.path.join(args.dir, name))
        os.makedirs(spool.spool)
        def protocol(spool=spool, options=options):
            options = dict(options)
            kind = LocalizedSMTP if options.pop("localized", False) else CramSMTP
            return kind(spool, data_size_limit=None, **options)

        server = await loop.create_server(protocol, "127.0.0.1", 0, ssl=tls)
        ports[name] = server.sockets[0].getsockname()[1]
    for name in ("no-starttls", "other-name", "expired", "untrusted", "cut-handshake", "close-after-220", "inject",
                 "xoauth2", "extra-prompt"):
        ports[name] = scripted_server(name)
    for name in ("tls1.0-only", "tls1.1-only", "tls1.3-only", "asks-certificate", "sni", "ip-only", "ip-cn-only",
                 "ip-wildcard", "revoked", "crl-listed", "crl-unreachable"):
        ports[name] = scripted_server(name)
    ports["ip6-only"] = scripted_server("ip6-only", "::1")
    ports["renegotiate"] = renegotiating_server("renegotiate")
    with open(os.path.join(args.dir, "ports.tmp"), "w") as out:
        out.writelines("%s %d\n" % item for item in ports.items())
    os.replace(os.path.join(args.dir, "ports.tmp"), os.path.join(args.dir, "ports"))
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    await stop.wait()
    global S_SERVERS
    with S_SERVERS_LOCK:
        for server in S_SERVERS:
            server.kill()
        S_SERVERS = None


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--dir", "--certs", "--user", "--token"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    asyncio.run(main())
