"""SMTP and POP3 servers that misbehave on purpose, for the faults real servers do not produce on
demand. Usage: /usr/bin/python3 scripted_smtp.py --dir DIR   (stops on SIGTERM or SIGINT)
SMTP scenarios listen on 127.0.0.1, POP3 ones on port 110 (the client always uses it) of 127.A.B.2
and up, A.B picked at random until free, so that several runs can share the machine. DIR/ports
gets "scenario host port" lines once all listen, also for "never-answers" and "closed-port";
the bytes a scenario receives go to DIR/<scenario>.log.
"""
import argparse
import asyncio
import base64
import os
import random
import signal
import socket


def b64(text):
    return base64.b64encode(text.encode()).decode()


PROMPT = "334 %s\r\n" % b64("Username:")
EHLO_REPLY = "250-scripted.test\r\n250-SIZE 1000000\r\n250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"
USUAL = {"EHLO": EHLO_REPLY, "HELO": "250 scripted.test\r\n", "QUIT": "221 2.0.0 Bye\r\n"}
CLOSING = "421 4.3.0 Closing\r\n"

# SMTP scenarios: greeting (None: silent), drop_on (verb or CONNECT), reply {verb: reply}, piece
# (bytes per write), after_greeting, refuse_rcpt (address fragment), dot (reply to the end of
# data), drop_after (bytes of data), stall_in_data, endless {verbs} (a "250-" reply that never
# ends), prompt (text of an odd 334 prompt), pipelining (PIPELINING offered; the envelope is read
# up to DATA before any of it is answered, so a client that waits for each reply times out; DATA
# gets 554 after a refusal unless data_anyway).
SMTP = {
    "ok": {},
    "silent": dict(greeting=None),
    "drop-at-connect": dict(drop_on="CONNECT"),
    "drop-at-helo": dict(drop_on="HELO"),
    "drop-at-auth": dict(drop_on="AUTH"),
    "drop-at-quit": dict(drop_on="QUIT"),
    "greeting-554": dict(greeting="554 5.3.2 No service for you\r\n"),
    "one-byte": dict(piece=1),
    "joined": dict(reply={"MAIL": "250 2.1.0 OK\r\n550 5.1.0 Sender refused after all\r\n"}),
    "mixed-codes": dict(reply={"MAIL": "250-2.1.0 fine\r\n550 5.1.0 but refused\r\n"}),
    "odd-prompt": dict(prompt="Who goes there?"),
    "ehlo-refused": dict(reply={"EHLO": "502 5.5.1 EHLO not implemented\r\n"}),
    "helo-421": dict(reply={"HELO": CLOSING}),
    "rcpt-421": dict(reply={"RCPT": CLOSING}),
    "refuse-mail": dict(reply={"MAIL": "550 5.1.0 Sender refused\r\n"}),
    "refuse-rcpt": dict(refuse_rcpt="refused@"),
    "refuse-data": dict(reply={"DATA": "554 5.5.1 No valid recipients\r\n"}),
    "refuse-dot": dict(dot="554 5.7.1 Message content refused\r\n"),
    "drop-in-data": dict(drop_after=200000),
    "prompt-after-greeting": dict(after_greeting=PROMPT),
    "prompt-after-mail": dict(reply={"MAIL": PROMPT}),
    "prompt-after-data": dict(reply={"DATA": PROMPT}),
    "endless-ehlo": dict(endless={"EHLO", "HELO"}),
    "stall-in-data": dict(stall_in_data=True),
    "pipe-ok": dict(pipelining=True),
    "pipe-refuse-mail": dict(pipelining=True, reply={"MAIL": "550 5.1.0 Sender refused\r\n"}),
    "pipe-refuse-rcpt": dict(pipelining=True, refuse_rcpt="refused@"),
    "pipe-rcpt-421": dict(pipelining=True, reply={"RCPT": CLOSING}),
    "pipe-data-anyway": dict(pipelining=True, refuse_rcpt="refused@", data_anyway=True),
}
PIPELINING_EHLO = EHLO_REPLY.replace("250 HELP", "250-PIPELINING\r\n250 HELP")

# POP3 scenarios: the reply to each step (greeting, USER, PASS, QUIT); None = silent.
POP3 = {
    "pop3-user-err": ["+OK ready", "-ERR no such user", "+OK", "+OK bye"],
    "pop3-pass-err": ["+OK ready", "+OK", "-ERR [AUTH] wrong password", "+OK bye"],
    "pop3-silent": [None],
    "pop3-flood": ["+OK ready\r\n+OK\r\n+OK\r\n+OK\r\n+OK", "+OK", "+OK", "+OK bye"],
}


class Peer:
    def __init__(self, options, reader, writer, log_path):
        self.o, self.reader, self.writer, self.log_path = options, reader, writer, log_path

    async def say(self, text):
        data = text.encode("latin-1")
        piece = self.o.get("piece", len(data)) if isinstance(self.o, dict) else len(data)
        for at in range(0, len(data), max(piece, 1)):
            self.writer.write(data[at:at + piece])
            await self.writer.drain()
            await asyncio.sleep(0.002 if piece < len(data) else 0)

    async def line(self):
        data = await self.reader.readline()
        with open(self.log_path, "ab") as log:
            log.write(data)
        return data.decode("latin-1")

    async def drain_silently(self):
        while await self.line():
            pass


