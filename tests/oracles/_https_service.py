"""A local HTTPS service for the network client's tests (127.0.0.1 only).

It makes a throw-away CA and a certificate for 127.0.0.1 with openssl, serves
HTTPS with http.server and ssl, records every request (method, path, headers,
body) and answers from a script: a table of path -> answer, where an answer is
a dict with "status", "body" (bytes or str), "headers", and optionally
"delay" (seconds before answering), "cut" (send only that many bytes of the
body after announcing all of it), "close" (close without reading the body) or
"nolength" (announce no size: the body ends when the connection closes).
A plain-HTTP listener records what reaches it, for the redirect test.
"""
import http.server
import os
import socket
import ssl
import subprocess
import tempfile
import threading
import time


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_ca(folder, name):
    _openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", f"{name}-ca.key", "-out", f"{name}-ca.pem", "-days", "2", "-subj", f"/CN={name} test CA",
             "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
             cwd=folder)
    with open(os.path.join(folder, f"{name}-ext.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    _openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", f"{name}.key", "-out", f"{name}.csr", "-subj", "/CN=127.0.0.1", cwd=folder)
    _openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{name}-ca.pem", "-CAkey", f"{name}-ca.key",
             "-CAcreateserial", "-out", f"{name}.pem", "-days", "2", "-extfile", f"{name}-ext.cnf", cwd=folder)
    return (os.path.join(folder, f"{name}-ca.pem"), os.path.join(folder, f"{name}.pem"),
            os.path.join(folder, f"{name}.key"))


class Request:
    def __init__(self, method, path, headers, body):
        self.method, self.path, self.headers, self.body = method, path, headers, body

    def header(self, name):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def _handler(service):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def _serve(self):
            answer = service.script.get(self.path.split("?")[0], {"status": 404, "body": "<html>no page</html>",
                                                                  "headers": {"Content-Type": "text/html"}})
            if callable(answer):
                answer = answer()
            headers = list(self.headers.items())
            if answer.get("close"):
                service._record(Request(self.command, self.path, headers, None))
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            length = int(self.headers.get("Content-Length") or 0)
            body = b""
            while len(body) < length:
                chunk = self.rfile.read(min(1 << 20, length - len(body)))
                if not chunk:
                    break
                body += chunk
            service._record(Request(self.command, self.path, headers, body))
            if answer.get("delay"):
                time.sleep(answer["delay"])
            payload = answer.get("body", b"")
            if isinstance(payload, str):
                payload = payload.encode()
            self.send_response(answer.get("status", 200))
            for k, v in answer.get("headers", {}).items():
                self.send_header(k, v)
            if not answer.get("nolength"):
                self.send_header("Content-Length", str(len(payload)))
            self.send_header("Connection", "close")
            self.end_headers()
            cut = answer.get("cut")
            try:
                self.wfile.write(payload if cut is None else payload[:cut])
                self.wfile.flush()
            except OSError:
                pass
            self.close_connection = True

        do_GET = _serve
        do_POST = _serve

    return Handler


class Service:
    """HTTPS on 127.0.0.1 with a certificate of `name`'s CA."""

    def __init__(self, folder, cert, key, tls=True):
        self.script = {}
        self.requests = []
        self._lock = threading.Lock()
        self.server = _Server(("127.0.0.1", 0), _handler(self))
        if tls:
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(cert, key)
            self.server.socket = ctx.wrap_socket(self.server.socket, server_side=True)
        self.port = self.server.server_address[1]
        self.base = f"{'https' if tls else 'http'}://127.0.0.1:{self.port}"
        self._thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self._thread.start()

    def _record(self, request):
        with self._lock:
            self.requests.append(request)

    def take(self):
        with self._lock:
            out, self.requests = self.requests, []
        return out

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def client_env(folder, ca_bundle):
    """The environment for programs that run curl against the service: its CA
    trusted, no proxy, and a home without a curl configuration."""
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    env["CURL_CA_BUNDLE"] = ca_bundle
    env["HOME"] = folder
    env.pop("CURL_HOME", None)
    env["NO_PROXY"] = "*"
    return env


