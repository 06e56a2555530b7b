#!/usr/bin/env python3
"""HTTP proxy on 127.0.0.1 asking for Basic proxy credentials: http_proxy.py DIR USER:PASSWORD.
Writes its port to DIR/proxy_port. Answers 407 without the credentials; with them, forwards the
absolute-form request to its origin and adds "Via: 1.1 zankit-proxy" to the answer."""
import base64, http.client, http.server, os, sys, urllib.parse


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    expected = ""

    def forward(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        if self.headers.get("Proxy-Authorization") != self.expected:
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="zankit-proxy"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        target = urllib.parse.urlsplit(self.path)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ("proxy-authorization", "connection")}
        origin = http.client.HTTPConnection(target.hostname, target.port, timeout=30)
        origin.request(self.command, target.path + "?" + target.query, body, headers)
        answer = origin.getresponse()
        payload = answer.read()
        origin.close()
        self.send_response(answer.status, answer.reason)
        for name, value in answer.getheaders():
            if name.lower() not in ("content-length", "transfer-encoding", "connection"):
                self.send_header(name, value)
        self.send_header("Via", "1.1 zankit-proxy")
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    do_GET = do_POST = forward


def main(folder, credentials):
    ProxyHandler.expected = "Basic " + base64.b64encode(credentials.encode()).decode()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), ProxyHandler)
    with open(os.path.join(folder, "proxy_port.tmp"), "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(os.path.join(folder, "proxy_port.tmp"), os.path.join(folder, "proxy_port"))
    server.serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:])