class SmtpConversation(Peer):
    async def run(self):
        o = self.o
        if o.get("drop_on") == "CONNECT":
            return
        greeting = o.get("greeting", "220 scripted.test ready\r\n")
        if greeting is None:
            return await self.drain_silently()
        await self.say(greeting + o.get("after_greeting", ""))
        while True:
            text = await self.line()
            verb = text.strip().split(" ")[0].upper()
            if not text or o.get("drop_on") == ("HELO" if verb == "EHLO" else verb):
                return
            while verb in o.get("endless", ()):
                await self.say("250-and more\r\n" * 100)
            if verb == "EHLO" and o.get("pipelining"):
                await self.say(PIPELINING_EHLO)
            elif verb == "MAIL" and o.get("pipelining"):
                if not await self.envelope(text):
                    return
            elif verb in o.get("reply", {}):
                await self.say(o["reply"][verb])
            elif verb == "RCPT" and o.get("refuse_rcpt", "\0") in text:
                await self.say("550 5.1.1 Recipient refused\r\n")
            elif verb == "DATA":
                if not await self.message(""):
                    return
            elif verb == "AUTH":
                await self.auth()
            else:
                await self.say(USUAL.get(verb, "250 OK\r\n"))
                if verb == "QUIT":
                    return

    async def message(self, replies_before):
        """Answers DATA and takes the message; False when the line was dropped."""
        await self.say(replies_before + "354 End data with <CR><LF>.<CR><LF>\r\n")
        if self.o.get("stall_in_data"):
            await asyncio.sleep(3600)
        if not await self.data():
            return False
        await self.say(self.o.get("dot", "250 2.0.0 Queued\r\n"))
        return True

    async def envelope(self, text):
        """Reads the envelope up to DATA, then answers it in one write (nothing after a 421)."""
        commands, replies, refused = [text], "", False
        while commands[-1].strip().upper() != "DATA":
            commands.append(await self.line())
            if not commands[-1]:
                return False
        for command in commands[:-1]:
            verb = command.split(" ")[0].upper()
            reply = self.o.get("reply", {}).get(verb, "250 OK\r\n")
            if verb == "RCPT" and self.o.get("refuse_rcpt", "\0") in command:
                reply = "550 5.1.1 Recipient refused\r\n"
            replies, refused = replies + reply, refused or not reply.startswith("250")
            if reply == CLOSING:
                return await self.say(replies) or True
        if refused and not self.o.get("data_anyway"):
            return await self.say(replies + "554 5.5.1 No valid recipients\r\n") or True
        return await self.message(replies)

    async def data(self):
        """Reads message lines up to the lone "."; False when the line was dropped."""
        taken = 0
        while True:
            text = await self.line()
            taken += len(text)
            if not text or taken >= self.o.get("drop_after", float("inf")):
                return False
            if text == ".\r\n":
                return True

    async def auth(self):
        prompt = self.o.get("prompt")
        if prompt:
            await self.say("334 %s\r\n" % b64(prompt))
            answer = await self.line()
            if answer.strip() == "":
                answer = await self.line()
            return await self.say("501 5.7.0 Authentication cancelled\r\n" if answer.strip() == "*"
                                  else "535 5.7.8 Unexpected answer\r\n")
        for question in ("Username:", "Password:"):
            await self.say("334 %s\r\n" % b64(question))
            await self.line()
        await self.say("235 2.7.0 Authentication successful\r\n")


class Pop3Conversation(Peer):
    async def run(self):
        for step, answer in enumerate(self.o):
            if answer is None:
                return await self.drain_silently()
            await self.say(answer + "\r\n")
            if answer.startswith("-ERR"):  # the client should still say QUIT; answer it
                if (await self.line()).strip().upper() == "QUIT":
                    await self.say("+OK bye\r\n")
                return
            if step == len(self.o) - 1 or not await self.line():
                return


async def listen(table, kind, directory, address_of):
    servers, lines = [], []
    for index, (name, options) in enumerate(table.items()):
        log_path = os.path.join(directory, name + ".log")
        open(log_path, "wb").close()

        async def serve(reader, writer, options=options, log_path=log_path):
            try:
                await kind(options, reader, writer, log_path).run()
            except (ConnectionError, asyncio.IncompleteReadError):
                pass
            finally:
                writer.close()

        try:
            servers.append(await asyncio.start_server(serve, *address_of(index)))
        except OSError:
            for server in servers:
                server.close()
            raise
        lines.append("%s %s %d\n" % ((name,) + servers[-1].sockets[0].getsockname()))
    return servers, lines


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    servers, lines = await listen(SMTP, SmtpConversation, args.dir, lambda index: ("127.0.0.1", 0))
    for attempt in range(50):
        base = "127.%d.%d." % (random.randint(1, 254), random.randint(0, 255))
        try:
            pop3 = await listen(POP3, Pop3Conversation, args.dir, lambda index: (base + str(index + 2), 110))
            break
        except OSError:
            if attempt == 49:
                raise
    servers, lines = servers + pop3[0], lines + pop3[1]
    # An address that never answers: a listener whose accept queue is full (one connection
    # waits in it, never accepted), so the kernel drops every further SYN.
    deaf = socket.socket()
    deaf.bind(("127.0.0.1", 0))
    deaf.listen(0)
    filler = socket.create_connection(deaf.getsockname())
    lines.append("never-answers 127.0.0.1 %d\n" % deaf.getsockname()[1])
    with socket.socket() as closed:  # a port nobody listens on
        closed.bind(("127.0.0.1", 0))
        lines.append("closed-port 127.0.0.1 %d\n" % closed.getsockname()[1])
    with open(os.path.join(args.dir, "ports.tmp"), "w") as out:
        out.writelines(lines)
    os.replace(os.path.join(args.dir, "ports.tmp"), os.path.join(args.dir, "ports"))
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, stop.set)
    await stop.wait()
    filler.close()
    deaf.close()
    for server in servers:
        server.close()


if __name__ == "__main__":
    asyncio.run(main())
