"""Screenshots of the welcome page's six forms (QUENMRK_WELCOME) in the light
and dark themes, wide and compact, compared with the reviewed copies in
tests/golden/welcome (refresh them with --update after looking at them).
The pictures go to BUILD/welcome-shots; a probe checks the page background."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
from _shell import check, finish, run, temp_dir, xvfb  # noqa: E402

SIZES = {"wide": "900x760", "compact": "420x760"}
BACKGROUND = {"light": (0xf9, 0xfa, 0xfc), "dark": (0x10, 0x13, 0x16)}
# Pixels that may differ from the reviewed copy (anti-aliasing on another
# Mesa build), out of about 300,000.
TOLERANCE = 600


def pixel(path, x, y):
    out = subprocess.run(["convert", path, "-format", f"%[fx:int(255*p{{{x},{y}}}.r)],%[fx:int(255*p{{{x},{y}}}.g)],"
                          f"%[fx:int(255*p{{{x},{y}}}.b)]", "info:"], capture_output=True, text=True).stdout
    return tuple(int(v) for v in out.split(",")) if out else None


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    out_dir = os.path.join(build, "welcome-shots")
    golden = os.path.join(source, "tests", "golden", "welcome")
    os.makedirs(out_dir, exist_ok=True)
    if update:
        os.makedirs(golden, exist_ok=True)
    with xvfb() as env:
        for mode in range(6):
            for theme in ("light", "dark"):
                for size_name, size in SIZES.items():
                    tag = f"mode{mode}-{theme}-{size_name}"
                    shot = os.path.join(out_dir, tag + ".png")
                    with temp_dir() as home:
                        r = run(build, env, home, {"QUENMRK_WELCOME": str(mode), "QUENMRK_SHOT": shot,
                                                   "QUENMRK_WINDOW": size, "QUENMRK_THEME": theme,
                                                   "QUENMRK_TEST_FRAMES": "4", "QUENMRK_SPLASH": "0"})
                    if not check(f"{tag} runs", r.returncode == 0 and os.path.exists(shot), r.stderr[-500:]):
                        continue
                    w = int(size.split("x")[0])
                    check(f"{tag} background", pixel(shot, w - 3, 757) == BACKGROUND[theme], pixel(shot, w - 3, 757))
                    reviewed = os.path.join(golden, tag + ".png")
                    if update:
                        # The program writes stored PNGs; the reviewed copies are squeezed.
                        from PIL import Image
                        with Image.open(shot) as im:
                            im.save(reviewed, optimize=True)
                        continue
                    diff = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", shot, reviewed, "null:"],
                                          capture_output=True, text=True).stderr.strip()
                    check(f"{tag} matches the reviewed copy", diff.isdigit() and int(diff) <= TOLERANCE, diff)
    finish()


if __name__ == "__main__":
    main()
