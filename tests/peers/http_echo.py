#!/usr/bin/env python3
"""HTTP peer for the WinHttpWrapper tests, on 127.0.0.1 only.

Serves plain HTTP, and HTTPS on one more port for each --tls NAME CERT KEY. Writes each
port to DIR/<name>_port once it listens (http_port for plain HTTP).

Paths:
  /echo            any method: answers 200 with the request body as the response body, the
                   method in X-Echo-Method and every request header as X-Echo-<Name>
  /umlaut          UTF-8 text with umlauts (charset=utf-8)
  /binary?size=N   N bytes of a fixed pattern that uses every byte value
  /status/N        status N with the standard reason phrase and a short text body
"""
import argparse
import http.server
import os
import ssl
import sys
import threading
import urllib.parse

UMLAUT_TEXT = "Grüße aus Köln: äöü ÄÖÜ ß – €"


def pattern(size):
    return bytes((i * 31 + i // 251) % 256 for i in range(size))


class EchoHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def answer(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def handle_any(self):
        body = self.read_body()
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/echo":
            headers = [("X-Echo-Method", self.command), ("Content-Type", "application/octet-stream")]
            headers += [("X-Echo-" + name, value) for name, value in self.headers.items()]
            self.answer(200, body, headers)
        elif url.path == "/umlaut":
            self.answer(200, UMLAUT_TEXT.encode("utf-8"), [("Content-Type", "text/plain; charset=utf-8")])
        elif url.path == "/binary":
            size = int(urllib.parse.parse_qs(url.query).get("size", ["0"])[0])
            self.answer(200, pattern(size), [("Content-Type", "application/octet-stream")])
        elif url.path.startswith("/status/"):
            status = int(url.path[len("/status/"):])
            self.answer(status, b"status page", [("Content-Type", "text/plain")])
        else:
            self.answer(404, b"no such page", [("Content-Type", "text/plain")])

    do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = do_HEAD = handle_any


def serve(directory, name, context=None):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), EchoHandler)
    server.daemon_threads = True
    if context is not None:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    port_file = os.path.join(directory, name + "_port")
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(port_file + ".tmp", port_file)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return thread


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--tls", nargs=3, action="append", default=[], metavar=("NAME", "CERT", "KEY"),
                        help="an HTTPS port named NAME with this certificate (PEM) and key")
    args = parser.parse_args()
    threads = [serve(args.dir, "http")]
    for name, cert, key in args.tls:
        threads.append(serve(args.dir, name, tls_context(cert, key)))
    try:
        for thread in threads:
            thread.join()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
