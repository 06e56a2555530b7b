"""A real SMTP server (aiosmtpd) on loopback that keeps what it receives.
Usage: /usr/bin/python3 smtp_sink.py --spool DIR [--user NAME:PASSWORD] [--read]
                                     [--without-8bitmime] [--smtputf8] [--pipelining]
                                     (stops on SIGTERM or SIGINT)
Listens on a free port of 127.0.0.1, written to DIR/port once it listens. Every byte a client
sends is appended to DIR/received.log, every accepted message stored as DIR/message-N.eml.
With --user, AUTH LOGIN (and PLAIN) is offered without TLS for that user only; mechanism names
are taken in upper case only ("AUTH Login" gets 504). With --read, each message is also taken
apart by read_message.py into DIR/message-N/ before its 250 reply. --without-8bitmime leaves
8BITMIME out of the EHLO reply (through aiosmtpd's EHLO hook); --smtputf8 offers SMTPUTF8;
--pipelining offers PIPELINING (also through the EHLO hook; aiosmtpd reads commands in order).
"""
import argparse
import asyncio
import os
import signal

from aiosmtpd.smtp import SMTP, AuthResult

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
    handler = Sink(args.spool, args.read, not args.without_8bitmime, args.pipelining)
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
