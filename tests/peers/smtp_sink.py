"""A real SMTP server (aiosmtpd) on loopback that keeps what it receives.
Usage: /usr/bin/python3 smtp_sink.py --spool DIR [--user NAME:PASSWORD] [--read]
                                     [--without-8bitmime] [--smtputf8] [--pipelining]
                                     [--tls CERT KEY] [--xoauth2 TOKENS]
                                     (stops on SIGTERM or SIGINT)
Listens on a free port of 127.0.0.1, written to DIR/port once it listens. Every byte a client
sends is appended to DIR/received.log, every accepted message stored as DIR/message-N.eml.
With --user, AUTH LOGIN (and PLAIN) is offered without TLS for that user only; mechanism names
are taken in upper case only ("AUTH Login" gets 504). With --read, each message is also taken
apart by read_message.py into DIR/message-N/ before its 250 reply. --without-8bitmime leaves
8BITMIME out of the EHLO reply (through aiosmtpd's EHLO hook); --smtputf8 offers SMTPUTF8;
--pipelining offers PIPELINING (also through the EHLO hook; aiosmtpd reads commands in order).
--tls offers STARTTLS with that certificate and requires it before AUTH and MAIL. --xoauth2 offers
AUTH XOAUTH2 alone and takes exactly the tokens of the TOKENS file (JSON lines with token, user,
expires as Unix time and revoked, written by oauth_server.py) that are unexpired and unrevoked for
the user the client names; a refused token gets the error details (334) and, after the client's
empty line, 535. Each attempt is appended to DIR/xoauth2.log: "accepted|refused USER TOKEN".
"""
import argparse
import asyncio
import base64
import os
import json
import signal
import ssl
import time

from aiosmtpd.smtp import MISSING, SMTP, AuthResult

import read_message


class Sink:
    def __init__(self, spool, read=False, eight_bit=True, pipelining=False):
        self.spool, self.count, self.read, self.eight_bit = spool, 0, read, eight_bit
        self.pipelining = pipelining

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        responses = [r for r in responses if self.eight_bit or r != "250-8BITMIME"]
        return responses[:-1] + ["250-PIPELINING"] + responses[-1:] if self.pipelining else responses

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.spool, "message-%d.eml" % self.count)
        with open(path, "wb") as out:
            out.write(envelope.original_content or envelope.content)
        if self.read:
            read_message.read(path, os.path.join(self.spool, "message-%d" % self.count))
        return "250 OK message %d kept" % self.count


class TokenSink(Sink):
    """A sink whose one login mechanism is XOAUTH2, with the tokens the authorization server issued."""
    def __init__(self, tokens, *args):
        super().__init__(*args)
        self.tokens = tokens

    def valid(self, user, token):
        with open(self.tokens) as lines:
            for line in lines:
                try:
                    issued = json.loads(line)
                except ValueError:  # a line still being written
                    continue
                if (issued["user"], issued["token"]) == (user, token):
                    return not issued["revoked"] and issued["expires"] > time.time()
        return False

    async def auth_XOAUTH2(self, server, args):
        try:
            response = base64.b64decode(args[1], validate=True) if len(args) > 1 else await server.challenge_auth("")
        except ValueError:
            await server.push("501 5.5.2 Can't decode base64")
            response = MISSING
        if response is MISSING:
            return AuthResult(success=False, handled=True)
        fields = dict(part.split("=", 1) for part in response.decode("utf-8", "replace").split("\x01") if "=" in part)
        user, token = fields.get("user", ""), fields.get("auth", "").removeprefix("Bearer ")
        accepted = self.valid(user, token)
        with open(os.path.join(self.spool, "xoauth2.log"), "a") as log:
            log.write("%s %s %s\n" % ("accepted" if accepted else "refused", user, token))
        if not accepted:
            details = json.dumps({"status": "401", "schemes": "bearer", "scope": "mail"})
            cancelled = await server.challenge_auth(details) is MISSING  # answered 501 already
            return AuthResult(success=False, handled=cancelled, message="535 5.7.8 Token not accepted")
        return AuthResult(success=True, auth_data=user)


class RecordingSMTP(SMTP):
    received_log = None

    def data_received(self, data):
        with open(self.received_log, "ab") as log:
            log.write(data)
        super().data_received(data)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--spool", required=True)
    parser.add_argument("--user")
    parser.add_argument("--read", action="store_true")
    parser.add_argument("--without-8bitmime", action="store_true")
    parser.add_argument("--smtputf8", action="store_true")
    parser.add_argument("--pipelining", action="store_true")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--xoauth2", metavar="TOKENS")
    args = parser.parse_args()
    RecordingSMTP.received_log = os.path.join(args.spool, "received.log")
    open(RecordingSMTP.received_log, "wb").close()
    options = {}
    if args.user:
        name, _, secret = args.user.encode().partition(b":")

        def authenticate(server, session, envelope, mechanism, auth_data):
            accepted = (auth_data.login, auth_data.password) == (name, secret)
            return AuthResult(success=accepted, handled=accepted)

        options = dict(auth_require_tls=False, authenticator=authenticate)
    options["enable_SMTPUTF8"] = args.smtputf8
    if args.tls:
        options["tls_context"] = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        options["tls_context"].load_cert_chain(*args.tls)
        options["require_starttls"] = True
    sink_args = (args.spool, args.read, not args.without_8bitmime, args.pipelining)
    handler = TokenSink(args.xoauth2, *sink_args) if args.xoauth2 else Sink(*sink_args)
    if args.xoauth2:
        options["auth_exclude_mechanism"] = ["LOGIN", "PLAIN"]
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: RecordingSMTP(handler, hostname="sink.test", **options), "127.0.0.1", 0)
    with open(os.path.join(args.spool, "port.tmp"), "w") as out:
        out.write("%d\n" % server.sockets[0].getsockname()[1])
    os.replace(os.path.join(args.spool, "port.tmp"), os.path.join(args.spool, "port"))
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
