"""A TCP relay on loopback that delays every piece of data by a fixed time in each direction,
to time SMTP sessions against a server that is some way off.

Usage: /usr/bin/python3 latency_relay.py TARGET_PORT DELAY_MS PORT_FILE
Listens on a free port of 127.0.0.1 (written to PORT_FILE once it listens) and forwards to
127.0.0.1:TARGET_PORT only. Bounded: at most 8 connections at a time, at most 4 MiB held per
direction (reading pauses beyond it), and it ends by itself after 30 minutes.
"""
import asyncio
import os
import sys

MAX_CONNECTIONS = 8
MAX_HELD = 4 << 20
LIFETIME = 30 * 60


async def pump(reader, writer, delay):
    """Copies reader to writer, each piece leaving delay seconds after it arrived, in order."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()
    held = asyncio.Semaphore(MAX_HELD // 65536)

    async def deliver():
        while True:
            due, data = await queue.get()
            await asyncio.sleep(max(0.0, due - loop.time()))
            if not data:
                break
            writer.write(data)
            await writer.drain()
            held.release()
        writer.close()

    sender = asyncio.ensure_future(deliver())
    try:
        while True:
            await held.acquire()
            data = await reader.read(65536)
            queue.put_nowait((loop.time() + delay, data))
            if not data:
                break
    except ConnectionError:
        queue.put_nowait((loop.time(), b""))
    await sender


async def main():
    target, delay, port_file = int(sys.argv[1]), int(sys.argv[2]) / 1000.0, sys.argv[3]
    slots = asyncio.Semaphore(MAX_CONNECTIONS)

    async def relay(client_reader, client_writer):
        if slots.locked():
            client_writer.close()
            return
        async with slots:
            try:
                server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
                await asyncio.gather(pump(client_reader, server_writer, delay),
                                     pump(server_reader, client_writer, delay))
            except ConnectionError:
                client_writer.close()

    server = await asyncio.start_server(relay, "127.0.0.1", 0)
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % server.sockets[0].getsockname()[1])
    os.replace(port_file + ".tmp", port_file)
    await asyncio.sleep(LIFETIME)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
