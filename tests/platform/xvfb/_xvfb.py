"""Starts a private Xvfb server (Mesa llvmpipe serves GLX) on a display
number the server picks itself, and stops it again; asks windows on it to
close as a window manager would."""
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


def close_window(env, windows):
    """Sends WM_DELETE_WINDOW to each window id, as a window manager does when
    the user closes it. The round trip before hanging up is what makes the
    message arrive: a server that sees a connection hung up drops whatever it
    has not read from it yet, and on a busy machine that is the message."""
    from Xlib import X, display
    from Xlib.protocol import event
    d = display.Display(env["DISPLAY"])
    try:
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        for wid in windows:
            w = d.create_resource_object("window", int(wid))
            w.send_event(event.ClientMessage(window=w, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0])))
        d.sync()
    finally:
        d.close()
