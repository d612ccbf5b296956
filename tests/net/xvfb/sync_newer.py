"""A budget on the service that a newer version changed, under Xvfb against
the functional test service: every sync answers with a snapshot holding an
amount as an object, as a newer client writes it. Three starts in a row each
show the sync problem and keep running until their window is closed; the
budget's files stay byte for byte as they were and no crash report is left."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import base_env, check, close_window, config, finish, program, temp_dir, wait_for, xvfb  # noqa: E402
from _service_fixture import TestService  # noqa: E402
from _account import drawn  # noqa: E402
from sync_devices import EMAIL, PASSWORD, Device  # noqa: E402

UPDATE = ("Your budget on the service was changed by a newer version of Quenmark. "
          "Update Quenmark to keep syncing.")
NEWER = {"transactions": [{"id": 9001, "start_date": "2026-01-05", "description": "From a newer version",
                           "amount": {"value": "12.50", "currency": "EUR"}}]}


class Run:
    """The program listing its widgets and drawn texts."""

    def __init__(self, device):
        self.listing = os.path.join(device.home, "widgets.json")
        extra = {**device.svc.client_env(), "QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "900x700",
                 "QUENMRK_TEST_WIDGETS": self.listing, "QUENMRK_TEST_TEXTS": "1"}
        self.env = device.env
        self.proc = subprocess.Popen([program(device.build)], env=base_env(device.env, device.home, extra),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def shows(self, text, timeout=60):
        return wait_for(lambda: self.proc.poll() is not None or text in " ".join(t["text"] for t in drawn(self)),
                        timeout) and self.proc.poll() is None

    def frames_after(self, count=5, timeout=30):
        """The window keeps drawing: the listing is rewritten `count` more times."""
        seen = []

        def moved():
            try:
                stamp = os.stat(self.listing).st_mtime_ns
            except OSError:
                return False
            if not seen or seen[-1] != stamp:
                seen.append(stamp)
            return len(seen) > count or self.proc.poll() is not None
        return wait_for(moved, timeout) and self.proc.poll() is None

    def close(self):
        windows = []

        def shown():
            windows[:] = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quenmark$"], env=self.env,
                                        capture_output=True, text=True, timeout=30).stdout.split()
            return bool(windows)
        if self.proc.poll() is None and wait_for(shown, 30):
            close_window(self.env, windows[-1:])
        try:
            code = self.proc.wait(60)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        err = self.proc.stderr.read()
        self.proc.stderr.close()
        return code, err


def files(device):
    out = {}
    for name in ("data.json", "journal.json"):
        with open(os.path.join(device.folder, name), "rb") as f:
            out[name] = f.read()
    return out


def main():
    build = sys.argv[1]
    with TestService() as svc, xvfb() as env, temp_dir() as home:
        uid = svc.control("user", email=EMAIL, password=PASSWORD, verified=True)["id"]
        device = Device(build, env, svc, uid, home)
        try:
            ok, _ = device.sync_run(sign_in=True)
            check("signs in and syncs", ok)
            before = files(device)
            svc.control("fault", path="sync", status=200, json={"snapshot": NEWER, "etag": "newer"}, times=100)
            reports = os.path.join(config(home), "crash-reports")
            for start in (1, 2, 3):
                run = Run(device)
                try:
                    check(f"start {start}: the sync problem shows", run.shows(UPDATE), run.proc.poll())
                    check(f"start {start}: the program runs on", run.frames_after(), run.proc.poll())
                finally:
                    code, err = run.close()
                check(f"start {start}: a close ends it with 0", code == 0, (code, err[-1500:]))
                check(f"start {start}: data.json and journal.json as they were", files(device) == before)
                left = os.listdir(reports) if os.path.isdir(reports) else []
                check(f"start {start}: no crash report", left == [], left)
            check("three syncs were answered", len(svc.requests("sync")) >= 3)
        finally:
            from _shell import failures
            svc.failed = bool(failures)
    finish()


if __name__ == "__main__":
    main()
