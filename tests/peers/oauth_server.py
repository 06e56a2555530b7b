#!/usr/bin/env python3
"""An OAuth 2.0 authorization server over HTTPS on 127.0.0.1.
Usage: oauth_server.py DIR CERT KEY MAILBOX SECRET   (stops on SIGTERM)

/devicecode (device authorization), /token (grants refresh_token, client_credentials, device_code,
authorization_code with an S256-checked code_verifier) and /authorize (a 302 to redirect_uri with
code and state, or error=access_denied). Every token is issued for MAILBOX; SECRET is the client
secret of confidential clients, checked whenever a client sends one and required for
client_credentials. POSTs must be forms and accept JSON (else 400 invalid_request / 406).
What the server does differently is chosen by the client_id "SCENARIO[.ANYTHING]", one row of
SCENARIOS each; a test gives each of its clients a suffix of its own, as "first token" counts per
client_id.
DIR/port gets the port once it listens; DIR/tokens one JSON line per issued access token
(token, user, client, expires as Unix time, revoked) for the SMTP sink; DIR/requests.log one
line per request: "METHOD PATH GRANT_TYPE CLIENT_ID secret|-" ("-" for a field that did not come)."""
import base64, hashlib, http.server, json, os, secrets, signal, ssl, sys, threading, time, urllib.parse

JSON = "application/json"
SCENARIOS = {
    "ok": {},
    "pending": {"pending": 3},  # three polls answer authorization_pending
    "slow-down": {"slow_down": 1},
    "never-approved": {"pending": 10**9, "device_expires_in": 3},
    "expired-token": {"poll_error": "expired_token"},
    "access-denied": {"poll_error": "access_denied", "authorize_error": "access_denied"},
    "invalid-grant": {"refresh_error": "invalid_grant"},  # refresh tokens are refused
    "invalid-client": {"answer": (401, JSON, b'{"error":"invalid_client",'
                                             b'"error_description":"Client authentication failed"}')},
    "malformed-json": {"answer": (200, JSON, b'{"access_token":"at-cut","expires_in":')},
    "huge": {"answer": (200, JSON, b'{"access_token":"' + b"a" * (10 << 20) + b'"}')},
    "html": {"answer": (200, "text/html", b"<html><body>Sign in first</body></html>")},
    "http-500": {"answer": (500, "text/plain", b"Internal Server Error")},
    "state-mismatch": {"state": "forged-state"},  # the redirect carries another state
    "verifier-mismatch": {"challenge": "another-challenge"},  # stored instead of the client's
    "short-lived": {"first_expires_in": 30},  # the first token runs out in 30 s
    "revoked-first": {"first_revoked": True},  # the SMTP sink refuses the first token
    "no-expiry": {"expires_in": None},  # answers carry no expires_in
    "google-names": {"uri_field": "verification_url"},
}

server_args = {}  # dir, mailbox and secret from the command line
lock = threading.Lock()
issued = {}  # client_id -> number of access tokens issued
refresh_tokens, device_codes, codes = {}, {}, {}


def scenario(client_id):
    return SCENARIOS.get(client_id.split(".")[0])


def b64url_sha256(text):
    return base64.urlsafe_b64encode(hashlib.sha256(text.encode()).digest()).rstrip(b"=").decode()


class OAuthHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *_):
        pass

    def answer(self, status, content_type, body, location=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        if location:
            self.send_header("Location", location)
        self.end_headers()
        try:
            self.wfile.write(body)
        except OSError:  # a client that stops reading a large answer
            pass

    def json(self, value, status=200):
        self.answer(status, JSON, json.dumps(value).encode())

    def error(self, code, description=None, status=400):
        self.json({"error": code, **({"error_description": description} if description else {})}, status)

    def issue(self, client, row, refresh=True):
        with lock:
            issued[client] = number = issued.get(client, 0) + 1
        expires_in = row.get("first_expires_in", 3600) if number == 1 else 3600
        expires_in = row.get("expires_in", expires_in)
        token = "at-%s-%d-%s" % (client, number, secrets.token_urlsafe(12))
        revoked = number == 1 and row.get("first_revoked", False)
        record = dict(token=token, user=server_args["mailbox"], client=client,
                      expires=time.time() + (expires_in or 3600), revoked=revoked)
        with open(os.path.join(server_args["dir"], "tokens"), "a") as out:
            out.write(json.dumps(record) + "\n")
        body = {"access_token": token, "token_type": "Bearer", "scope": "mail"}
        if expires_in:
            body["expires_in"] = expires_in
        if refresh:
            body["refresh_token"] = "rt-%s-%d-%s" % (client, number, secrets.token_urlsafe(12))
            with lock:
                refresh_tokens[body["refresh_token"]] = client
        self.json(body)

    def do_GET(self):
        target = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(target.query))
        self.note(target.path, query)
        row = scenario(query.get("client_id", ""))
        redirect = query.get("redirect_uri", "")
        if target.path != "/authorize":
            return self.answer(404, "text/plain", b"not found")
        if row is None or not redirect.startswith("http://127.0.0.1:") or query.get("response_type") != "code" \
                or query.get("code_challenge_method") != "S256" or not query.get("code_challenge"):
            return self.answer(400, "text/plain", b"bad authorization request")
        if "authorize_error" in row:
            reply = {"error": row["authorize_error"], "state": query.get("state", "")}
        else:
            code = secrets.token_urlsafe(16)
            with lock:
                codes[code] = (query["client_id"], row.get("challenge", query["code_challenge"]), redirect)
            reply = {"code": code, "state": row.get("state", query.get("state", ""))}
        location = redirect + ("&" if "?" in redirect else "?") + urllib.parse.urlencode(reply)
        self.answer(302, "text/plain", b"", location)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        form = dict(urllib.parse.parse_qsl(body.decode("utf-8", "replace")))
        self.note(self.path, form)
        if self.headers.get("Content-Type", "").split(";")[0].strip() != "application/x-www-form-urlencoded":
            return self.error("invalid_request", "The body must be a form")
        if JSON not in self.headers.get("Accept", ""):
            return self.answer(406, "text/plain", b"Only JSON answers are made")
        client = form.get("client_id", "")
        row = scenario(client)
        if row is None:
            return self.error("invalid_client", "Unknown client", 401)
        if "client_secret" in form and form["client_secret"] != server_args["secret"]:
            return self.error("invalid_client", "Client authentication failed", 401)
        if self.path == "/devicecode":
            return self.device_authorization(client, row)
        if self.path != "/token":
            return self.answer(404, "text/plain", b"not found")
        if "answer" in row:
            return self.answer(*row["answer"])
        grant = form.get("grant_type")
        if grant == "refresh_token":
            if "refresh_error" in row or refresh_tokens.get(form.get("refresh_token")) != client:
                return self.error(row.get("refresh_error", "invalid_grant"), "The refresh token is not valid")
            return self.issue(client, row)
        if grant == "client_credentials":
            if "client_secret" not in form:
                return self.error("invalid_client", "Client authentication failed", 401)
            return self.issue(client, row, refresh=False)
        if grant == "urn:ietf:params:oauth:grant-type:device_code":
            return self.device_poll(client, row, form.get("device_code"))
        if grant == "authorization_code":
            with lock:
                expected = codes.pop(form.get("code"), None)
            verifier = form.get("code_verifier", "")
            if expected != (client, b64url_sha256(verifier), form.get("redirect_uri")):
                return self.error("invalid_grant", "The code or its verifier does not match")
            return self.issue(client, row)
        return self.error("unsupported_grant_type")

    def device_authorization(self, client, row):
        code = secrets.token_urlsafe(16)
        user_code = "ZK-%04d" % secrets.randbelow(10000)
        with lock:
            device_codes[code] = dict(client=client, polls=0, interval=1, last=0.0)
        uri = "https://127.0.0.1:%d/device" % self.server.server_address[1]
        self.json({"device_code": code, "user_code": user_code, row.get("uri_field", "verification_uri"): uri,
                   "expires_in": row.get("device_expires_in", 60), "interval": 1,
                   "message": "Enter %s at %s" % (user_code, uri)})

    def device_poll(self, client, row, code):
        with lock:
            state = device_codes.get(code)
            if state is None or state["client"] != client:
                return self.error("invalid_grant", "Unknown device code")
            # A poll sooner than the interval allows is told to slow down, as the protocol asks.
            early = time.monotonic() - state["last"] < state["interval"] - 0.2
            state["polls"] += 1
            state["last"] = time.monotonic()
            polls = state["polls"]
            if early or polls <= row.get("slow_down", 0):
                state["interval"] += 5
                return self.error("slow_down")
        if "poll_error" in row:
            return self.error(row["poll_error"], "The sign-in was not completed")
        if polls <= row.get("pending", 0) + row.get("slow_down", 0):
            return self.error("authorization_pending")
        with lock:
            device_codes.pop(code, None)
        return self.issue(client, row)

    def note(self, path, fields):
        with open(os.path.join(server_args["dir"], "requests.log"), "a") as out:
            secret = "secret" if "client_secret" in fields else "-"
            out.write("%s %s %s %s %s\n" % (self.command, path, fields.get("grant_type", "-"),
                                             fields.get("client_id", "-"), secret))


def main(folder, cert, key, mailbox, secret):
    server_args.update(dir=folder, mailbox=mailbox, secret=secret)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), OAuthHandler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    open(os.path.join(folder, "tokens"), "w").close()
    with open(os.path.join(folder, "port.tmp"), "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    server.serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:])
