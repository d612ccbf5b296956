"""Starts the functional test service (_https_service.py functional) as a
child process, for drivers that run the program against it.

    with TestService() as svc:
        env.update(svc.client_env())     # QUENMRK_SERVER, CURL_CA_BUNDLE, ...
        svc.control("user", email=..., password=...)

It runs on port 0 in a new temporary folder; the start waits up to 10 s for
"ready PORT". At the end, passed or failed, the child gets SIGTERM (SIGKILL
after 5 s) and the folder is removed; when the block raised or `failed` was
set, the service's stderr is printed first.

GoogleTest reaches the same fixture by running this file
(tests/net/service_helpers.cpp): it prints "ready PORT FOLDER SERVICE_PID",
then stops the service when its standard input closes or on SIGTERM.
"""
import json
import os
import select
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request

SERVICE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_https_service.py")


class TestService:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="qm-service-")
        self.errors = os.path.join(self.folder, "stderr.txt")
        self.proc = None
        self.port = 0
        self.failed = False

    @property
    def base(self):
        return f"https://127.0.0.1:{self.port}"

    @property
    def ca(self):
        return os.path.join(self.folder, "main-ca.pem")

    def start(self):
        with open(self.errors, "wb") as err:
            self.proc = subprocess.Popen(["/usr/bin/python3", SERVICE, "functional", self.folder],
                                         stdout=subprocess.PIPE, stderr=err)
        end = time.monotonic() + 10
        line = b""
        while time.monotonic() < end and not line.endswith(b"\n"):
            ready, _, _ = select.select([self.proc.stdout], [], [], max(0.0, end - time.monotonic()))
            if not ready:
                break
            chunk = os.read(self.proc.stdout.fileno(), 64)
            if not chunk:
                break
            line += chunk
        if not line.startswith(b"ready "):
            self.stop(show_errors=True)
            raise RuntimeError(f"the test service did not start: {line!r}")
        self.port = int(line.split()[1])
        self._ssl = ssl.create_default_context(cafile=self.ca)
        return self

    def client_env(self):
        """Variables for a program that calls the service through curl."""
        return {"QUENMRK_SERVER": self.base, "CURL_CA_BUNDLE": self.ca, "NO_PROXY": "*", "no_proxy": "*",
                "https_proxy": "", "HTTPS_PROXY": "", "http_proxy": "", "HTTP_PROXY": "", "CURL_HOME": self.folder}

    def control(self, name, **body):
        request = urllib.request.Request(f"{self.base}/_test/{name}", data=json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"}, method="POST")
        with urllib.request.urlopen(request, context=self._ssl, timeout=10) as answer:
            return json.loads(answer.read())

    def requests(self, path=None, clear=False):
        """The calls the program made below /api/v1/, optionally of one path."""
        log = self.control("log", clear=clear)["requests"]
        return [r for r in log if path is None or r["path"] == path]

    def stderr(self):
        try:
            with open(self.errors, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self, show_errors=False):
        if show_errors or self.failed:
            print("--- test service stderr ---\n" + self.stderr() + "--- end ---")
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc:
            self.proc.stdout.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, kind, value, tb):
        self.stop(show_errors=kind is not None)
        return False


def _serve_for_a_test_program():
    def end(*_):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, end)
    try:
        svc = TestService().start()
    except RuntimeError as e:
        print(e, file=sys.stderr)
        sys.exit(1)
    try:
        print(f"ready {svc.port} {svc.folder} {svc.proc.pid}", flush=True)
        sys.stdin.read()
    finally:
        svc.stop()


if __name__ == "__main__":
    _serve_for_a_test_program()
