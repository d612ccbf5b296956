"""The network client against a real curl and a local HTTPS service.

Every account call, sync, avatar POST, icon GET and download is checked at
the service (method, path, headers, body members); the error mapping for
HTTP and transport failures; https-only redirects and literal URLs; the token
never on a command line; two threads at once without leaks; cancellation.
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _https_service as hs  # noqa: E402

build = sys.argv[1]
tool = os.path.join(build, "tools", "nettool")
failures = 0
label = "quenmark.example"


def check(cond, what):
    global failures
    if not cond:
        failures += 1
        print("FAIL:", what)


class Tool:
    def __init__(self, env):
        self.proc = subprocess.Popen([tool], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env, text=True)

    def send(self, **cmd):
        self.proc.stdin.write(json.dumps(cmd) + "\n")
        self.proc.stdin.flush()

    def receive(self):
        line = self.proc.stdout.readline()
        if not line:
            raise SystemExit(f"nettool died (exit {self.proc.wait()})")
        return json.loads(line)

    def ask(self, **cmd):
        self.send(**cmd)
        return self.receive()

    def close(self):
        self.proc.stdin.close()
        rc = self.proc.wait()
        check(rc == 0, f"nettool exit code {rc}")


folder = tempfile.mkdtemp(prefix="qm-https-")
ca, cert, key = hs.make_ca(folder, "main")
_, other_cert, other_key = hs.make_ca(folder, "other")
svc = hs.Service(folder, cert, key)
untrusted = hs.Service(folder, other_cert, other_key)
plain = hs.Service(folder, None, None, tls=False)
env = hs.client_env(folder, ca)
t = Tool(env)
base = svc.base
ok_json = {"status": 200, "body": '{"ok":true}', "headers": {"Content-Type": "application/json"}}

# --- Account calls: every kind, signed in and out --------------------------------------
kinds = {
    0: ("me", []), 1: ("auth/login", ["email", "password"]),
    2: ("auth/signup", ["first_name", "last_name", "email", "password"]), 3: ("auth/forgot-password", ["email"]),
    4: ("auth/login", ["email", "password", "code"]), 5: ("auth/resend-verification", ["email"]),
    6: ("me/profile", ["first_name", "last_name"]), 7: ("me/email", ["email"]),
    8: ("me/password", ["current_password", "new_password"]), 9: ("me/theme", ["theme"]),
    10: ("me/2fa/setup", []), 11: ("me/2fa/enable", ["code"]), 12: ("me/2fa/disable", ["code"]),
    13: ("me/delete", []), 14: ("me/calendar-token", []), 15: ("auth/logout", []), 16: ("me", []),
    17: ("me/avatar/upload", ["image", "name"]), 18: ("me/avatar/delete", []), 19: ("me/calendar-token/off", []),
}
for path, _ in kinds.values():
    svc.script["/api/v1/" + path] = ok_json
for kind, (path, names) in kinds.items():
    params = [[n, f"{n}-value é"] for n in names]
    if kind == 13:
        params = [["confirm", "no"]]
    for token in ("", "tok-42"):
        r = t.ask(op="request", category=1, server=base, token=token, kind=kind, params=params)
        reqs = svc.take()
        check(r["ok"] and r["status"] == 200 and r["kind"] == kind and r["reply"] == {"ok": True},
              f"kind {kind}: reply {r}")
        check(len(reqs) == 1, f"kind {kind}: {len(reqs)} requests")
        q = reqs[0]
        body = json.loads(q.body)
        check(q.method == "POST" and q.path == "/api/v1/" + path, f"kind {kind}: {q.method} {q.path}")
        check(q.header("Content-Type") == "application/json" and q.header("Accept") == "application/json"
              and q.header("User-Agent") == "Quenmark", f"kind {kind}: headers {q.headers}")
        want = {n: v for n, v in params}
        want["device_name"] = "linux Quenmark"
        if kind == 13:
            want["confirm"] = "DELETE"
        if token:
            want["token"] = token
        check(body == want, f"kind {kind} token={token!r}: body {body} want {want}")
        check(all(isinstance(v, str) for v in body.values()), f"kind {kind}: non-string member")

# --- Sync ---------------------------------------------------------------------------------
svc.script["/api/v1/sync"] = {"status": 200, "body": '{"unchanged":true,"etag":"e2"}'}
ops = [{"seq": 1, "op": "create"}, {"seq": 2, "op": "update"}]
r = t.ask(op="request", category=0, server=base, token="tok-42", ops=ops, etag="e1", highestSeq=2)
q = svc.take()[0]
check(q.path == "/api/v1/sync" and json.loads(q.body) == {"ops": ops, "etag": "e1", "token": "tok-42"},
      f"sync body {q.body!r}")
check(r["ok"] and r["opCount"] == 2 and r["highestSeq"] == 2 and r["category"] == 0, f"sync reply {r}")

# --- Avatar POST and icon GET -------------------------------------------------------------
picture = bytes(range(256)) * 40
svc.script["/api/v1/me/avatar"] = {"status": 200, "body": picture, "headers": {"Content-Type": "image/png"}}
r = t.ask(op="request", category=2, server=base + "/api/v1/me/avatar", token="tok-42", params=[["post", "1"]],
          etag="avatar-key")
q = svc.take()[0]
check(q.method == "POST" and json.loads(q.body) == {"token": "tok-42"}, f"avatar request {q.method} {q.body!r}")
check(r["ok"] and r["pictureByPost"] and r["pictureKey"] == "avatar-key" and bytes.fromhex(r["pictureHex"]) == picture,
      "avatar reply")
svc.script["/api/v1/me/avatar"] = {"status": 204}
r = t.ask(op="request", category=2, server=base + "/api/v1/me/avatar", token="tok-42", params=[["post", "1"]])
check(r["ok"] and r["pictureHex"] == "" and r["pictureByPost"], f"204 avatar {r}")
svc.take()
svc.script["/icons/7.png"] = {"status": 200, "body": picture}
r = t.ask(op="request", category=2, server=base + "/icons/7.png", etag="icon-7")
q = svc.take()[0]
check(q.method == "GET" and q.path == "/icons/7.png" and q.header("Accept") == "application/json"
      and q.header("User-Agent") == "Quenmark", f"icon request {q.method} {q.path}")
check(r["ok"] and not r["pictureByPost"] and bytes.fromhex(r["pictureHex"]) == picture, "icon reply")
r = t.ask(op="request", category=2, server=base + "/icons/missing.png", etag="icon-8")
svc.take()
check(not r["ok"] and r["pictureHex"] == "", f"missing icon {r}")

# --- Download ------------------------------------------------------------------------------
target = os.path.join(folder, "pkg.deb")
package = os.urandom(300000)
svc.script["/dl/pkg.deb"] = {"status": 200, "body": package}
r = t.ask(op="download", url=base + "/dl/pkg.deb", target=target)
check(r["ok"] and r["status"] == 200 and r["text"] == "" and open(target, "rb").read() == package, f"download {r}")
check(svc.take()[0].method == "GET", "download method")
r = t.ask(op="download", url=base + "/dl/none.deb", target=target)
check(r["ok"] and r["status"] == 404 and not r["exists"], f"404 download {r}")
svc.script["/dl/cut.deb"] = {"status": 200, "body": package, "cut": 1000}
r = t.ask(op="download", url=base + "/dl/cut.deb", target=target)
check(not r["ok"] and r["status"] == 0 and r["text"].startswith("curl: (18)") and not r["exists"], f"cut download {r}")
svc.take()

# --- A 10 MB body arrives whole -----------------------------------------------------------------
svc.script["/api/v1/big"] = ok_json
r = t.ask(op="post", url=base + "/api/v1/big", bodySize=10_000_000)
q = svc.take()[0]
check(r["ok"] and len(q.body) == 10_000_000 and q.body == b"q" * 10_000_000, "10 MB body")

# --- Error mapping ---------------------------------------------------------------------------------
no_api = f"This server does not have the app API yet ({base}/api/v1). The site needs its app update"
html = {"Content-Type": "text/html"}
cases = [
    ({"status": 401, "body": '{"error":"Wrong password."}'}, False, 401, "unauthorized", "Wrong password."),
    ({"status": 401, "body": '{"code":"two_factor_required"}'}, False, 401, "two_factor_required",
     f"{label} answered 401."),
    ({"status": 404, "body": "<html>missing</html>", "headers": html}, False, 404, "no_api", no_api + "."),
    ({"status": 404, "body": '{"error":"Not here"}'}, False, 404, "no_api",
     no_api + "; until then the budget stays on this device."),
    ({"status": 404, "body": '{"error":"Gone","code":"gone"}'}, False, 404, "gone", "Gone"),
    ({"status": 429, "body": "slow down"}, False, 429, "", "Too many attempts: try again in a minute."),
    ({"status": 500, "body": "<html>oops</html>", "headers": html}, False, 500, "",
     f"{label} answered 500. Try again later."),
    ({"status": 503, "body": "<html>later</html>", "headers": html}, False, 503, "",
     f"{label} answered 503. Try again later."),
    ({"status": 422, "body": '{"error":7,"code":false}'}, False, 422, "", f"{label} answered 422."),
    ({"status": 200, "body": "[1,2,3]"}, False, 200, "", f"The answer from {label} was not understood (200)."),
    ({"status": 200, "body": "Welcome to the portal"}, False, 200, "",
     f"The answer from {label} was not understood (200)."),
    ({"status": 201, "body": '{"id":5}'}, True, 201, "", ""),
]
for answer, want_ok, status, code, message in cases:
    svc.script["/api/v1/probe"] = answer
    r = t.ask(op="call", server=base, path="probe", body={"a": "b"}, token="", timeout=30000)
    svc.take()
    check((r["ok"], r["status"], r["code"], r["message"], r["transportFailed"]) == (want_ok, status, code, message, False),
          f"mapping {answer['status']} {answer.get('body')!r}: {r}")

closed = hs.closed_port()
r = t.ask(op="call", server=f"https://127.0.0.1:{closed}", path="me", body=None, token="t", timeout=30000)
check(r["transportFailed"] and not r["ok"] and r["status"] == 0 and r["message"].startswith("curl: (7)")
      and not r["message"].endswith("000"), f"closed port {r}")
untrusted.script["/api/v1/me"] = ok_json
r = t.ask(op="call", server=untrusted.base, path="me", body=None, token="t", timeout=30000)
check(r["transportFailed"] and r["message"].startswith("curl: (60)"), f"untrusted certificate {r}")
check(untrusted.take() == [], "the untrusted service was reached")
# The user's curl configuration is never read: "insecure" there must not let
# a password reach a server nobody trusts.
curlrc = os.path.join(folder, ".curlrc")
with open(curlrc, "w") as f:
    f.write("insecure\n")
r = t.ask(op="call", server=untrusted.base, path="me", body={"password": "pw-SECRET"}, token="t", timeout=30000)
check(r["transportFailed"] and r["message"].startswith("curl: (60)"), f"untrusted certificate with .curlrc {r}")
check(untrusted.take() == [], "the untrusted service was reached through the user's .curlrc")
os.remove(curlrc)
svc.script["/api/v1/slow"] = {"status": 200, "body": "{}", "delay": 3}
start = time.monotonic()
r = t.ask(op="call", server=base, path="slow", body=None, token="", timeout=1500)
check(r["transportFailed"] and r["message"].startswith("curl: (28)") and "timed out" in r["message"]
      and time.monotonic() - start < 2.9, f"time-out {r}")
svc.take()

# --- Replies past their cap fail, announced or not; downloads leave no file -------------------
too_large = "The server's answer was larger than {}, so Quenmark stopped receiving it."
mib = 1 << 20
for nolength in (False, True):
    how = "unannounced" if nolength else "announced"
    svc.script["/api/v1/huge"] = {"status": 200, "body": b" " * (16 * mib) + b"{}", "nolength": nolength}
    r = t.ask(op="call", server=base, path="huge", body=None, token="", timeout=30000)
    check(r["transportFailed"] and r["message"] == too_large.format("16 MiB"), f"{how} 16 MiB + 2 reply: {r}")
    svc.script["/api/v1/huge"] = {"status": 200, "body": b" " * (16 * mib - 2) + b"{}", "nolength": nolength}
    r = t.ask(op="call", server=base, path="huge", body=None, token="", timeout=30000)
    check(r["ok"], f"{how} reply of exactly 16 MiB: {r['message']}")
    svc.script["/icons/big.png"] = {"status": 200, "body": b"p" * (4 * mib + 1), "nolength": nolength}
    r = t.ask(op="request", category=2, server=base + "/icons/big.png", etag="icon-big")
    check(not r["ok"] and r["pictureHex"] == "", f"{how} picture over 4 MiB: ok {r['ok']}")
    svc.script["/dl/big.deb"] = {"status": 200, "body": package, "nolength": nolength}
    r = t.ask(op="download", url=base + "/dl/big.deb", target=target, maxBytes=len(package) - 1)
    check(not r["ok"] and r["text"] == too_large.format(f"{len(package) - 1} bytes") and not r["exists"],
          f"{how} download over the manifest's size: {r}")
    r = t.ask(op="download", url=base + "/dl/big.deb", target=target, maxBytes=len(package))
    check(r["ok"] and r["status"] == 200 and open(target, "rb").read() == package, f"{how} download at its size {r}")
    os.remove(target)
    svc.take()

# --- Redirects stay on https; addresses are taken literally -------------------------------------
svc.script["/redir"] = {"status": 302, "headers": {"Location": f"{plain.base}/landing"}}
plain.script["/landing"] = {"status": 200, "body": "plain"}
r = t.ask(op="get", url=base + "/redir", timeout=20000)
check(not r["ok"] and "http" in r["text"], f"https->http GET {r}")
r = t.ask(op="download", url=base + "/redir", target=target)
check(not r["ok"] and not r["exists"], f"https->http download {r}")
check(plain.take() == [], "the plain listener was reached")
svc.take()
svc.script["/same"] = {"status": 302, "headers": {"Location": "/icons/7.png"}}
r = t.ask(op="get", url=base + "/same", timeout=20000)
check(r["ok"] and r["status"] == 200, f"https->https redirect {r}")
svc.take()
for literal in ("/glob{1,2,3}", "/range[1-3]"):
    svc.script[literal] = {"status": 200, "body": "literal"}
    r = t.ask(op="get", url=base + literal, timeout=20000)
    reqs = svc.take()
    check(len(reqs) == 1 and reqs[0].path == literal and r["ok"] and r["text"] == "literal",
          f"{literal}: {[q.path for q in reqs]} {r}")

# --- The token never shows on a command line ------------------------------------------------------
secret = "tok-SECRET-7fe1c0"
svc.script["/api/v1/held"] = {"status": 200, "body": "{}", "delay": 2}
t.send(op="call", server=base, path="held", body={"password": "pw-SECRET"}, token=secret, timeout=30000)
seen_curl = leaked = False
deadline = time.monotonic() + 1.5
while time.monotonic() < deadline:
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            cmdline = open(f"/proc/{pid}/cmdline", "rb").read()
        except OSError:
            continue
        if b"/api/v1/held" in cmdline:
            seen_curl = True
        if secret.encode() in cmdline or b"pw-SECRET" in cmdline:
            leaked = True
    time.sleep(0.05)
r = t.receive()
check(seen_curl and not leaked and r["ok"], f"command lines: curl seen {seen_curl}, token leaked {leaked}")
check(json.loads(svc.take()[0].body)["token"] == secret, "token in the body")

# --- A service that closes before reading the body ----------------------------------------------------
svc.script["/api/v1/close"] = {"close": True}
r = t.ask(op="post", url=base + "/api/v1/close", bodySize=10_000_000)
check(not r["ok"] and r["status"] == 0, f"closed before the body {r}")
svc.take()

# --- Cancelling a running call from another thread ------------------------------------------------------
svc.script["/api/v1/stall"] = {"status": 200, "body": "{}", "delay": 6}
for how in ("post", "get", "download"):
    r = t.ask(op="cancel", how=how, url=base + "/api/v1/stall", target=target, afterMs=400)
    check(not r["ok"] and r["text"] == "The request was cancelled." and r["elapsedMs"] < 3000
          and r["children"] == "none" and not os.path.exists(target), f"cancel {how}: {r}")
svc.take()

# --- Two threads at once, hundreds of times ----------------------------------------------------------------
svc.script["/api/v1/echo"] = ok_json
svc.script["/dl/small.bin"] = {"status": 200, "body": b"x" * 5000}
r = t.ask(op="stress", post=base + "/api/v1/echo", download=base + "/dl/small.bin", target=target, count=120,
          bodySize=70000)
check(r["posts"] == 120 and r["downloads"] == 120 and r["fdsAfter"] == r["fdsBefore"] and r["children"] == "none",
      f"stress {r}")
check(len(svc.take()) == 240, "stress request count")

t.close()

# --- Proxies still come from the environment, which curl reads itself ----------------------------
class ConnectProxy:
    """A CONNECT-only proxy on 127.0.0.1 that records each tunnel's target."""

    def __init__(self):
        self.targets = []
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._tunnel, args=(client,), daemon=True).start()

    def _tunnel(self, client):
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = client.recv(4096)
            if not chunk:
                return client.close()
            head += chunk
        target = head.split(b" ")[1].decode()
        self.targets.append(target)
        host, port = target.rsplit(":", 1)
        upstream = socket.create_connection((host, int(port)))
        client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")

        def pump(a, b):
            try:
                while data := a.recv(65536):
                    b.sendall(data)
            except OSError:
                pass
            for sock in (a, b):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

        threading.Thread(target=pump, args=(upstream, client), daemon=True).start()
        pump(client, upstream)


proxy = ConnectProxy()
for name in ("https_proxy", "HTTPS_PROXY", "ALL_PROXY"):
    proxy_env = {k: v for k, v in env.items() if k != "NO_PROXY"}
    proxy_env[name] = f"http://127.0.0.1:{proxy.port}"
    with open(os.path.join(folder, ".curlrc"), "w") as f:
        f.write("noproxy = *\n")  # the file is not read, so it cannot turn the proxy off either
    pt = Tool(proxy_env)
    r = pt.ask(op="call", server=base, path="echo", body=None, token="", timeout=30000)
    pt.close()
    check(r["ok"] and proxy.targets == [f"127.0.0.1:{svc.port}"] and len(svc.take()) == 1,
          f"{name}: {r.get('message')} through {proxy.targets}")
    proxy.targets.clear()
os.remove(os.path.join(folder, ".curlrc"))
proxy.listener.close()

for s in (svc, untrusted, plain):
    s.stop()
print(f"net_https: {failures} failures")
sys.exit(1 if failures else 0)
