#!/usr/bin/env python3
"""Forwarding HTTP proxy on 127.0.0.1 that requires Basic proxy authentication:
http_proxy.py DIR USER:PASSWORD. Writes its port to DIR/proxy_port once it listens. Without the
right Proxy-Authorization it answers 407; with it, it forwards absolute-form requests to their
origin (adding "Via: 1.1 zankit-proxy" to the answer) and tunnels CONNECT.
"""
import base64
import http.client
import http.server
import os
import select
import socket
import sys
import urllib.parse

VIA = "1.1 zankit-proxy"


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    expected = ""  # "Basic <base64 of USER:PASSWORD>"

    def authorised(self):
        if self.headers.get("Proxy-Authorization") == self.expected:
            return True
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        self.send_response(407)
        self.send_header("Proxy-Authenticate", 'Basic realm="zankit-proxy"')
        self.send_header("Content-Length", "0")
        self.end_headers()
        return False

    def forward(self):
        if not self.authorised():
            return
        target = urllib.parse.urlsplit(self.path)
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        headers = {name: value for name, value in self.headers.items()
                   if name.lower() not in ("proxy-authorization", "proxy-connection", "connection")}
        origin = http.client.HTTPConnection(target.hostname, target.port or 80, timeout=30)
        try:
            origin.request(self.command, target.path + ("?" + target.query if target.query else ""), body, headers)
            answer = origin.getresponse()
            payload = answer.read()
        finally:
            origin.close()
        self.send_response(answer.status, answer.reason)
        for name, value in answer.getheaders():
            if name.lower() not in ("content-length", "transfer-encoding", "connection"):
                self.send_header(name, value)
        self.send_header("Via", VIA)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def do_CONNECT(self):
        if not self.authorised():
            return
        host, _, port = self.path.rpartition(":")
        with socket.create_connection((host, int(port)), timeout=30) as origin:
            self.send_response(200, "Connection established")
            self.send_header("Via", VIA)
            self.end_headers()
            self.wfile.flush()
            sockets = [self.connection, origin]
            while True:
                readable, _, _ = select.select(sockets, [], [], 30)
                if not readable:
                    break
                for source in readable:
                    data = source.recv(65536)
                    if not data:
                        self.close_connection = True
                        return
                    (origin if source is self.connection else self.connection).sendall(data)
        self.close_connection = True

    do_GET = do_POST = do_PUT = do_HEAD = forward


def main(folder, credentials):
    ProxyHandler.expected = "Basic " + base64.b64encode(credentials.encode()).decode()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), ProxyHandler)
    port_file = os.path.join(folder, "proxy_port")
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:])
