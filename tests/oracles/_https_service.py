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