# ---------------------------------------------------------------------------
# Functional mode: a small stand-in for the real web service, run as a child
# process by the tests (see _service_fixture.py and tests/net/service_helpers):
#
#     /usr/bin/python3 _https_service.py functional FOLDER
#
# makes a CA in FOLDER ("main-ca.pem" is the bundle clients trust), serves
# HTTPS on 127.0.0.1 at a free port and prints "ready PORT". It keeps users
# (password, verified flag, TOTP secret), their tokens and a budget each, and
# answers the account calls under /api/v1/. Calls under /_test/ steer it; the
# program never makes them:
#   user {email, password, verified, totp, first_name, last_name} -> {id, user}
#   verify {email, verified?}; revoke {email} ends the user's tokens
#   budget {user_id} -> {budget, etag}; state -> {users, tokens}
#   log {clear?} -> {requests: [{method, path, body}]} (body parsed when JSON)
#   fault {path, times?, status+json | status+html | notjson | delay | stall |
#          close: "before"/"after" | cut}: the next calls of that path (below
#          /api/v1/) fail that way; faults {} drops every rule
#   stalled -> {count}; release -> lets every stalled call go on
#   update {key, version, files: [{file, os, arch, kind, data (base64) | path}],
#           notes_url?, manifest_version?, bad_signature?, wrong_size?,
#           wrong_hash?}: what GET /app/update.json offers, its manifest
#           signed with the Ed25519 key file `key` (openssl pkeyutl -rawin),
#           the packages served under /app/pkg/. Fault rules apply to
#           "app/update.json" and "app/pkg/FILE" too, plus {redirect: URL}.
# Each request is logged to stderr (method, path, status), never its body.
#
# "sync" keeps each user's budget in the data.json form and applies the ops
# in order: create and update put the record under its resolved id, delete
# removes it, prefs replaces the user's settings. Per token it remembers the
# id it gave each local (negative) id, so a batch sent again after a lost
# reply creates nothing twice, and ids in ops and their data resolve through
# it. An account or category created under a name the budget has (trimmed)
# maps to that record. The reply holds "mapping" per entity and the etag
# (SHA-256 of the canonical budget); "unchanged" when the client's etag
# matched before the ops, else the budget as "snapshot".

import base64  # noqa: E402
import hashlib  # noqa: E402
import hmac  # noqa: E402
import json  # noqa: E402
import secrets  # noqa: E402
import signal  # noqa: E402
import struct  # noqa: E402
import sys  # noqa: E402


