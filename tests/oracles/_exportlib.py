"""Shared steps of the export oracle checks: the test tool, failures, xmllint."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

BUILD = sys.argv[1]
TOOL = os.path.join(BUILD, "tools", "exporttool")
failures = []
WORK = tempfile.mkdtemp(prefix="qm-export-oracle-")


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def check(condition, message):
    if not condition:
        fail(message)


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, **kw)


def tool(*args):
    result = run([TOOL, *args])
    if result.returncode != 0:
        fail(f"exporttool {args[0]}: exit {result.returncode}: {result.stderr[-2000:]!r}")
        return False
    return True


def write_json(name, value):
    path = os.path.join(WORK, name)
    with open(path, "w") as f:
        json.dump(value, f)
    return path


def xmllint_ok(tag, path):
    result = run(["xmllint", "--noout", path])
    check(result.returncode == 0 and not result.stderr, f"{tag}: xmllint: {result.stderr[-1000:]!r}")


def finish(what):
    shutil.rmtree(WORK, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failures")
        sys.exit(1)
    print(f"{what}: all checks passed")
