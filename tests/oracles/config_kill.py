"""Settings and session files survive being killed mid-write: a child keeps
rewriting both with values that all follow from one counter, and is killed
with SIGKILL at random moments. Afterwards both files parse with Python's
strict JSON reader and each holds one whole write, and every file that holds
the token (temporary files included) is readable by its owner only, although
the child runs with umask 000."""
import os
import random
import signal
import stat
import subprocess
import sys
import time

from _crash_common import env_for, no_core, probe_path, scratch, strict_json

PROBE = probe_path()
RUNS = 300
SETTINGS_KEYS = ["themeMode", "darkTheme", "view", "uiScale", "checkUpdates", "lastUpdateCheck",
                 "skippedVersion", "crashReports", "server", "syncMinutes", "lastBudget", "windowW",
                 "windowH", "weekStartsMonday", "lastDir", "legalAccepted", "legalAcceptedAt"]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def settings_counter(doc, name):
    n = doc.get("syncMinutes")
    whole = (doc.order == SETTINGS_KEYS and isinstance(n, int) and doc["lastDir"] == f"dir-{n}"
             and doc["windowW"] == (1000 + n if n % 2 else 1280))
    check(whole, f"{name}: settings mixed: {dict(doc)}")
    return n


def session_counter(doc, name):
    n = doc.get("user_id")
    whole = (doc.order == ["email", "token", "user_id", "display_name", "signed_in_at"] and isinstance(n, int)
             and doc["email"] == f"user{n}@example.com" and doc["token"] == f"token-{n}"
             and doc["display_name"] == "n" * (n % 50))
    check(whole, f"{name}: session mixed: {dict(doc)}")
    return n


rng = random.Random(23)
with scratch() as root:
    folder = os.path.join(root, "cfg", "quenmrk")
    for run in range(RUNS):
        name = f"run {run}"
        start = run * 1000000
        child = subprocess.Popen([PROBE, "writer", str(start)], env=env_for(root), cwd=root, stdout=subprocess.PIPE,
                                 preexec_fn=no_core(0))
        if run % 3 == 0:
            # Sometimes before the first write is known to be done.
            time.sleep(rng.uniform(0, 0.004))
        else:
            child.stdout.readline()
            time.sleep(rng.uniform(0, 0.02))
        child.send_signal(signal.SIGKILL)
        child.wait()
        child.stdout.close()

        for entry in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            path = os.path.join(folder, entry)
            data = open(path, "rb").read()
            if b"token-" in data:
                mode = stat.S_IMODE(os.stat(path).st_mode)
                check(mode == 0o600, f"{name}: {entry} holds the token with mode {oct(mode)}")
        s_path, t_path = os.path.join(folder, "settings.json"), os.path.join(folder, "session.json")
        n_settings = n_session = None
        for path, read in ((s_path, settings_counter), (t_path, session_counter)):
            if not os.path.exists(path):
                # Only possible before the very first write has finished.
                check(run == 0, f"{name}: {os.path.basename(path)} vanished")
                continue
            try:
                doc = strict_json(open(path, "rb").read())
            except ValueError as e:
                check(False, f"{name}: {os.path.basename(path)} does not parse: {e}")
                continue
            if path == s_path:
                n_settings = read(doc, name)
            else:
                n_session = read(doc, name)
        if n_settings is not None and n_session is not None and min(n_settings, n_session) >= start:
            # Settings are written first in each round: the session is at most one behind.
            check(n_session in (n_settings, n_settings - 1),
                  f"{name}: settings {n_settings} and session {n_session} apart")

if failures:
    print("\n".join(failures[:40]))
    print(f"{len(failures)} failures")
    sys.exit(1)
print("settings and session: whole after", RUNS, "kills")
