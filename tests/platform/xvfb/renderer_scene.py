"""The renderer's scene under Xvfb with llvmpipe: exactness checks made by
the drawing program itself (flat fill, texture blit, text bitmap), the golden
picture compared with ImageMagick, and no window-system library linked."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from _xvfb import temp_dir, xvfb  # noqa: E402

ALLOWED_DIFFERENT_PIXELS = 8


def no_platform_libraries(paths):
    bad = re.compile(r"lib(GL|EGL|GLX|X11|xcb|wayland-[a-z]+)\.so")
    ok = True
    for path in paths:
        out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
        found = [line.split()[0] for line in out.splitlines() if line.strip() and bad.search(line.split()[0])]
        if found:
            print(f"FAIL {os.path.basename(path)} links {found}")
            ok = False
        else:
            print(f"ok no window-system library in {os.path.basename(path)}")
    return ok


def main():
    build, source = sys.argv[1], sys.argv[2]
    tool = os.path.join(build, "tools", "render_scene")
    golden = os.path.join(source, "tests", "golden", "renderer_scene.png")
    ok = no_platform_libraries([tool, os.path.join(build, "quenmrk")])
    with temp_dir() as tmp, xvfb() as env:
        shot = os.path.join(tmp, "scene.png")
        run = subprocess.run([tool, shot], env=env, capture_output=True, text=True, timeout=120)
        print(run.stdout, end="")
        if run.returncode != 0:
            print("FAIL render_scene:", run.returncode, run.stderr)
            return 1
        if os.environ.get("QM_UPDATE_GOLDEN"):
            subprocess.run(["cp", shot, golden], check=True)
        diff = os.path.join(tmp, "diff.png")
        cmp = subprocess.run(["compare", "-metric", "AE", "-fuzz", "1%", shot, golden, diff],
                             capture_output=True, text=True)
        differing = float(cmp.stderr.split()[0]) if cmp.stderr.strip() else -1
        if cmp.returncode > 1 or differing < 0 or differing > ALLOWED_DIFFERENT_PIXELS:
            print(f"FAIL golden: {cmp.stderr.strip()} pixels differ")
            ok = False
        else:
            print(f"ok golden ({differing:g} pixels differ)")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
