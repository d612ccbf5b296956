"""The Reports page under a private Xvfb server on a fixture budget with
today pinned by faketime: screenshots at content widths 901, 900 and 650 and
on the phone layout, light and dark, compared with the reviewed copies in
tests/golden/reports (refresh them with --update after looking at them);
then both exports driven through the file dialog by widget id with xdotool,
including the question before a file is replaced."""
import glob
import json
import os
import subprocess
import sys
import time

from _shell import (ReviewedShots, accept_terms, base_env, check, click_at, config, failures, finish, open_folder,
                    program, scaled, steady_rect, temp_dir, type_into, wait_for, xvfb)
from _procs import stop  # noqa: E402  (found through _shell's path)

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "oracles"))
import export_report  # noqa: E402

TODAY = "2026-03-15 10:00:00"
# From Debian's faketime package, in the machine's multiarch folder.
FAKETIME_LIB = (glob.glob("/usr/lib/*/faketime/libfaketime.so.1") or ["libfaketime.so.1"])[0]
# Window sizes whose content is 901, 900 and 650 wide (28 of margin a side),
# and a phone.
SHOTS = [("w901", "957x820", False), ("w900", "956x820", False), ("w650", "706x820", False),
         ("phone", "390x844", True)]
TOLERANCE = 200


def prepare(home):
    folder = config(home)
    os.makedirs(os.path.join(folder, "budgets", "local"))
    # The terms of this build are accepted, so the page itself shows.
    accept_terms(home)
    with open(os.path.join(folder, "budgets", "local", "data.json"), "w") as f:
        json.dump(dict(export_report.MAIN, user={"selected_account_id": 1}), f)


def command(build):
    return [program(build)]


def page_env(env, home, extra):
    # faketime's library is preloaded directly: the faketime command would
    # stand between us and the program, which would outlive a terminated wrapper.
    return base_env(env, home, dict({"QUENMRK_PAGE": "reports", "QUENMRK_SPLASH": "0",
                                     "LD_PRELOAD": FAKETIME_LIB, "FAKETIME": "@" + TODAY,
                                     "FAKETIME_DONT_FAKE_MONOTONIC": "1",
                                     "ASAN_OPTIONS": "detect_leaks=0:verify_asan_link_order=0"}, **extra))


def shots(build, source, env, update):
    taken = ReviewedShots(build, source, "reports", TOLERANCE, update)
    for tag, size, phone in SHOTS:
        for theme in ("light", "dark"):
            name = f"reports-{tag}-{theme}"
            extra = {"QUENMRK_WINDOW": size, "QUENMRK_THEME": theme, "QUENMRK_SHOT": taken.path(name)}
            if phone:
                extra["QUENMRK_PHONE"] = "1"
            with temp_dir() as home:
                prepare(home)
                r = subprocess.run(command(build), env=page_env(env, home, extra), capture_output=True, text=True,
                                   timeout=120)
            taken.took(name, r)
    taken.finish()


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
        log = open(os.path.join(home, "stderr.txt"), "w")
        p = subprocess.Popen(command(build), env=page_env(env, home, {
            "QUENMRK_WINDOW": "1280x820", "QUENMRK_TEST_WIDGETS": listing}),
                             stdout=subprocess.DEVNULL, stderr=log, text=True)
        try:
            if not check("the page shows its export buttons", wait_for(lambda: "rp-pdf" in listed(listing))):
                return
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "^Quenmark$"], env=env,
                                 capture_output=True, text=True, timeout=scaled(20)).stdout.split()[-1]

            def xdo(*args):
                subprocess.run(["xdotool", *args], env=env, check=True, timeout=scaled(20))

            def click(widget):
                # The pointer rests on the widget for a frame before the press.
                rect = steady_rect(listing, widget)
                if rect is None:
                    raise RuntimeError(f"no widget {widget!r}: {sorted(listed(listing))}")
                click_at(env, wid, rect, path=listing)

            def rows(ids=None):
                return sorted(i for i in (listed(listing) if ids is None else ids) if i.startswith("fe"))

            def save_through_dialog(button, name, ext):
                click(button)
                if not check(f"{button} opens the dialog", wait_for(lambda: "filedir" in listed(listing), 20)):
                    return False
                # The list shows the typed folder: only its files of this kind.
                shown = [f"fe{i}" for i, _ in enumerate(f for f in os.listdir(out) if f.endswith(ext))]
                typed = open_folder(env, wid, listing, out, lambda ids: rows(ids) == shown)
                if not check(f"the dialog lists {out}", typed, (rows(), shown)):
                    return False
                check(f"{name} typed into the file name", type_into(env, wid, listing, "filename", name))
                click("file-ok")
                return True

            pdf = os.path.join(out, "march.pdf")
            if save_through_dialog("rp-pdf", "march", ".pdf"):
                check("the PDF is written with its extension", wait_for(lambda: os.path.isfile(pdf), 20),
                      os.listdir(out))
                q = subprocess.run(["qpdf", "--check", pdf], capture_output=True, text=True)
                check("qpdf --check passes", q.returncode == 0, q.stdout + q.stderr)
                check("the dialog closed", wait_for(lambda: "filedir" not in listed(listing), 20))
                check("lastDir is that folder", wait_for(lambda: settings(home).get("lastDir") == out, 20),
                      settings(home).get("lastDir"))
                first = os.stat(pdf).st_mtime_ns

                # The same name again asks before replacing.
                save_through_dialog("rp-pdf", "march", ".pdf")
                # Nothing may be written meanwhile: a settle, not a deadline.
                time.sleep(scaled(1.0))
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
            if save_through_dialog("rp-xlsx", "march", ".xlsx"):
                check("the workbook is written", wait_for(lambda: os.path.isfile(xlsx), 20), os.listdir(out))
                r = subprocess.run(["/usr/bin/python3", "-c", "import openpyxl,sys; "
                                    "print(openpyxl.load_workbook(sys.argv[1]).sheetnames)", xlsx],
                                   capture_output=True, text=True)
                check("openpyxl reads it", r.returncode == 0 and "Summary" in r.stdout, r.stdout + r.stderr)
        finally:
            stop(p)
            log.close()
            if failures:
                with open(os.path.join(home, "stderr.txt")) as f:
                    print("the program's stderr:", f.read()[-3000:])


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    with xvfb() as env:
        shots(build, source, env, update)
        if not update:
            driven(build, env)
    finish()


main()
