"""A name server that misbehaves on purpose, for the MX query tests: the first label of the asked
domain names what it does. Before the genuine answer (MX 10 good.<domain>), "other-address" and
"other-port" send a forged one from ADDRESS+1:53 or ADDRESS:5353, "other-id" one with another
id, "echo" the query itself; "silent" never answers; ANSWERS holds unusual and hostile replies.
Usage: /usr/bin/python3 forging_dns.py ADDRESS   (listens on ADDRESS:53 until killed)
"""
import ipaddress
import socket
import struct
import sys

QUESTION = b"\xc0\x0c"  # a pointer to the question's name


def label(text):
    return bytes([len(text)]) + text


def pointer(offset):
    return struct.pack(">H", 0xC000 | offset)


class Reply:
    def __init__(self, query):
        end = 12
        while query[end]:
            end += query[end] + 1
        self.name = query[12:end + 1]
        self.bytes = bytearray(query[:2] + b"\x81\x80\x00\x01\x00\x00\x00\x00\x00\x00" + query[12:end + 5])

    def add(self, owner, rtype, data, length=None):
        self.bytes[7] += 1
        self.bytes += owner + struct.pack(">HHIH", rtype, 1, 3600, len(data) if length is None else length) + data
        return self

    def mx(self, preference, exchanger):
        return self.add(QUESTION, 15, struct.pack(">H", preference) + exchanger)


def mixed(r):
    # CNAME, a long TXT, an A record and a type that only ends in 15 before the MX record,
    # whose names point beyond offset 255: mx.real.<domain>
    r.add(QUESTION, 5, label(b"real") + QUESTION).add(QUESTION, 16, b"x" * 300)
    far = len(r.bytes)
    r.add(label(b"real") + QUESTION, 1, bytes([192, 0, 2, 1])).add(pointer(far), 0x010F, b"\x00\x01" + label(b"no") + b"\0")
    return r.add(pointer(far), 15, b"\x00\x0a" + label(b"mx") + pointer(far))


ANSWERS = {
    b"equal": lambda r: r.mx(10, label(b"first") + QUESTION).mx(10, label(b"second") + QUESTION).mx(30, b"\0"),
    # the root name and a blank name are no exchangers: real.<domain>
    b"root": lambda r: r.mx(0, b"\0").mx(1, b"\x02  \x00").mx(50, label(b"real") + QUESTION),
    b"full": lambda r: r.add(r.name, 15, b"\x00\x1e" + label(b"mx30") + r.name).add(
        r.name, 15, b"\x00\x0a" + label(b"mx10") + r.name),
    # an exchanger that points at itself ends the walk: good.<domain>
    b"loop": lambda r: r.mx(20, label(b"good") + QUESTION).mx(10, pointer(len(r.bytes) + 14)).mx(5, label(b"z") + QUESTION),
    # a record whose data runs beyond the reply ends the walk: good.<domain>
    b"overrun": lambda r: r.mx(20, label(b"good") + QUESTION).add(QUESTION, 15, b"\x00\x0a" + QUESTION, 0x4000),
    b"mixed": mixed,
}


def main():
    address = ipaddress.ip_address(sys.argv[1])
    server, other_address, other_port = (socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(3))
    server.bind((str(address), 53))
    other_address.bind((str(address + 1), 53))
    other_port.bind((str(address), 5353))
    while True:
        query, client = server.recvfrom(512)
        behaviour = query[13:13 + query[12]]
        if behaviour in ANSWERS:
            server.sendto(bytes(ANSWERS[behaviour](Reply(query)).bytes), client)
            continue
        forged = bytes(Reply(query).mx(10, label(b"evil") + QUESTION).bytes)
        first = {b"other-address": (other_address, forged), b"other-port": (other_port, forged),
                 b"other-id": (server, bytes([query[0], query[1] ^ 1]) + forged[2:]), b"echo": (server, query)}
        if behaviour in first:
            first[behaviour][0].sendto(first[behaviour][1], client)
        if behaviour != b"silent":
            server.sendto(bytes(Reply(query).mx(10, label(b"good") + QUESTION).bytes), client)


if __name__ == "__main__":
    main()
