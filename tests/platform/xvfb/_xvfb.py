"""Starts a private Xvfb server (Mesa llvmpipe serves GLX) on a display
number the server picks itself, and stops it again."""
import contextlib
import os
import subprocess
import tempfile

from _procs import stop


@contextlib.contextmanager
def xvfb(size="1280x900x24"):
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    try:
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + number)
        env.pop("WAYLAND_DISPLAY", None)
        yield env
    finally:
        stop(server)


def temp_dir():
    return tempfile.TemporaryDirectory(prefix="qm-xvfb-")
