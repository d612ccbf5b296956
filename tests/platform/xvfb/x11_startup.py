"""Start-up failures of the X11 libraries: a libX11 that lacks a function,
and a libGL that will not load, each end the program with exactly one line
on standard error and status 1."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from _checks import check, finish  # noqa: E402
from _xvfb import temp_dir  # noqa: E402


def x11_functions(source):
    """The libX11 functions the program resolves, from its own table."""
    text = open(os.path.join(source, "src", "platform", "x11", "x11_libs.h")).read()
    return re.findall(r"X\(0, (\w+)\)", text)


# What libGL's own libraries take from libX11 when they are bound at once.
GL_NEEDS = ["XAddExtension", "XESetCloseDisplay", "XScreenCount", "_XAsyncErrorHandler", "_XDeqAsyncHandler",
            "_XEatData", "_XError", "_XGetRequest", "_XRead", "_XReply"]


def main():
    build, source = sys.argv[1], sys.argv[2]
    demo = os.path.join(build, "tools", "platform_demo")
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
    with temp_dir() as tmp:
        missing = "XMapWindow"
        names = [n for n in x11_functions(source) if n != missing] + GL_NEEDS
        stub_c = os.path.join(tmp, "stub.c")
        with open(stub_c, "w") as f:
            f.writelines(f"void {n}(void) {{}}\n" for n in names)
        stub = os.path.join(tmp, "libX11.so.6")
        subprocess.run(["cc", "-shared", "-fPIC", "-Wl,-soname,libX11.so.6", "-o", stub, stub_c], check=True)
        run = subprocess.run([demo], env=dict(env, LD_LIBRARY_PATH=tmp), capture_output=True, text=True, timeout=60)
        check("a missing function", run.returncode == 1 and run.stderr == f"could not import: {missing}\n"
              and run.stdout == "", f"{run.returncode} {run.stderr!r}")

        empty = os.path.join(tmp, "empty")
        open(empty, "w").close()
        libdir = "/usr/lib/x86_64-linux-gnu"
        mounts = " && ".join(f"mount --bind {empty} {libdir}/{name}"
                             for name in ("libGL.so.1", "libGL.so") if os.path.exists(f"{libdir}/{name}"))
        probe = subprocess.run(["unshare", "-m", "true"], capture_output=True)
        if probe.returncode != 0:
            print("skip hidden libGL: no private mount namespace here")
        else:
            run = subprocess.run(["unshare", "-m", "sh", "-c", f"{mounts} && exec {demo}"], env=env,
                                 capture_output=True, text=True, timeout=60)
            check("libGL that will not load", run.returncode == 1 and run.stderr == "could not load: libGL.so(.1|)\n",
                  f"{run.returncode} {run.stderr!r}")
    finish()
    return 0


if __name__ == "__main__":
    sys.exit(main())
