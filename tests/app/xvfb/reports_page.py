"""The Reports page under a private Xvfb server on a fixture budget with
today pinned by faketime: screenshots at content widths 901, 900 and 650 and
on the phone layout, light and dark, compared with the reviewed copies in
tests/golden/reports (refresh them with --update after looking at them);
then both exports driven through the file dialog by widget id with xdotool,
including the question before a file is replaced."""
import json
import os
import shutil
import subprocess
import sys
import time

from _shell import base_env, check, config, finish, program, temp_dir, wait_for, xvfb

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "oracles"))
import export_report  # noqa: E402

TODAY = "2026-03-15 10:00:00"
# Window sizes whose content is 901, 900 and 650 wide (28 of margin a side),
# and a phone.
SHOTS = [("w901", "957x820", False), ("w900", "956x820", False), ("w650", "706x820", False),
         ("phone", "390x844", True)]
TOLERANCE = 200


def prepare(home):
    folder = config(home)
    os.makedirs(os.path.join(folder, "budgets", "local"))
    # The terms of this build are accepted, so the page itself shows.
    with open(os.path.join(folder, "settings.json"), "w") as f:
        json.dump({"legalAccepted": "1.1.0|2026-11-03", "legalAcceptedAt": 1.0}, f)
    with open(os.path.join(folder, "budgets", "local", "data.json"), "w") as f:
        json.dump(dict(export_report.MAIN, user={"selected_account_id": 1}), f)


def command(build):
    return ["faketime", TODAY, program(build)]


def page_env(env, home, extra):
    return base_env(env, home, dict({"QUENMRK_PAGE": "reports", "QUENMRK_SPLASH": "0",
                                     "FAKETIME_DONT_FAKE_MONOTONIC": "1",
                                     "ASAN_OPTIONS": "detect_leaks=0:verify_asan_link_order=0"}, **extra))


def shots(build, source, env, update):
    out_dir = os.path.join(build, "reports-shots")
    os.makedirs(out_dir, exist_ok=True)
    golden_dir = os.path.join(source, "tests", "golden", "reports")
    taken = []
    for tag, size, phone in SHOTS:
        for theme in ("light", "dark"):
            name = f"reports-{tag}-{theme}"
            shot = os.path.join(out_dir, name + ".png")
            extra = {"QUENMRK_WINDOW": size, "QUENMRK_THEME": theme, "QUENMRK_SHOT": shot}
            if phone:
                extra["QUENMRK_PHONE"] = "1"
            with temp_dir() as home:
                prepare(home)
                r = subprocess.run(command(build), env=page_env(env, home, extra), capture_output=True, text=True,
                                   timeout=120)
            if not check(f"{name} written", r.returncode == 0 and os.path.exists(shot), r.stderr[-1500:]):
                continue
            taken.append(shot)
            golden = os.path.join(golden_dir, name + ".png")
            if update:
                continue
            if not check(f"{name} has a reviewed copy", os.path.exists(golden)):
                continue
            c = subprocess.run(["compare", "-metric", "AE", "-fuzz", "2%", shot, golden, "null:"],
                               capture_output=True, text=True)
            diff = c.stderr.strip().split()[0] if c.stderr.strip() else "?"
            check(f"{name} matches its reviewed copy", diff.isdigit() and int(diff) <= TOLERANCE, diff)
    if update:
        os.makedirs(golden_dir, exist_ok=True)
        from PIL import Image
        for shot in taken:
            with Image.open(shot) as im:
                im.convert("RGB").save(os.path.join(golden_dir, os.path.basename(shot)), optimize=True)


def listed(path):
    try:
        with open(path) as f:
            return {w["id"]: w["rect"] for w in json.load(f)["widgets"]}
    except (OSError, ValueError, KeyError):
        return {}


def settings(home):
    with open(os.path.join(config(home), "settings.json")) as f:
        return json.load(f)


