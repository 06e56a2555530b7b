#!/usr/bin/env python3
"""HTTP peer on 127.0.0.1: http_echo.py DIR [NAME CERT KEY]... Plain HTTP and one HTTPS port per NAME,
each written to DIR/<name>_port once it listens (http_port for HTTP). Answers with the request body,
the method in X-Echo-Method and each request header as X-Echo-<Name>. Query: status=N, location=URL,
type=CONTENT-TYPE ("" for none), wait=MS before answering, text=T sent in enc=CODEC instead of the body.
/auth answers 401 unless the request has Basic credentials equal to user=U and password=P."""
import base64
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse


class EchoHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def handle_any(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        target = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(target.query, keep_blank_values=True))
        time.sleep(int(query.get("wait", 0)) / 1000)
        body = query["text"].encode(query.get("enc", "utf-8")) if "text" in query else body
        login = base64.b64encode(("%s:%s" % (query.get("user"), query.get("password"))).encode()).decode()
        denied = target.path == "/auth" and self.headers.get("Authorization") != "Basic " + login
        self.send_response(401 if denied else int(query.get("status", 200)))
        if denied:
            self.send_header("WWW-Authenticate", 'Basic realm="zankit"')
        if "location" in query:
            self.send_header("Location", query["location"])
        if query.get("type", "text/plain; charset=utf-8"):
            self.send_header("Content-Type", query.get("type", "text/plain; charset=utf-8"))
        self.send_header("Content-Length", str(len(body)))
        self.send_header("X-Echo-Method", self.command)
        for name, value in self.headers.items():
            self.send_header("X-Echo-" + name, value)
        self.end_headers()
        self.wfile.write(body)

    do_GET = do_POST = do_PUT = handle_any


def main(folder, *tls):
    for name, chain in [("http", None)] + [(tls[i], tls[i + 1:i + 3]) for i in range(0, len(tls), 3)]:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), EchoHandler)
        if chain:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*chain)
            server.socket = context.wrap_socket(server.socket, server_side=True)
        port_file = os.path.join(folder, name + "_port")
        with open(port_file + ".tmp", "w") as out:
            out.write("%d\n" % server.server_address[1])
        os.replace(port_file + ".tmp", port_file)
        threading.Thread(target=server.serve_forever).start()


if __name__ == "__main__":
    main(*sys.argv[1:])
