"""Named checks for the window test scripts: each prints a line, failures
are gathered and finish() turns them into the exit status."""
import sys

failures = []


def check(name, ok, detail=""):
    print(("ok " if ok else "FAIL ") + name + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(name)
    return ok


def finish():
    """Exits with status 1 when any check failed."""
    if failures:
        print("FAILED:", ", ".join(failures))
        sys.exit(1)
    print("all checks passed")
