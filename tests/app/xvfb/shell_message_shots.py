"""Screenshots of a toast whose text holds a path of 300 characters (a save
that fails under a long configuration folder), wrapped inside its card, and
of the message box in the dark theme (a budget with a folder in place of
data.json), compared with the reviewed goldens in tests/golden (refresh them
with --update). The configuration folders sit at fixed paths, so the texts
and the pictures are the same on every machine."""
import os
import shutil
import subprocess
import sys

from _shell import check, finish, run, temp_dir, xvfb

ROOT = "/tmp/qm-message-shots"
LONG = ROOT + "/" + "/".join(f"a-rather-long-folder-name-number-{i:02d}" for i in range(8))
SHOTS = ("shell_toast_long_path", "shell_message_dark")


def differing(a, b):
    r = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", a, b, "null:"], capture_output=True, text=True)
    try:
        return int(float(r.stderr.split()[0]))
    except (IndexError, ValueError):
        return -1


def shoot(build, env, home, name, cfg, theme):
    shot = os.path.join(home, name + ".png")
    r = run(build, env, home, {"XDG_CONFIG_HOME": cfg, "QUENMRK_THEME": theme, "QUENMRK_WINDOW": "900x640",
                               "QUENMRK_SHOT": shot, "QUENMRK_TEST_FRAMES": "6"})
    check(f"{name}: runs", r.returncode == 0 and os.path.exists(shot), r.stderr)
    return shot


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    shutil.rmtree(ROOT, ignore_errors=True)
    taken = []
    try:
        with xvfb() as env, temp_dir() as home:
            # "budgets" is a file: the new budget's first save fails and says where.
            long_cfg = os.path.join(LONG, "quenmrk")
            os.makedirs(long_cfg)
            open(os.path.join(long_cfg, "budgets"), "w").close()
            check("the path is 300 characters or more", len(long_cfg + "/budgets/local") >= 300,
                  len(long_cfg + "/budgets/local"))
            taken.append(shoot(build, env, home, SHOTS[0], LONG, "light"))
            dark = os.path.join(ROOT, "dark")
            os.makedirs(os.path.join(dark, "quenmrk", "budgets", "local", "data.json"))
            taken.append(shoot(build, env, home, SHOTS[1], dark, "dark"))
            for shot in taken:
                golden = os.path.join(source, "tests", "golden", os.path.basename(shot))
                if update:
                    from PIL import Image
                    with Image.open(shot) as im:
                        im.convert("RGB").save(golden, optimize=True)
                    continue
                count = differing(shot, golden)
                check(f"{os.path.basename(shot)} matches its golden", 0 <= count <= 200, count)
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
    finish()


main()
