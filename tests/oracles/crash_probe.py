"""Crash reports written for real failures, read back with Python's strict
JSON reader: each fatal signal and an uncaught exception, on the main thread
and on a worker, leave exactly one owner-only report and the fixed line on
standard error, and end the process the way the failure would have; a crash
racing the action trail still leaves a whole report."""
import os
import random
import signal
import stat
import subprocess
import sys

from _crash_common import env_for, no_core, probe_path, scratch, strict_json

PROBE = probe_path()
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


SIGNAL_LINES = {
    "SIGSEGV": "Illegal storage access (attempt to read from nil?)",
    "SIGABRT": "Abnormal termination",
    "SIGFPE": "Arithmetic error",
    "SIGILL": "Illegal operation",
}
BASE_KEYS = ["format", "format_version", "id", "app_version", "os", "os_version", "arch",
             "install", "gpu", "started"]

# case, the signal it ends by (None: exit status 1), the report's kind and error type
CASES = [
    ("segv", signal.SIGSEGV, "signal", "SIGSEGV"),
    ("abrt", signal.SIGABRT, "signal", "SIGABRT"),
    ("fpe", signal.SIGFPE, "signal", "SIGFPE"),
    ("ill", signal.SIGILL, "signal", "SIGILL"),
    ("exception", None, "exception", "qm::ValueError"),
    ("second", signal.SIGSEGV, "exception", "qm::ValueError"),
    ("double", signal.SIGSEGV, "signal", "SIGSEGV"),
]


class Result:
    pass


def run(args, env, cwd, umask=None):
    p = subprocess.Popen([PROBE] + args, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         preexec_fn=no_core(umask))
    r = Result()
    r.stdout, r.stderr = p.communicate(timeout=60)
    r.returncode, r.pid = p.returncode, p.pid
    return r


