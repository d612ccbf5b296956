"""The statement import and the OFX export under a private Xvfb server, today
pinned by faketime: a statement is chosen through the file dialog by widget
id with xdotool, its duplicate left out and the rest committed, and the
budget files are read back; then the headless OFX export is checked with
ofxdump and python3-ofxparse. A screenshot of the review step goes to
BUILD/import-shots for review."""
import datetime
import glob
import json
import os
import re
import subprocess
import sys
import time

from _shell import (accept_terms, base_env, check, click_at, config, failures, finish, open_folder, program, scaled,
                    steady_rect, temp_dir, wait_for, xvfb)
from _procs import stop  # noqa: E402  (found through _shell's path)

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "oracles"))
import export_report  # noqa: E402

TODAY = "2026-03-15 10:00:00"
FAKETIME_LIB = (glob.glob("/usr/lib/*/faketime/libfaketime.so.1") or ["libfaketime.so.1"])[0]
# The second line is the budget's "Mystery" of 2026-03-12.
LINES = [("20260305", "-23.10", "Hardware store"), ("20260312", "-12.34", "Mystery"),
         ("20260308", "-61.00", "Pharmacy")]


def statement():
    body = "".join(f"<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>{d}<TRNAMT>{a}<FITID>B{i}<NAME>{n}</STMTTRN>\n"
                   for i, (d, a, n) in enumerate(LINES))
    return ("OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n"
            + body + "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n")


def prepare(home):
    folder = config(home)
    os.makedirs(os.path.join(folder, "budgets", "local"))
    accept_terms(home)
    budget = dict(export_report.MAIN, user={"selected_account_id": 1, "default_account_id": 2})
    with open(os.path.join(folder, "budgets", "local", "data.json"), "w") as f:
        json.dump(budget, f)


def page_env(env, home, extra):
    return base_env(env, home, dict({"QUENMRK_PAGE": "import", "QUENMRK_SPLASH": "0",
                                     "LD_PRELOAD": FAKETIME_LIB, "FAKETIME": "@" + TODAY,
                                     "FAKETIME_DONT_FAKE_MONOTONIC": "1",
                                     "ASAN_OPTIONS": "detect_leaks=0:verify_asan_link_order=0"}, **extra))


def listed(path):
    try:
        with open(path) as f:
            return {w["id"]: w["rect"] for w in json.load(f)["widgets"]}
    except (OSError, ValueError, KeyError):
        return {}


def budget_file(home, name):
    with open(os.path.join(config(home), "budgets", "local", name)) as f:
        return json.load(f)


def imported(build, env, size="1280x820", commit=True):
    with temp_dir() as home:
        prepare(home)
        statements = os.path.join(home, "statements")
        os.makedirs(statements)
        with open(os.path.join(statements, "march.qfx"), "w") as f:
            f.write(statement())
        with open(os.path.join(statements, "notes.txt"), "w") as f:
            f.write("not a statement")
        listing = os.path.join(home, "w.json")
        shots = os.path.join(build, "import-shots")
        os.makedirs(shots, exist_ok=True)
        log = open(os.path.join(home, "stderr.txt"), "w")
        p = subprocess.Popen([program(build)], env=page_env(env, home, {
            "QUENMRK_WINDOW": size, "QUENMRK_TEST_WIDGETS": listing}),
                             stdout=subprocess.DEVNULL, stderr=log, text=True)
        try:
            if not check("the first step shows its button", wait_for(lambda: "ie-choose" in listed(listing))):
                return
            wid = subprocess.run(["xdotool", "search", "--sync", "--name", "^Quenmark$"], env=env,
                                 capture_output=True, text=True, timeout=scaled(20)).stdout.split()[-1]

            def xdo(*args):
                subprocess.run(["xdotool", *args], env=env, check=True, timeout=scaled(20))

            def shot(name):
                time.sleep(0.3)
                subprocess.run(["import", "-window", wid, os.path.join(shots, name + ".png")], env=env, timeout=30)

            def click(widget, times=1):
                rect = steady_rect(listing, widget)
                if rect is None:
                    raise RuntimeError(f"no widget {widget!r}: {sorted(listed(listing))}")
                click_at(env, wid, rect, "--repeat", str(times), "--delay", "80", "1", path=listing)

            shot("choose")
            click("ie-choose")
            if not check("Choose File opens the dialog", wait_for(lambda: "filedir" in listed(listing), 20)):
                return
            # Only the statement passes the dialog's filters.
            if not check("the dialog lists the statement alone",
                         open_folder(env, wid, listing, statements, lambda ids: "fe0" in ids and "fe1" not in ids),
                         sorted(listed(listing))):
                return
            click("fe0", 2)
            chips = ("ie-b-all", "ie-b-new", "ie-b-dup")
            if not check("the review shows Total, New and Duplicate",
                         wait_for(lambda: all(c in listed(listing) for c in chips), 20), sorted(listed(listing))):
                return
            shot("review" if commit else "review-" + size)
            if not commit:
                return
            click("ie-deseldup")
            click("ie-confirm")
            if check("the summary step follows", wait_for(lambda: "ie-another" in listed(listing), 20)):
                shot("complete")
        finally:
            stop(p)
            log.close()
            if failures:
                with open(os.path.join(home, "stderr.txt")) as f:
                    print("the program's stderr:", f.read()[-3000:])
        if not commit:
            return
        data = budget_file(home, "data.json")
        got = sorted((t["start_date"], t["amount"], t["description"], t.get("account") or None)
                     for t in data["transactions"] if t["description"] in ("Hardware store", "Pharmacy", "Mystery"))
        want = [("2026-03-05", -23.1, "Hardware store", "Savings"), ("2026-03-08", -61.0, "Pharmacy", "Savings"),
                ("2026-03-12", -12.34, "Mystery", None)]
        check("data.json holds the two new lines with the default account", got == want, got)
        journal = budget_file(home, "journal.json")
        created = [op for op in journal if op.get("op") == "create" and op.get("entity") == "transaction"]
        names = sorted(op.get("data", {}).get("description") for op in created)
        check("journal.json holds their creates", names == ["Hardware store", "Pharmacy"], journal[-3:])


