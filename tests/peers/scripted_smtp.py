"""A scripted SMTP and POP3 peer for the faults real servers do not produce on demand.

Real servers (aiosmtpd, dovecot) cover the normal conversation; this fake exists only to
misbehave on purpose: drop the line at a chosen step, stay silent, refuse with a chosen reply
at a chosen step, cut replies into single bytes, join replies, answer out of turn with AUTH
prompts or POP3 "+OK" floods, send a reply that never ends, stop reading, and accept but
never answer a connection.

Usage: /usr/bin/python3 scripted_smtp.py --dir DIR [--no-pop3]
Each SMTP scenario listens on 127.0.0.1 with a free port; each POP3 scenario on port 110 of
its own loopback address (127.0.0.2 and up, as the client always uses port 110). DIR/ports
gets "scenario host port" lines once all listen. Every byte received in a scenario is
appended to DIR/<scenario>.log. Stops on SIGTERM or SIGINT.
"""
import argparse
import asyncio
import base64
import os
import signal
import socket

B64_USER = base64.b64encode(b"Username:").decode()
EHLO_REPLY = "250-scripted.test\r\n250-SIZE 1000000\r\n250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"

# SMTP scenarios. Options: greeting (None = silent), drop_on (verb, or CONNECT), refuse
# {verb: reply}, reply {verb: reply instead of the usual one}, piece (bytes per write),
# extra_after_greeting (sent right after the greeting), refuse_rcpt (address fragment),
# refuse_dot, drop_after (bytes of message data), stall_in_data (stop reading after DATA),
# endless {verb} (a "250-" reply that never ends), prompt (text of an odd 334 prompt).
SMTP = {
    "ok": {},
    "silent": dict(greeting=None),
    "drop-at-connect": dict(drop_on="CONNECT"),
    "drop-at-helo": dict(drop_on="HELO"),
    "drop-at-auth": dict(drop_on="AUTH"),
    "drop-at-mail": dict(drop_on="MAIL"),
    "drop-at-quit": dict(drop_on="QUIT"),
    "greeting-554": dict(greeting="554 5.3.2 No service for you\r\n"),
    "greeting-421": dict(greeting="421 4.3.2 Try later\r\n"),
    "one-byte": dict(piece=1),
    "joined": dict(reply={"MAIL": "250 2.1.0 OK\r\n550 5.1.0 Sender refused after all\r\n"}),
    "mixed-codes": dict(reply={"MAIL": "250-2.1.0 fine\r\n550 5.1.0 but refused\r\n"}),
    "odd-prompt": dict(prompt="Who goes there?"),
    "ehlo-refused": dict(refuse={"EHLO": "502 5.5.1 EHLO not implemented"}),
    "helo-421": dict(refuse={"HELO": "421 4.3.0 Closing"}),
    "mail-421": dict(refuse={"MAIL": "421 4.3.0 Closing"}),
    "rcpt-421": dict(refuse={"RCPT": "421 4.3.0 Closing"}),
    "data-421": dict(refuse={"DATA": "421 4.3.0 Closing"}),
    "dot-421": dict(refuse_dot="421 4.3.0 Closing"),
    "refuse-mail": dict(refuse={"MAIL": "550 5.1.0 Sender refused"}),
    "refuse-rcpt": dict(refuse_rcpt="refused@"),
    "refuse-data": dict(refuse={"DATA": "554 5.5.1 No valid recipients"}),
    "refuse-dot": dict(refuse_dot="554 5.7.1 Message content refused"),
    "drop-in-data": dict(drop_after=200000),
    "prompt-after-greeting": dict(extra_after_greeting="334 %s\r\n" % B64_USER),
    "prompt-after-mail": dict(reply={"MAIL": "334 %s\r\n" % B64_USER}),
    "prompt-after-data": dict(reply={"DATA": "334 %s\r\n" % B64_USER}),
    "endless-ehlo": dict(endless={"EHLO", "HELO"}),
    "stall-in-data": dict(stall_in_data=True),
}

# POP3 scenarios: the reply to each step (greeting, USER, PASS, QUIT); None = silent.
POP3 = {
    "pop3-user-err": ["+OK ready", "-ERR no such user", "+OK", "+OK bye"],
    "pop3-pass-err": ["+OK ready", "+OK", "-ERR [AUTH] wrong password", "+OK bye"],
    "pop3-silent": [None],
    "pop3-flood": ["+OK ready\r\n+OK\r\n+OK\r\n+OK\r\n+OK", "+OK", "+OK", "+OK bye"],
}


