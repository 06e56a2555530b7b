"""A scripted SMTP peer for the faults real servers do not produce on demand.

Real servers (aiosmtpd, dovecot) cover the normal conversation; this fake exists only to drop
the line at a chosen stage, stay silent, greet with 554, cut its replies into 1-byte pieces,
join two replies in one piece, and send a 334 prompt that asks for neither user name nor
password.

Usage: /usr/bin/python3 scripted_smtp.py --dir DIR
Listens on 127.0.0.1 with one free port per scenario and writes "scenario port" lines to
DIR/ports once all listen. Every byte received in a scenario is appended to DIR/<scenario>.log.
Stops on SIGTERM or SIGINT.
"""
import argparse
import asyncio
import base64
import os
import signal

SCENARIOS = {
    "silent": dict(greeting=None),                # accepts and never answers
    "drop-at-connect": dict(drop_on="CONNECT"),  # closes before the greeting
    "drop-at-helo": dict(drop_on="HELO"),        # closes when HELO/EHLO arrives
    "drop-at-auth": dict(drop_on="AUTH"),        # closes when AUTH arrives
    "drop-at-mail": dict(drop_on="MAIL"),        # closes when MAIL arrives
    "drop-at-quit": dict(drop_on="QUIT"),        # closes when QUIT arrives, without 221
    "greeting-554": dict(greeting="554 5.3.2 No service for you\r\n"),
    "one-byte": dict(piece=1),                   # every reply written one byte at a time
    "joined": dict(joined=True),                 # MAIL answered by 250 and 550 in one piece
    "odd-prompt": dict(prompt="Who goes there?"),  # 334 asking neither name nor password
    # Faults of a message being sent; every other scenario takes DATA with 354 and 250.
    "refuse-mail": dict(refuse={"MAIL": "550 5.1.0 Sender refused"}),
    "refuse-rcpt": dict(refuse_rcpt="refused@"),  # only the recipient named so is refused
    "refuse-data": dict(refuse={"DATA": "554 5.5.1 No valid recipients"}),
    "refuse-dot": dict(refuse_dot="554 5.7.1 Message content refused"),
    "drop-in-data": dict(drop_after=200000),     # closes after 200000 bytes of message data
}

EHLO_REPLY = "250-scripted.test\r\n250-SIZE 1000000\r\n250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"


def b64(text):
    return base64.b64encode(text.encode()).decode()


class Conversation:
    def __init__(self, name, options, reader, writer, log_path):
        self.name = name
        self.options = options
        self.reader = reader
        self.writer = writer
        self.log_path = log_path

    async def say(self, text):
        data = text.encode("latin-1")
        piece = self.options.get("piece", 0)
        if piece:
            for at in range(0, len(data), piece):
                self.writer.write(data[at:at + piece])
                await self.writer.drain()
                await asyncio.sleep(0.002)
        else:
            self.writer.write(data)
            await self.writer.drain()

    async def line(self):
        data = await self.reader.readline()
        with open(self.log_path, "ab") as log:
            log.write(data)
        return data.decode("latin-1")

    async def run(self):
        if self.options.get("drop_on") == "CONNECT":
            return
        greeting = self.options.get("greeting", "220 scripted.test ready\r\n")
        if greeting is None:
            while await self.line():
                pass
            return
        await self.say(greeting)
        while True:
            text = await self.line()
            if not text:
                return
            verb = text.strip().split(" ")[0].upper()
            if verb in ("HELO", "EHLO"):
                verb_key = "HELO"
            else:
                verb_key = verb
            if self.options.get("drop_on") == verb_key:
                return
            refusal = self.options.get("refuse", {}).get(verb)
            if refusal:
                await self.say(refusal + "\r\n")
            elif verb == "RCPT" and self.options.get("refuse_rcpt", "\0") in text:
                await self.say("550 5.1.1 Recipient refused\r\n")
            elif verb == "DATA":
                await self.say("354 End data with <CR><LF>.<CR><LF>\r\n")
                if not await self.data():
                    return
                await self.say(self.options.get("refuse_dot", "250 2.0.0 Queued") + "\r\n")
            elif verb == "EHLO":
                await self.say(EHLO_REPLY)
            elif verb == "HELO":
                await self.say("250 scripted.test\r\n")
            elif verb == "AUTH":
                await self.auth()
            elif verb == "MAIL":
                if self.options.get("joined"):
                    await self.say("250 2.1.0 OK\r\n550 5.1.0 Sender refused after all\r\n")
                else:
                    await self.say("250 2.1.0 OK\r\n")
            elif verb == "QUIT":
                await self.say("221 2.0.0 Bye\r\n")
                return
            else:
                await self.say("250 OK\r\n")

    async def data(self):
        """Reads message lines up to the lone "."; False when the line was dropped."""
        taken = 0
        limit = self.options.get("drop_after")
        while True:
            text = await self.line()
            if not text:
                return False
            taken += len(text)
            if limit and taken >= limit:
                return False
            if text == ".\r\n":
                return True

    async def auth(self):
        prompt = self.options.get("prompt")
        if prompt:
            await self.say("334 %s\r\n" % b64(prompt))
            answer = await self.line()
            if answer.strip() == "":
                answer = await self.line()
            if answer.strip() == "*":
                await self.say("501 5.7.0 Authentication cancelled\r\n")
            else:
                await self.say("535 5.7.8 Unexpected answer\r\n")
            return
        await self.say("334 %s\r\n" % b64("Username:"))
        await self.line()
        await self.say("334 %s\r\n" % b64("Password:"))
        await self.line()
        await self.say("235 2.7.0 Authentication successful\r\n")


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    servers = []
    lines = []
    for name, options in SCENARIOS.items():
        log_path = os.path.join(args.dir, name + ".log")
        open(log_path, "wb").close()

        async def serve(reader, writer, name=name, options=options, log_path=log_path):
            try:
                await Conversation(name, options, reader, writer, log_path).run()
            except (ConnectionError, asyncio.IncompleteReadError):
                pass
            finally:
                writer.close()

        server = await asyncio.start_server(serve, "127.0.0.1", 0)
        servers.append(server)
        lines.append("%s %d\n" % (name, server.sockets[0].getsockname()[1]))
    with open(os.path.join(args.dir, "ports.tmp"), "w") as out:
        out.writelines(lines)
    os.replace(os.path.join(args.dir, "ports.tmp"), os.path.join(args.dir, "ports"))

    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    for server in servers:
        server.close()


if __name__ == "__main__":
    asyncio.run(main())