def driven(build, env):
    with temp_dir() as home:
        prepare(home)
        out = os.path.join(home, "out")
        os.makedirs(out)
        listing = os.path.join(home, "w.json")
        p = subprocess.Popen(command(build), env=page_env(env, home, {
            "QUENMRK_WINDOW": "1280x820", "QUENMRK_TEST_WIDGETS": listing}),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            if not check("the page shows its export buttons", wait_for(lambda: "rp-pdf" in listed(listing))):
                return
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "^Quenmark$"], env=env,
                                 capture_output=True, text=True, timeout=20).stdout.split()[-1]

            def xdo(*args):
                subprocess.run(["xdotool", *args], env=env, check=True, timeout=20)

            def click(widget):
                x, y, w, h = listed(listing)[widget]
                # The pointer rests on the widget for a frame before the press.
                xdo("mousemove", "--window", wid, str(int(x + w / 2)), str(int(y + h / 2)))
                time.sleep(0.15)
                xdo("click", "1")

            def field(widget, text, enter):
                # Keys reach the field once a frame has focused it.
                click(widget)
                time.sleep(0.3)
                xdo("key", "--clearmodifiers", "ctrl+a")
                time.sleep(0.1)
                xdo("type", "--delay", "60", text)
                time.sleep(0.2)
                if enter:
                    xdo("key", "Return")
                    time.sleep(0.3)

            def save_through_dialog(button, name):
                click(button)
                if not check(f"{button} opens the dialog", wait_for(lambda: "filedir" in listed(listing), 20)):
                    return False
                field("filedir", out, True)
                field("filename", name, False)
                click("file-ok")
                return True

            pdf = os.path.join(out, "march.pdf")
            if save_through_dialog("rp-pdf", "march"):
                check("the PDF is written with its extension", wait_for(lambda: os.path.isfile(pdf), 20),
                      os.listdir(out))
                q = subprocess.run(["qpdf", "--check", pdf], capture_output=True, text=True)
                check("qpdf --check passes", q.returncode == 0, q.stdout + q.stderr)
                check("the dialog closed", wait_for(lambda: "filedir" not in listed(listing), 20))
                check("lastDir is that folder", wait_for(lambda: settings(home).get("lastDir") == out, 20),
                      settings(home).get("lastDir"))
                first = os.stat(pdf).st_mtime_ns

                # The same name again asks before replacing.
                save_through_dialog("rp-pdf", "march")
                time.sleep(1.0)
                check("saving over it asks first", "filedir" in listed(listing) and os.stat(pdf).st_mtime_ns == first,
                      (sorted(listed(listing)), os.stat(pdf).st_mtime_ns - first, os.listdir(out)))
                click("file-ok")
                check("Replace writes it", wait_for(lambda: os.stat(pdf).st_mtime_ns != first, 20))
                check("and closes the dialog", wait_for(lambda: "filedir" not in listed(listing), 20))

                # Escape closes without a file.
                click("rp-pdf")
                wait_for(lambda: "filedir" in listed(listing), 20)
                before = sorted(os.listdir(out))
                xdo("key", "Escape")
                check("Escape closes the dialog", wait_for(lambda: "filedir" not in listed(listing), 20))
                check("and writes nothing", sorted(os.listdir(out)) == before, os.listdir(out))

            xlsx = os.path.join(out, "march.xlsx")
            if save_through_dialog("rp-xlsx", "march"):
                check("the workbook is written", wait_for(lambda: os.path.isfile(xlsx), 20), os.listdir(out))
                r = subprocess.run(["/usr/bin/python3", "-c", "import openpyxl,sys; "
                                    "print(openpyxl.load_workbook(sys.argv[1]).sheetnames)", xlsx],
                                   capture_output=True, text=True)
                check("openpyxl reads it", r.returncode == 0 and "Summary" in r.stdout, r.stdout + r.stderr)
        finally:
            p.terminate()
            try:
                p.wait(timeout=20)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    with xvfb() as env:
        shots(build, source, env, update)
        if not update:
            driven(build, env)
    finish()


main()