def reports_in(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def check_case(case, where, sig, kind, error_type):
    name = f"{case}/{where}"
    with scratch() as root:
        env = env_for(root)
        r = run(["case", case, where], env, root, umask=0)
        expected_rc = -sig if sig is not None else 1
        check(r.returncode == expected_rc, f"{name}: status {r.returncode}, wanted {expected_rc}")

        folder = os.path.join(root, "cfg", "quenmrk", "crash-reports")
        files = reports_in(folder)
        if not check(files == [f"crash-{r.pid}.json"], f"{name}: reports {files}"):
            return
        path = os.path.join(folder, files[0])
        check(stat.S_IMODE(os.stat(path).st_mode) == 0o600, f"{name}: report mode {oct(os.stat(path).st_mode)}")
        check(stat.S_IMODE(os.stat(folder).st_mode) == 0o700, f"{name}: folder mode")
        data = open(path, "rb").read()
        try:
            report = strict_json(data)
        except ValueError as e:
            check(False, f"{name}: report does not parse: {e}: {data[:200]!r}")
            return

        stderr = r.stderr.decode("utf-8", "replace")
        if sig is not None:
            line = f"Quenmark: {signal.Signals(sig).name}: {SIGNAL_LINES[signal.Signals(sig).name]}\n"
            lines = stderr.splitlines(keepends=True)
            check(len(lines) >= 1 and all(l == line for l in lines), f"{name}: stderr {stderr!r}")
        else:
            # The line is scrubbed as the report is: no home folder, no address.
            line = "Quenmark: unhandled exception: qm::ValueError: cannot open ~/<path>.json for <email>\n"
            check(stderr == line, f"{name}: stderr {stderr!r}")

        check(report.order[:len(BASE_KEYS)] == BASE_KEYS, f"{name}: keys {report.order}")
        check(report["format"] == "quenmrk-crash-report" and report["format_version"] == 1, f"{name}: format")
        check(report["trail"] == ["Button: Save", "Window: Settings"], f"{name}: trail {report['trail']}")
        check(report.get("kind") == kind and report.get("error_type") == error_type,
              f"{name}: kind {report.get('kind')} {report.get('error_type')}")
        if kind == "signal":
            check(data.count(b"\n") == 1 and data.endswith(b"}\n"), f"{name}: not one line")
            check("time" not in report and "stack" not in report, f"{name}: time or stack in a signal report")
            check(report.order[-3:] == ["kind", "error_type", "message"], f"{name}: tail {report.order}")
            check(report["message"] == SIGNAL_LINES[error_type], f"{name}: message")
        else:
            check(data.endswith(b"}\n") and b'\n  "kind": "exception",\n' in data, f"{name}: not indented")
            check("time" in report, f"{name}: no time")
            message = report.get("message", "")
            if case == "exception":
                check(message == "cannot open ~/<path>.json for <email>", f"{name}: not scrubbed: {message!r}")
                check(len(report.get("stack", "").splitlines()) >= 2, f"{name}: no stack")
            else:
                check(message == "first failure", f"{name}: message {message!r}")
        check(root not in data.decode("utf-8"), f"{name}: the home folder leaked")


for case, sig, kind, error_type in CASES:
    for where in ("main", "worker"):
        check_case(case, where, sig, kind, error_type)

# Nothing can be written: the configuration folder's parent is a file.
for case, sig in (("segv", signal.SIGSEGV), ("exception", None)):
    with scratch() as root:
        blocker = os.path.join(root, "not-a-folder")
        open(blocker, "w").write("x")
        r = run(["case", case, "main"], env_for(root, blocker), root)
        check(r.returncode == (-sig if sig else 1), f"unwritable {case}: status {r.returncode}")
        first = r.stderr.decode().splitlines()[:1]
        check(first and first[0].startswith("Quenmark: "), f"unwritable {case}: stderr {r.stderr!r}")
        check(sorted(os.listdir(root)) == ["not-a-folder"], f"unwritable {case}: wrote {os.listdir(root)}")

# Reports with bytes that are not UTF-8 in the trail, in both renderings.
with scratch() as root:
    r = run(["render"], env_for(root), root)
    check(r.returncode == 0, f"render: status {r.returncode}")
    indented, compact = r.stdout.split(b"\x1e\n")
    for label, text in (("indented", indented), ("compact", compact)):
        try:
            doc = strict_json(text)
            check(len(doc["trail"]) == 3, f"render {label}: trail {doc['trail']}")
            check(all(len(e) <= 120 for e in doc["trail"]), f"render {label}: long entry")
            check("\ufffd" in doc["trail"][2], f"render {label}: no replacement character")
        except ValueError as e:
            check(False, f"render {label}: {e}")

# A crash at a random moment while the main thread keeps adding to the trail.
STRESS_RUNS = 300
seeds = random.Random(11)
for run_index in range(STRESS_RUNS):
    seed = seeds.randrange(1 << 30)
    with scratch() as root:
        r = run(["stress", str(seed)], env_for(root), root)
        name = f"stress {seed}"
        if not check(r.returncode == -signal.SIGSEGV, f"{name}: status {r.returncode}"):
            continue
        folder = os.path.join(root, "cfg", "quenmrk", "crash-reports")
        files = reports_in(folder)
        if not check(len(files) == 1, f"{name}: reports {files}"):
            continue
        data = open(os.path.join(folder, files[0]), "rb").read()
        try:
            report = strict_json(data)
        except ValueError as e:
            check(False, f"{name}: does not parse: {e}")
            continue
        trail = report["trail"]
        numbers = []
        for entry in trail:
            parts = entry.split(" ")
            ok = len(parts) == 3 and parts[0] == "entry" and parts[1].isdigit() and \
                parts[2] == "x" * (int(parts[1]) % 97)
            check(ok, f"{name}: torn entry {entry!r}")
            if ok:
                numbers.append(int(parts[1]))
        whole = numbers == list(range(numbers[0], numbers[0] + len(numbers))) if numbers else True
        check(whole and len(trail) <= 30, f"{name}: trail not whole: {numbers}")
        check(not numbers or len(numbers) == min(30, numbers[-1] + 1), f"{name}: trail lost entries {numbers}")

if failures:
    print("\n".join(failures[:40]))
    print(f"{len(failures)} failures")
    sys.exit(1)
print("crash reports: all cases and", STRESS_RUNS, "stress runs passed")
