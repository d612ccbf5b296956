"""Starts headless Wayland compositors in a private runtime folder and stops
them again by their process id: weston (as the current user) and sway (as
nobody, since it refuses to run as root)."""
import contextlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "xvfb"))
from _procs import stop  # noqa: E402


def _wait_socket(rt, name, proc, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if os.path.exists(os.path.join(rt, name)):
            return True
        if proc.poll() is not None:
            return False
        time.sleep(0.05)
    return False


def client_env(rt, socket, extra=None):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QUENMRK_BACKEND")}
    env.update(XDG_RUNTIME_DIR=rt, WAYLAND_DISPLAY=socket, ASAN_OPTIONS="detect_leaks=0")
    env.update(extra or {})
    return env


class Weston:
    def __init__(self, rt, proc):
        self.rt, self.proc, self.socket = rt, proc, "wl-test"
        self.env = client_env(rt, self.socket)


@contextlib.contextmanager
def weston():
    rt = tempfile.mkdtemp(prefix="qm-weston-")
    os.chmod(rt, 0o700)
    log = open(os.path.join(rt, "weston.log"), "w")
    proc = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=wl-test", "--width=1280",
                             "--height=900", "--use-gl", "--idle-time=0", "--debug"],
                            env=dict(os.environ, XDG_RUNTIME_DIR=rt), stdout=log, stderr=log)
    try:
        if not _wait_socket(rt, "wl-test", proc):
            raise RuntimeError("weston did not start")
        yield Weston(rt, proc)
    finally:
        stop(proc)
        log.close()
        shutil.rmtree(rt, ignore_errors=True)


class Sway:
    def __init__(self, rt, proc):
        self.rt, self.proc, self.socket = rt, proc, "wayland-1"
        self.env = client_env(rt, self.socket)

    def msg(self, *args):
        out = subprocess.run(["swaymsg", *args], env=dict(self.env, SWAYSOCK=self.swaysock()),
                             capture_output=True, text=True, timeout=30)
        return out.stdout

    def window_rect(self, pid):
        """The layout rectangle of the window of process `pid`, or None."""
        def walk(node):
            if node.get("pid") == pid:
                return node["rect"]
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = walk(child)
                if found:
                    return found
            return None
        return walk(json.loads(self.msg("-t", "get_tree")))

    def swaysock(self):
        for name in os.listdir(self.rt):
            if name.startswith("sway-ipc."):
                return os.path.join(self.rt, name)
        return ""


@contextlib.contextmanager
def sway(config=""):
    rt = tempfile.mkdtemp(prefix="qm-sway-")
    os.chmod(rt, 0o700)
    with open(os.path.join(rt, "sway.cfg"), "w") as f:
        f.write("output HEADLESS-1 resolution 1280x900\n" + config)
    shutil.chown(rt, "nobody", "nogroup")
    log = open(os.path.join(rt, "sway.log"), "w")
    proc = subprocess.Popen(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "env", "-i",
                             "PATH=/usr/bin:/bin", "HOME=" + rt, "XDG_RUNTIME_DIR=" + rt, "WLR_BACKENDS=headless",
                             "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "sway", "-c",
                             os.path.join(rt, "sway.cfg")], stdout=log, stderr=log)
    try:
        if not _wait_socket(rt, "wayland-1", proc):
            raise RuntimeError("sway did not start")
        s = Sway(rt, proc)
        end = time.monotonic() + 10
        while not s.swaysock() and time.monotonic() < end:
            time.sleep(0.05)
        yield s
    finally:
        stop(proc)
        log.close()
        shutil.rmtree(rt, ignore_errors=True)