def exported(build, env):
    with temp_dir() as home:
        prepare(home)
        out = os.path.join(home, "plan.ofx")
        e = page_env(env, home, {"QUENMRK_EXPORT": "ofx:" + out, "TZ": "Asia/Kolkata"})
        # The server time is the real clock's, so the export runs unpinned.
        for k in ("LD_PRELOAD", "FAKETIME"):
            e.pop(k, None)
        r = subprocess.run([program(build)], env=e, capture_output=True, text=True, timeout=120)
        if not check("the headless OFX export writes the file", r.returncode == 0 and os.path.isfile(out),
                     r.stderr[-1500:]):
            return
        text = open(out).read()
        today = datetime.date.today()
        first = today.replace(day=1)
        month = first.month + 3
        last = first.replace(year=first.year + (month - 1) // 12, month=(month - 1) % 12 + 1)
        # Salary and rent monthly over the range; the other three are March's.
        expected = 0
        d = first
        while d <= last:
            if d.day == 1 and d >= datetime.date(2026, 1, 1):
                expected += 1
            if d.day == 3 and datetime.date(2026, 1, 3) <= d <= datetime.date(2026, 8, 3):
                expected += 1
            d += datetime.timedelta(days=1)
        for when in ("2026-03-10", "2026-03-12", "2026-03-14"):
            if first <= datetime.date.fromisoformat(when) <= last:
                expected += 1
        dump = subprocess.run(["ofxdump", out], capture_output=True, text=True, timeout=60)
        listed_count = len(re.findall(r"Financial institution.s ID for this transaction", dump.stdout + dump.stderr))
        check("ofxdump lists every occurrence of the range", listed_count == expected,
              (listed_count, expected, dump.stdout[-600:], dump.stderr[-600:]))
        parse = subprocess.run(["/usr/bin/python3", "-c", "import ofxparse,sys\n"
                                "o = ofxparse.OfxParser.parse(open(sys.argv[1], 'rb'))\n"
                                "print(' '.join(t.id for t in o.account.statement.transactions))", out],
                               capture_output=True, text=True, timeout=60)
        ids = parse.stdout.split()
        check("ofxparse reads FITIDs 1 to N", ids == [str(i) for i in range(1, expected + 1)],
              (ids, parse.stderr[-800:]))
        stamp = re.search(r"<DTSERVER>(\d{14})", text)
        now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
        ok = stamp and abs((datetime.datetime.strptime(stamp.group(1), "%Y%m%d%H%M%S") - now).total_seconds()) < 60
        check("DTSERVER is the UTC time", bool(ok), stamp.group(1) if stamp else text[:400])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        imported(build, env)
        # The compact rows, for review.
        imported(build, env, "420x860", False)
        exported(build, env)
    finish()


main()
