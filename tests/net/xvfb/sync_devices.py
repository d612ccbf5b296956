"""Two devices of one account under Xvfb against the functional test service:
two configuration folders, one program at a time. The store tool edits a
closed budget folder as the program would (journaled), a run lasts until the
budget is in step with the service (journal.json "[]" and the service's etag)
and ends by WM_DELETE_WINDOW. Then runs killed at random moments of their
sync: the files always parse and in the end nothing is missing or doubled.

QM_SLOW_TESTS=1 runs the kill loop 300 times instead of 20."""
import collections
import json
import os
import random
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import accept_terms, base_env, check, close_window, config, finish, program, temp_dir, wait_for, xvfb  # noqa: E402
from _service_fixture import TestService  # noqa: E402

EMAIL, PASSWORD = "sam@example.test", "correct horse"
LISTS = ("accounts", "categories", "transactions", "transaction_adjustments", "running_total_adjustments")
SLOW = os.environ.get("QM_SLOW_TESTS") == "1"


def read_json(path):
    with open(path) as f:
        return json.load(f)


class Device:
    """One configuration folder and the program run on it."""

    def __init__(self, build, env, svc, uid, home):
        self.build, self.env, self.svc, self.uid, self.home = build, env, svc, uid, home
        self.folder = os.path.join(config(home), "budgets", str(uid))

    def store(self, *lines):
        """Edits the closed budget folder; one tab-separated command a line."""
        tool = os.path.join(self.build, "tools", "storetool")
        out = subprocess.run([tool, self.folder, "-"], input="\n".join("\t".join(map(str, w)) for w in lines),
                             capture_output=True, text=True, timeout=60)
        if out.returncode != 0:
            raise RuntimeError(out.stderr)

    def data(self):
        return read_json(os.path.join(self.folder, "data.json"))

    def journal(self):
        return read_json(os.path.join(self.folder, "journal.json"))

    def in_step(self):
        try:
            return self.journal() == [] and self.data()["meta"]["etag"] == self.svc.control(
                "budget", user_id=self.uid)["etag"]
        except (OSError, ValueError, KeyError):
            return False

    def start(self, sign_in=False):
        extra = {**self.svc.client_env(), "QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "700x500"}
        if sign_in:
            extra.update({"QUENMRK_TEST_AUTH": "1", "QUENMRK_TEST_EMAIL": EMAIL, "QUENMRK_TEST_PASSWORD": PASSWORD})
        accept_terms(self.home)
        return subprocess.Popen([program(self.build)], env=base_env(self.env, self.home, extra),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def sync_run(self, sign_in=False, timeout=90):
        """A run until the budget is in step with the service, closed as a window manager would."""
        began = time.monotonic()
        proc = self.start(sign_in)
        synced = wait_for(lambda: self.in_step() or proc.poll() is not None, timeout) and proc.poll() is None
        window = []

        def shown():
            window[:] = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quenmark$"], env=self.env,
                                       capture_output=True, text=True, timeout=30).stdout.split()
            return bool(window)

        if wait_for(lambda: shown() or proc.poll() is not None, 30) and window:
            close_window(self.env, window[-1:])
        try:
            code = proc.wait(30)
        except subprocess.TimeoutExpired:
            proc.kill()
            code = proc.wait()
        err = proc.stderr.read()
        proc.stderr.close()
        if not (synced and code == 0):
            print(err[-3000:])
        return synced and code == 0, time.monotonic() - began


def service_budget(svc, uid):
    return svc.control("budget", user_id=uid)


def same_as_service(device, svc):
    theirs, ours = service_budget(svc, device.uid), device.data()
    diff = [name for name in LISTS if ours[name] != theirs["budget"][name]]
    if ours["meta"]["etag"] != theirs["etag"]:
        diff.append("etag")
    return diff


def amounts(budget):
    """Description -> the amounts of the transactions that have it."""
    out = collections.defaultdict(list)
    for t in budget["transactions"]:
        out[t["description"]].append(t["amount"])
    return out


def two_devices(a, b, svc):
    ok, _ = a.sync_run(sign_in=True)
    check("A signs in and syncs", ok)
    a.store(*[("add", f"T{i}", -i) for i in range(1, 51)], ("anchor", "2025-03-01", 1500))
    ok, _ = a.sync_run()
    check("A uploads 50 transactions and an anchor", ok and len(service_budget(svc, a.uid)["budget"]["transactions"])
          == 50)
    ok, _ = b.sync_run(sign_in=True)
    theirs = service_budget(svc, b.uid)["budget"]
    check("B signs in and gets them", ok and len(b.data()["transactions"]) == 50, ok)
    check("no default record doubled", len(theirs["categories"]) == 11 and len(theirs["accounts"]) == 7,
          (len(theirs["categories"]), len(theirs["accounts"])))
    check("B is the service's budget", same_as_service(b, svc) == [], same_as_service(b, svc))

    # Offline on both; then B, A, B.
    a.store(("amount", "T1", -111), ("delete", "T2"))
    b.store(("amount", "T3", -333), ("add", "T4b", -44), ("amount", "T1", -222))
    results = [b.sync_run()[0], a.sync_run()[0], b.sync_run()[0]]
    check("B, A, B each end in step", results == [True, True, True], results)
    for name, device in (("A", a), ("B", b)):
        check(f"{name} equals the service, etag too", same_as_service(device, svc) == [],
              same_as_service(device, svc))
    got = amounts(service_budget(svc, a.uid)["budget"])
    check("T2 is gone everywhere", "T2" not in got, got.get("T2"))
    check("T1 is A's: the later upload wins", got.get("T1") == [-111], got.get("T1"))
    check("B's change and addition are there once", got.get("T3") == [-333] and got.get("T4b") == [-44],
          (got.get("T3"), got.get("T4b")))


def kill_loop(device, svc, runs, window):
    """Each run is killed at a random moment of its sync; edits go in between."""
    rng = random.Random(54)
    expected = {t: a[0] for t, a in amounts(device.data()).items()}
    broken = []
    for i in range(runs):
        edits, mine = [], [t for t in expected if t.startswith("K")]
        for j in range(rng.randint(1, 3)):
            roll = rng.random()
            if mine and roll < 0.25:
                name = rng.choice(mine)
                edits.append(("delete", name))
                del expected[name]
                mine.remove(name)
            elif mine and roll < 0.5:
                name = rng.choice(mine)
                expected[name] = -float(rng.randint(1, 999))
                edits.append(("amount", name, expected[name]))
            else:
                name = f"K{i}-{j}"
                expected[name] = -float(rng.randint(1, 999))
                edits.append(("add", name, expected[name]))
                mine.append(name)
        device.store(*edits)
        proc = device.start()
        time.sleep(rng.uniform(0, window))
        proc.kill()
        proc.wait()
        proc.stderr.close()
        try:
            device.data()
            device.journal()
        except ValueError as e:
            broken.append((i, str(e)))
    check(f"{runs} killed runs: data.json and journal.json always parse", not broken, broken[:3])
    ok, _ = device.sync_run()
    check("a clean run after the kills ends in step", ok)
    got = amounts(service_budget(svc, device.uid)["budget"])
    wrong = {t: (got.get(t), a) for t, a in expected.items() if got.get(t) != [a]}
    extra = sorted(set(got) - set(expected))
    check("nothing missing or doubled, every amount the last one", not wrong and not extra, (wrong, extra))
    check("the device equals the service", same_as_service(device, svc) == [], same_as_service(device, svc))


def killed_while_stalled(device, svc):
    device.store(("add", "Stalled", -9))
    svc.control("fault", path="sync", stall=True)
    proc = device.start()
    stalled = wait_for(lambda: svc.control("stalled")["count"] == 1, 60)
    proc.kill()
    proc.wait()
    proc.stderr.close()
    svc.control("release")
    ok, _ = device.sync_run()
    got = amounts(service_budget(svc, device.uid)["budget"])
    check("SIGKILL while the sync stalls, then a restart: once on the service",
          stalled and ok and got.get("Stalled") == [-9], (stalled, ok, got.get("Stalled")))
    check("and the device equals the service", same_as_service(device, svc) == [], same_as_service(device, svc))


def main():
    build = sys.argv[1]
    with TestService() as svc, xvfb() as env, temp_dir() as home_a, temp_dir() as home_b:
        uid = svc.control("user", email=EMAIL, password=PASSWORD, verified=True)["id"]
        a = Device(build, env, svc, uid, home_a)
        b = Device(build, env, svc, uid, home_b)
        try:
            two_devices(a, b, svc)
            killed_while_stalled(a, svc)
            _, took = a.sync_run()
            kill_loop(a, svc, 300 if SLOW else 20, took)
        finally:
            from _shell import failures
            svc.failed = bool(failures)
    finish()


if __name__ == "__main__":
    main()
