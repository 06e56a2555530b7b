"""A real SMTP server (aiosmtpd) on loopback that keeps what it receives.
Usage: /usr/bin/python3 smtp_sink.py --spool DIR [--user NAME:PASSWORD]   (stops on SIGTERM or SIGINT)
Listens on a free port of 127.0.0.1, written to DIR/port once it listens. Every byte a client
sends is appended to DIR/received.log, every accepted message stored as DIR/message-N.eml.
With --user, AUTH LOGIN (and PLAIN) is offered without TLS for that user only; mechanism names
are taken in upper case only ("AUTH Login" gets 504).
"""
import argparse
import asyncio
import os
import signal

from aiosmtpd.smtp import SMTP, AuthResult


class Sink:
    def __init__(self, spool):
        self.spool, self.count = spool, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        with open(os.path.join(self.spool, "message-%d.eml" % self.count), "wb") as out:
            out.write(envelope.original_content or envelope.content)
        return "250 OK message %d kept" % self.count


class RecordingSMTP(SMTP):
    AuthLoginUsernameChallenge = "Username:"
    AuthLoginPasswordChallenge = "Password:"
    received_log = None

    def data_received(self, data):
        with open(self.received_log, "ab") as log:
            log.write(data)
        super().data_received(data)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--spool", required=True)
    parser.add_argument("--user")
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
    handler = Sink(args.spool)
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
