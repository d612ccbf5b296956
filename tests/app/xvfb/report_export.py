"""The program's headless report export on a fixture budget, with today
pinned by libfaketime: QUENMRK_EXPORT=pdf:... and xlsx:... write files that
pass the report oracle's checks, and an unwritable path fails with one line
on stderr while the budget and settings are still written."""
import json
import os
import shutil
import subprocess
import sys

from _shell import base_env, check, config, finish, pinned_clock, program, temp_dir, xvfb

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "oracles"))
import _exportlib  # noqa: E402
import export_report  # noqa: E402
import openpyxl  # noqa: E402

TODAY = "2026-03-15 10:00:00"


def export(build, env, home, target):
    e = base_env(env, home, dict(pinned_clock(TODAY), QUENMRK_EXPORT=target,
                                 ASAN_OPTIONS="detect_leaks=0:verify_asan_link_order=0"))
    return subprocess.run([program(build)], env=e, capture_output=True, text=True, timeout=120)


def with_budget(home):
    folder = os.path.join(config(home), "budgets", "local")
    os.makedirs(folder)
    budget = dict(export_report.MAIN, user={"selected_account_id": 1})
    with open(os.path.join(folder, "data.json"), "w") as f:
        json.dump(budget, f)


def written(home):
    return all(os.path.isfile(os.path.join(config(home), *p)) for p in
               (("settings.json",), ("budgets", "local", "data.json"), ("budgets", "local", "journal.json")))


def main():
    build = sys.argv[1]
    # The oracle's checks look the range up by fixture name.
    export_report.FIXTURES["program"] = export_report.FIXTURES["main"]
    with xvfb() as env:
        with temp_dir() as home:
            with_budget(home)
            paths = {k: os.path.join(home, f"march.{k}") for k in ("pdf", "xlsx")}
            for kind, path in paths.items():
                r = export(build, env, home, f"{kind}:{path}")
                check(f"export {kind} exits 0 with the file", r.returncode == 0 and os.path.isfile(path), r.stderr)
            if all(os.path.isfile(p) for p in paths.values()):
                wb = openpyxl.load_workbook(paths["xlsx"])
                export_report.check_workbook("program", paths["xlsx"], wb, "Checking")
                flat, counts = export_report.check_pdf_basics("program", paths["pdf"], wb)
                check("the March figures of Checking", counts == [9, 4, 1, 6, 2] and "$1,154.50" in flat, (counts, flat))
                check("the files pass the oracle's checks", not _exportlib.failures, _exportlib.failures)

        with temp_dir() as home:
            with_budget(home)
            blocker = os.path.join(home, "blocker")
            with open(blocker, "w") as f:
                f.write("x")
            r = export(build, env, home, f"pdf:{blocker}/march.pdf")
            lines = [line for line in r.stderr.splitlines() if line.startswith("Quenmark: export failed: ")]
            check("an unwritable path exits 1 with one line", r.returncode == 1 and len(lines) == 1, r.stderr)
            check("data.json and settings.json are still written", written(home))
    shutil.rmtree(_exportlib.WORK, ignore_errors=True)
    finish()


main()