def totp_code(secret_b32, at=None, step=30, digits=6):
    """RFC 6238 with HMAC-SHA1, the form authenticator apps use."""
    key = base64.b32decode(secret_b32.upper() + "=" * (-len(secret_b32) % 8))
    counter = int((time.time() if at is None else at) // step)
    mac = hmac.new(key, struct.pack(">Q", counter), hashlib.sha1).digest()
    offset = mac[-1] & 15
    value = (struct.unpack(">I", mac[offset:offset + 4])[0] & 0x7FFFFFFF) % (10 ** digits)
    return str(value).zfill(digits)


# The budget's record lists by the journal's entity names.
_LISTS = {"transaction": "transactions", "adjustment": "transaction_adjustments",
          "anchor": "running_total_adjustments", "account": "accounts", "category": "categories"}


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def budget_etag(budget):
    canonical = json.dumps(budget, sort_keys=True, separators=(",", ":"), ensure_ascii=False)
    return hashlib.sha256(canonical.encode()).hexdigest()


class Functional:
    def __init__(self):
        self.lock = threading.Condition()
        self.users = {}
        self.next_id = 41
        self.tokens = {}
        self.budgets = {}
        self.log = []
        self.faults = {}
        self.stall_generation = 0
        self.stalled = 0
        self.update = None
        self.local_ids = {}  # token -> {(entity, local id): server id}
        self.next_record = 1000

    # --- users -------------------------------------------------------------
    def user_json(self, u):
        name = " ".join(x for x in (u["first_name"], u["last_name"]) if x)
        return {"id": u["id"], "email": u["email"], "first_name": u["first_name"], "last_name": u["last_name"],
                "display_name": name, "is_verified": u["verified"], "two_factor_enabled": bool(u["totp"]),
                "theme_preference": u.get("theme", ""), "calendar_token": u.get("calendar_token", ""),
                "pending_email": u.get("pending_email", ""), "avatar": u.get("avatar", ""), "gravatar_hash": ""}

    def add_user(self, email, password, verified=False, totp=None, first_name="", last_name=""):
        self.next_id += 1
        u = {"id": self.next_id, "email": email.lower(), "password": password, "verified": bool(verified),
             "totp": totp, "first_name": first_name, "last_name": last_name}
        self.users[u["email"]] = u
        self.budgets[u["id"]] = {name: [] for name in _LISTS.values()}
        return u

    def new_token(self, u):
        token = secrets.token_hex(16)
        self.tokens[token] = u["id"]
        return token

    def by_token(self, body):
        uid = self.tokens.get(body.get("token") or "")
        return next((u for u in self.users.values() if u["id"] == uid), None)

    # --- the API -------------------------------------------------------------
    def api(self, path, body):
        if not isinstance(body, dict):
            return 400, {"error": "The request was not a JSON object.", "code": "bad_request"}
        if path == "auth/login":
            u = self.users.get(str(body.get("email", "")))
            if not u or u["password"] != body.get("password"):
                return 401, {"error": "The email or password is not right.", "code": "invalid_credentials"}
            if u["totp"]:
                code = str(body.get("code", ""))
                if not code:
                    return 401, {"error": "Enter the code from your authenticator app.",
                                 "code": "two_factor_required"}
                now = time.time()
                if code not in [totp_code(u["totp"], now + k * 30) for k in (-1, 0, 1)]:
                    return 401, {"error": "That code did not work. Try the newest one.",
                                 "code": "two_factor_required"}
            return 200, {"token": self.new_token(u), "user": self.user_json(u)}
        if path == "auth/signup":
            email = str(body.get("email", ""))
            if "@" not in email or len(str(body.get("password", ""))) < 8:
                return 422, {"error": "Enter an email address and a password of 8 characters or more.",
                             "code": "invalid"}
            if email.lower() in self.users:
                return 409, {"error": "An account with this email already exists.", "code": "email_taken"}
            u = self.add_user(email, body["password"], False, None, str(body.get("first_name", "")),
                              str(body.get("last_name", "")))
            return 200, {"token": self.new_token(u), "user": self.user_json(u), "verification_sent": True}
        if path == "auth/forgot-password":
            return 200, {"message": "If an account uses that address, a reset link is on its way."}
        if path == "auth/resend-verification":
            return 200, {"message": "We sent the link again."}
        u = self.by_token(body)
        if path in ("me", "auth/logout") and not u:
            return 401, {"error": "Sign in again.", "code": "unauthorized"}
        if path == "me":
            return 200, {"user": self.user_json(u)}
        if path == "auth/logout":
            self.tokens.pop(body.get("token"), None)
            return 200, {"message": "Signed out"}
        if path.startswith("me/"):
            return self.me(u, path[len("me/"):], body) if u else (401, {"error": "Sign in again.",
                                                                       "code": "unauthorized"})
        if path == "sync":
            if not u:
                return 401, {"error": "Sign in again.", "code": "unauthorized"}
            if not u["verified"]:
                return 403, {"error": "Verify your email address to sync.", "code": "verification_required"}
            if not isinstance(body.get("ops"), list):
                return 400, {"error": "The ops are missing.", "code": "bad_request"}
            return 200, self.sync(u, body["token"], body["ops"], body.get("etag"))
        return None

    def code_ok(self, u, secret, body):
        now = time.time()
        return secret and str(body.get("code", "")) in [totp_code(secret, now + k * 30) for k in (-1, 0, 1)]

    def me(self, u, name, body):
        """The account calls of a signed-in user; each answers the refreshed user."""
        def done(message, **extra):
            return 200, dict({"message": message, "user": self.user_json(u)}, **extra)
        bad = (422, {"error": "That code did not work. Try the newest one.", "code": "invalid_code"})
        if name == "profile":
            u["first_name"], u["last_name"] = str(body.get("first_name", "")), str(body.get("last_name", ""))
            return done("Name saved.")
        if name == "email":
            u["pending_email"] = str(body.get("email", ""))
            return done("Check your new inbox to confirm the change.")
        if name == "password":
            if body.get("current_password") != u["password"]:
                return 403, {"error": "The current password is not right.", "code": "invalid_credentials"}
            u["password"] = str(body.get("new_password", ""))
            return done("Password updated.")
        if name == "theme":
            u["theme"] = str(body.get("theme", ""))
            return done("")
        if name == "2fa/setup":
            u["pending_totp"] = base64.b32encode(secrets.token_bytes(10)).decode()
            uri = f"otpauth://totp/Quenmark:{u['email']}?secret={u['pending_totp']}&issuer=Quenmark"
            return 200, {"secret": u["pending_totp"], "uri": uri}
        if name == "2fa/enable":
            if not self.code_ok(u, u.get("pending_totp"), body):
                return bad
            u["totp"] = u.pop("pending_totp")
            return done("Two-factor authentication is on.")
        if name == "2fa/disable":
            if not self.code_ok(u, u["totp"], body):
                return bad
            u["totp"] = None
            return done("Two-factor authentication is off.")
        if name == "calendar-token":
            u["calendar_token"] = secrets.token_hex(12)
            return done("Calendar feed on.")
        if name == "calendar-token/off":
            u["calendar_token"] = ""
            return done("Calendar feed off.")
        if name == "avatar/upload":
            try:
                data = base64.b64decode(str(body.get("image", "")), validate=True)
            except ValueError:
                return 422, {"error": "The picture could not be read.", "code": "invalid"}
            u["avatar_bytes"], u["avatar_name"] = data, str(body.get("name", ""))
            u["avatar"] = "av-" + hashlib.sha256(data).hexdigest()[:16]
            return done("Photo saved.")
        if name == "avatar/delete":
            u.pop("avatar_bytes", None)
            u["avatar"] = ""
            return done("Photo removed.")
        if name == "avatar":
            return (200, u["avatar_bytes"]) if u.get("avatar_bytes") else (204, b"")
        if name == "delete":
            if body.get("confirm") != "DELETE":
                return 422, {"error": "Type DELETE to confirm.", "code": "invalid"}
            del self.users[u["email"]]
            self.budgets.pop(u["id"], None)
            for token in [t for t, uid in self.tokens.items() if uid == u["id"]]:
                del self.tokens[token]
            return 200, {"message": "Account deleted."}
        return None

    # --- sync ----------------------------------------------------------------
    def budget_view(self, u):
        b = self.budgets[u["id"]]
        view = {name: b[name] for name in _LISTS.values()}
        user = dict(b.get("user") or {})
        account = self.user_json(u)
        for key in ("email", "first_name", "last_name", "is_verified", "two_factor_enabled", "calendar_token",
                    "pending_email", "avatar", "gravatar_hash"):
            user[key] = account[key]
        user.setdefault("theme_preference", account["theme_preference"])
        view["user"] = user
        return view

    def etag(self, u):
        return budget_etag(self.budget_view(u))

    def sync(self, u, token, ops, client_etag):
        matched = client_etag == self.etag(u)
        budget = self.budgets[u["id"]]
        ids = self.local_ids.setdefault(token, {})
        mapping = {}

        def resolve(entity, local):
            if not _is_int(local):
                return None
            return local if local > 0 else ids.get((entity, local))

        for op in ops:
            if not isinstance(op, dict):
                continue
            entity, kind, local, data = op.get("entity"), op.get("op"), op.get("id"), op.get("data")
            if entity == "prefs":
                if isinstance(data, dict):
                    user = dict(data)
                    for key in ("selected_account_id", "default_account_id"):
                        user[key] = resolve("account", user.get(key)) or user.get(key)
                    budget["user"] = user
                continue
            if entity not in _LISTS or not _is_int(local) or local == 0:
                continue
            records = budget[_LISTS[entity]]
            server = resolve(entity, local)
            if kind == "delete":
                if server is not None:
                    records[:] = [r for r in records if r.get("id") != server]
            elif kind in ("create", "update") and isinstance(data, dict):
                if server is None and local < 0 and entity in ("account", "category"):
                    name = str(data.get("name", "")).strip()
                    server = next((r["id"] for r in records if str(r.get("name", "")).strip() == name), None)
                    if server is not None:
                        ids[(entity, local)] = server
                        mapping.setdefault(entity, {})[str(local)] = server
                        continue
                fresh = server is None and local < 0
                if fresh:
                    self.next_record += 1
                    server = ids[(entity, local)] = self.next_record
                record = dict(data)
                record.pop("icon_name", None)
                record["id"] = server
                if entity == "adjustment":
                    record["transaction_id"] = resolve("transaction", record.get("transaction_id")) or 0
                if entity == "anchor" and record.get("account_id"):
                    record["account_id"] = resolve("account", record.get("account_id")) or 0
                at = next((i for i, r in enumerate(records) if r.get("id") == server), None)
                if at is not None:
                    records[at] = record
                elif fresh:
                    records.append(record)
                # a record deleted meanwhile stays deleted, also when its create comes again
            if local < 0 and server is not None:
                mapping.setdefault(entity, {})[str(local)] = server
        answer = {"mapping": mapping, "etag": self.etag(u)}
        if matched:
            answer["unchanged"] = True
        else:
            answer["snapshot"] = self.budget_view(u)
        return answer

    # --- control calls -------------------------------------------------------
    def control(self, name, body):
        if name == "user":
            u = self.add_user(body["email"], body["password"], body.get("verified", False), body.get("totp"),
                              body.get("first_name", ""), body.get("last_name", ""))
            return {"id": u["id"], "user": self.user_json(u)}
        if name == "verify":
            self.users[body["email"].lower()]["verified"] = bool(body.get("verified", True))
            return {}
        if name == "revoke":
            uid = self.users[body["email"].lower()]["id"]
            self.tokens = {t: i for t, i in self.tokens.items() if i != uid}
            return {}
        if name == "budget":
            u = next((u for u in self.users.values() if u["id"] == int(body["user_id"])), None)
            return {"budget": self.budget_view(u), "etag": self.etag(u)} if u else {"budget": None}
        if name == "avatar":
            u = self.users[body["email"].lower()]
            data = u.get("avatar_bytes") or b""
            return {"sha256": hashlib.sha256(data).hexdigest() if data else "", "name": u.get("avatar_name", "")}
        if name == "state":
            return {"users": [self.user_json(u) for u in self.users.values()], "tokens": len(self.tokens)}
        if name == "log":
            out = list(self.log)
            if body.get("clear"):
                self.log.clear()
            return {"requests": out}
        if name == "fault":
            rule = dict(body)
            self.faults.setdefault(rule.pop("path"), []).append(rule)
            return {}
        if name == "faults":
            self.faults.clear()
            return {}
        if name == "update":
            self.update = dict(body)
            return {}
        if name == "stalled":
            return {"count": self.stalled}
        if name == "release":
            self.stall_generation += 1
            self.lock.notify_all()
            return {}
        return None

    # --- releases -------------------------------------------------------------
    def package_bytes(self, name):
        for f in (self.update or {}).get("files", []):
            if f["file"] == name:
                if "path" in f:
                    with open(f["path"], "rb") as src:
                        return src.read()
                return base64.b64decode(f.get("data", ""))
        return None

    def update_reply(self, base):
        """The envelope of the offered release, its manifest signed as the
        release process would (or, for a fault, signed over other bytes)."""
        up = self.update
        files = []
        for f in up.get("files", []):
            data = self.package_bytes(f["file"])
            digest = hashlib.sha256(data).hexdigest()
            if up.get("wrong_hash"):
                digest = ("0" if digest[0] != "0" else "1") + digest[1:]
            files.append({"os": f.get("os", "linux"), "arch": f.get("arch", "x86_64"), "kind": f["kind"],
                          "file": f["file"], "size": len(data) + (1 if up.get("wrong_size") else 0),
                          "sha256": digest})
        manifest = json.dumps({"version": up.get("manifest_version", up["version"]), "files": files}, indent=2)
        signed = manifest + (" " if up.get("bad_signature") else "")
        with tempfile.NamedTemporaryFile() as msg:
            msg.write(signed.encode())
            msg.flush()
            signature = subprocess.run(["openssl", "pkeyutl", "-sign", "-inkey", up["key"], "-rawin", "-in",
                                        msg.name], check=True, capture_output=True).stdout
        reply = {"version": up["version"], "manifest": manifest, "signature": base64.b64encode(signature).decode(),
                 "base": base + "/app/pkg/"}
        if up.get("notes_url"):
            reply["notes_url"] = up["notes_url"]
        return reply

    def take_fault(self, path):
        rules = self.faults.get(path)
        if not rules:
            return None
        rule = rules[0]
        times = rule.get("times", 1)
        if times is not None and times > 0:
            rule["times"] = times - 1
            if rule["times"] == 0:
                rules.pop(0)
        return rule


def _functional_handler(fn):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def _reply(self, status, payload, content_type="application/json", cut=None):
            if not isinstance(payload, bytes):
                payload = (json.dumps(payload) if content_type == "application/json" else str(payload)).encode()
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(payload)))
            self.send_header("Connection", "close")
            self.end_headers()
            try:
                self.wfile.write(payload if cut is None else payload[:cut])
                self.wfile.flush()
            except OSError:
                pass
            self.close_connection = True
            print(f"{self.command} {self.path} {status}", file=sys.stderr, flush=True)

        def _drop(self, note):
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            print(f"{self.command} {self.path} {note}", file=sys.stderr, flush=True)

        def _body(self):
            length = int(self.headers.get("Content-Length") or 0)
            raw = b""
            while len(raw) < length:
                chunk = self.rfile.read(length - len(raw))
                if not chunk:
                    break
                raw += chunk
            try:
                return raw, json.loads(raw.decode() or "null")
            except ValueError:
                return raw, None

        def _serve(self):
            path = self.path.split("?")[0]
            if path.startswith("/_test/"):
                _, body = self._body()
                with fn.lock:
                    answer = fn.control(path[len("/_test/"):], body if isinstance(body, dict) else {})
                return self._reply(200 if answer is not None else 404, answer or {"error": "no such control"})
            if path.startswith("/app/"):
                return self._serve_release(path)
            if not path.startswith("/api/v1/"):
                return self._reply(404, "<html><body>Not found</body></html>", "text/html")
            name = path[len("/api/v1/"):]
            with fn.lock:
                rule = fn.take_fault(name) or {}
            if rule.get("close") == "before":
                with fn.lock:
                    fn.log.append({"method": self.command, "path": name, "body": None})
                return self._drop("closed before reading")
            raw, body = self._body()
            with fn.lock:
                fn.log.append({"method": self.command, "path": name,
                               "body": body if body is not None else raw.decode(errors="replace")})
            if rule.get("stall"):
                with fn.lock:
                    generation = fn.stall_generation
                    fn.stalled += 1
                    fn.lock.wait_for(lambda: fn.stall_generation > generation, timeout=600)
                    fn.stalled -= 1
            if rule.get("delay"):
                time.sleep(rule["delay"])
            if "status" in rule and "html" in rule:
                return self._reply(rule["status"], rule["html"], "text/html")
            if "status" in rule:
                return self._reply(rule["status"], rule.get("json", {}))
            if "notjson" in rule:
                return self._reply(rule.get("status", 200), rule["notjson"], "text/plain")
            with fn.lock:
                answer = fn.api(name, body)
            if rule.get("close") == "after":
                return self._drop("closed after handling")
            if answer is None:
                return self._reply(404, "<html><body>Not found</body></html>", "text/html")
            if isinstance(answer[1], bytes):
                return self._reply(answer[0], answer[1], "image/png")
            return self._reply(answer[0], answer[1], cut=rule.get("cut"))

        def _serve_release(self, path):
            with fn.lock:
                rule = fn.take_fault(path[1:]) or {}
                fn.log.append({"method": self.command, "path": path[1:], "body": None})
            if rule.get("stall"):
                with fn.lock:
                    generation = fn.stall_generation
                    fn.stalled += 1
                    fn.lock.wait_for(lambda: fn.stall_generation > generation, timeout=600)
                    fn.stalled -= 1
            if rule.get("delay"):
                time.sleep(rule["delay"])
            if rule.get("redirect"):
                self.send_response(302)
                self.send_header("Location", rule["redirect"])
                self.send_header("Content-Length", "0")
                self.send_header("Connection", "close")
                self.end_headers()
                self.close_connection = True
                print(f"{self.command} {self.path} 302", file=sys.stderr, flush=True)
                return None
            if "status" in rule and "html" in rule:
                return self._reply(rule["status"], rule["html"], "text/html")
            if "status" in rule:
                return self._reply(rule["status"], rule.get("json", {}))
            if "notjson" in rule:
                return self._reply(rule.get("status", 200), rule["notjson"], "text/plain")
            with fn.lock:
                release = fn.update
            if release is None:
                return self._reply(404, "<html><body>Not found</body></html>", "text/html")
            if path == "/app/update.json":
                base = f"https://127.0.0.1:{self.server.server_address[1]}"
                return self._reply(200, fn.update_reply(base), cut=rule.get("cut"))
            data = fn.package_bytes(path[len("/app/pkg/"):]) if path.startswith("/app/pkg/") else None
            if data is None:
                return self._reply(404, "<html><body>Not found</body></html>", "text/html")
            return self._reply(200, data, "application/octet-stream", cut=rule.get("cut"))

        do_GET = _serve
        do_POST = _serve

    return Handler


def serve_functional(folder):
    _, cert, key = make_ca(folder, "main")
    fn = Functional()
    server = _Server(("127.0.0.1", 0), _functional_handler(fn))
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    server.socket = ctx.wrap_socket(server.socket, server_side=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print(f"ready {server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__" and len(sys.argv) == 3 and sys.argv[1] == "functional":
    serve_functional(sys.argv[2])
