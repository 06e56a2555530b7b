#!/usr/bin/env python3
"""HTTP peer for the WinHttpWrapper tests, on 127.0.0.1 only: plain HTTP, and one HTTPS port
for each --tls NAME CERT KEY. Each port is written to DIR/<name>_port once it listens
(http_port for plain HTTP).

Any path and method answers with the request body, the method in X-Echo-Method and every
request header as X-Echo-<Name>. ?status=N sets the status; ?size=N answers N bytes of a
fixed pattern that uses every byte value instead; /umlaut answers UTF-8 text with umlauts.
"""
import argparse
import http.server
import os
import ssl
import threading
import urllib.parse


class EchoHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def handle_any(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if "size" in query:
            body = bytes((i * 31 + i // 251) % 256 for i in range(int(query["size"])))
        elif url.path == "/umlaut":
            body = "Grüße aus Köln: äöü ÄÖÜ ß – €".encode("utf-8")
        self.send_response(int(query.get("status", 200)))
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("X-Echo-Method", self.command)
        for name, value in self.headers.items():
            self.send_header("X-Echo-" + name, value)
        self.end_headers()
        self.wfile.write(body)

    do_GET = do_POST = do_PUT = handle_any


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--tls", nargs=3, action="append", default=[], metavar=("NAME", "CERT", "KEY"))
    args = parser.parse_args()
    threads = []
    for name, chain in [("http", None)] + [(name, (cert, key)) for name, cert, key in args.tls]:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), EchoHandler)
        server.daemon_threads = True
        if chain:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*chain)
            server.socket = context.wrap_socket(server.socket, server_side=True)
        port_file = os.path.join(args.dir, name + "_port")
        with open(port_file + ".tmp", "w") as out:
            out.write("%d\n" % server.server_address[1])
        os.replace(port_file + ".tmp", port_file)
        threads.append(threading.Thread(target=server.serve_forever, daemon=True))
        threads[-1].start()
    for thread in threads:
        thread.join()


if __name__ == "__main__":
    main()