def b64(text):
    return base64.b64encode(text.encode()).decode()


class Peer:
    def __init__(self, options, reader, writer, log_path):
        self.options = options
        self.reader = reader
        self.writer = writer
        self.log_path = log_path

    async def say(self, text):
        data = text.encode("latin-1")
        piece = self.options.get("piece", 0) if isinstance(self.options, dict) else 0
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


class SmtpConversation(Peer):
    async def run(self):
        o = self.options
        if o.get("drop_on") == "CONNECT":
            return
        greeting = o.get("greeting", "220 scripted.test ready\r\n")
        if greeting is None:
            while await self.line():
                pass
            return
        await self.say(greeting + o.get("extra_after_greeting", ""))
        while True:
            text = await self.line()
            if not text:
                return
            verb = text.strip().split(" ")[0].upper()
            if o.get("drop_on") == ("HELO" if verb in ("HELO", "EHLO") else verb):
                return
            if verb in o.get("endless", ()):
                while True:
                    await self.say("250-and more\r\n" * 100)
            if verb in o.get("reply", {}):
                await self.say(o["reply"][verb])
            elif verb in o.get("refuse", {}):
                await self.say(o["refuse"][verb] + "\r\n")
            elif verb == "RCPT" and o.get("refuse_rcpt", "\0") in text:
                await self.say("550 5.1.1 Recipient refused\r\n")
            elif verb == "DATA":
                await self.say("354 End data with <CR><LF>.<CR><LF>\r\n")
                if o.get("stall_in_data"):
                    await asyncio.sleep(3600)
                if not await self.data():
                    return
                await self.say(o.get("refuse_dot", "250 2.0.0 Queued") + "\r\n")
            elif verb == "EHLO":
                await self.say(EHLO_REPLY)
            elif verb == "HELO":
                await self.say("250 scripted.test\r\n")
            elif verb == "AUTH":
                await self.auth()
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
            await self.say("501 5.7.0 Authentication cancelled\r\n" if answer.strip() == "*"
                           else "535 5.7.8 Unexpected answer\r\n")
            return
        await self.say("334 %s\r\n" % b64("Username:"))
        await self.line()
        await self.say("334 %s\r\n" % b64("Password:"))
        await self.line()
        await self.say("235 2.7.0 Authentication successful\r\n")


class Pop3Conversation(Peer):
    async def run(self):
        for step, answer in enumerate(self.options):
            if answer is None:
                while await self.line():
                    pass
                return
            await self.say(answer + "\r\n")
            if answer.startswith("-ERR"):
                # The client should still say QUIT; answer it.
                if (await self.line()).strip().upper() == "QUIT":
                    await self.say("+OK bye\r\n")
                return
            if step == len(self.options) - 1 or not await self.line():
                return


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    # Without the POP3 scenarios nothing binds the fixed port 110, so this run can share the
    # machine with another.
    parser.add_argument("--no-pop3", action="store_true")
    args = parser.parse_args()
    servers = []
    lines = []

    def log_for(name):
        path = os.path.join(args.dir, name + ".log")
        open(path, "wb").close()
        return path

    tables = [(SMTP, SmtpConversation)] + ([] if args.no_pop3 else [(POP3, Pop3Conversation)])
    for table, kind in tables:
        for index, (name, options) in enumerate(table.items()):
            async def serve(reader, writer, options=options, log_path=log_for(name), kind=kind):
                try:
                    await kind(options, reader, writer, log_path).run()
                except (ConnectionError, asyncio.IncompleteReadError):
                    pass
                finally:
                    writer.close()

            host, port = ("127.0.0.1", 0) if kind is SmtpConversation else ("127.0.0.%d" % (index + 2), 110)
            server = await asyncio.start_server(serve, host, port)
            servers.append(server)
            lines.append("%s %s %d\n" % (name, host, server.sockets[0].getsockname()[1]))

    # An address that never answers: a listener whose accept queue is full (one connection
    # waits in it, never accepted), so the kernel drops every further SYN.
    deaf = socket.socket()
    deaf.bind(("127.0.0.1", 0))
    deaf.listen(0)
    filler = socket.create_connection(deaf.getsockname())
    lines.append("never-answers 127.0.0.1 %d\n" % deaf.getsockname()[1])

    with open(os.path.join(args.dir, "ports.tmp"), "w") as out:
        out.writelines(lines)
    os.replace(os.path.join(args.dir, "ports.tmp"), os.path.join(args.dir, "ports"))

    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    filler.close()
    deaf.close()
    for server in servers:
        server.close()


if __name__ == "__main__":
    asyncio.run(main())
