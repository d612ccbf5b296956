"""The budget's files byte for byte around a start and a close of the real
program: an unchanged budget is not written at all, a budget holding members
this version does not know keeps them (also through an edit and a save), and
a budget from a newer version or a damaged one opens one message box and
stays untouched. Also: the modes of a fresh configuration folder under umask
022, and the refusal to start without a display."""
import hashlib
import json
import os
import subprocess
import sys

from _shell import check, config, finish, run, temp_dir, widgets, xvfb

FILES = ("data.json", "journal.json")
UNKNOWN = {"goal_id": 9, "tags": ["rent"], "note": {"by": "ann"}}


def stamps(folder):
    out = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        st = os.stat(path)
        out[name] = (digest, st.st_mtime_ns, st.st_ino)
    return out


def local(home):
    return os.path.join(config(home), "budgets", "local")


def seeded(build, env, home):
    """A budget the program made itself, so that opening it changes nothing."""
    r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2"})
    check("seeding start exits 0", r.returncode == 0, r.stderr)
    with open(os.path.join(local(home), "data.json")) as f:
        return json.load(f)


def start_and_close(build, env, home, extra=None):
    listing = os.path.join(home, "widgets.json")
    if os.path.exists(listing):
        os.remove(listing)
    r = run(build, env, home, dict({"QUENMRK_TEST_FRAMES": "4", "QUENMRK_TEST_WIDGETS": listing}, **(extra or {})))
    ids = [w["id"] for w in widgets(listing)["widgets"]] if os.path.exists(listing) else []
    return r, ids


def with_unknown_members(doc):
    doc = json.loads(json.dumps(doc))
    doc["transactions"] = [{"id": 3, "start_date": "2025-01-01", "amount": -5, "description": "Rent"}]
    doc["transaction_adjustments"] = [{"id": 4, "transaction_id": 3, "original_date": "2025-01-01"}]
    doc["running_total_adjustments"] = [{"id": 5, "date": "2025-01-01", "amount": 10}]
    for key in ("accounts", "categories", "icons", "transactions", "transaction_adjustments",
                "running_total_adjustments"):
        for record in doc[key]:
            record.update(UNKNOWN)
    doc["user"].update(UNKNOWN)
    return doc


def unknown_kept(doc):
    lists = [doc[k] for k in ("accounts", "categories", "icons", "transactions", "transaction_adjustments",
                              "running_total_adjustments")]
    return all(all(r.get(k) == v for k, v in UNKNOWN.items()) for records in lists for r in records
               if not r.get("is_demo")) and all(doc["user"].get(k) == v for k, v in UNKNOWN.items())


def unchanged(build, env):
    with temp_dir() as home:
        seeded(build, env, home)
        before = stamps(local(home))
        r, _ = start_and_close(build, env, home)
        check("unchanged budget: exits 0", r.returncode == 0, r.stderr)
        check("unchanged budget: no write at start or close (sha256, mtime, inode)",
              stamps(local(home)) == before, (before, stamps(local(home))))


def unknown_members(build, env):
    with temp_dir() as home:
        doc = with_unknown_members(seeded(build, env, home))
        with open(os.path.join(local(home), "data.json"), "w") as f:
            json.dump(doc, f)
        before = stamps(local(home))
        r, ids = start_and_close(build, env, home)
        check("unknown members: opens without a message", r.returncode == 0 and "qmmsg-ok" not in ids, r.stderr)
        check("unknown members: files untouched by a start and a close", stamps(local(home)) == before)
        # Demo data is an edit: the budget is saved at the close.
        r, _ = start_and_close(build, env, home, {"QUENMRK_DEMO": "1"})
        with open(os.path.join(local(home), "data.json")) as f:
            saved = json.load(f)
        check("unknown members: saved after an edit", stamps(local(home)) != before and r.returncode == 0, r.stderr)
        check("unknown members: still there after the save", unknown_kept(saved), saved["transactions"][:2])


def refused(build, env):
    amount = {"value": 3100, "currency": "EUR"}
    cases = [
        ("an unknown op", None, [{"seq": 1, "op": "archive", "entity": "goal", "id": 7, "data": None, "at": 1}]),
        ("an unknown entity", None, [{"seq": 1, "op": "create", "entity": "goal", "id": 7, "data": {}, "at": 1}]),
        ("an object amount", lambda d: d["transactions"].append({"id": 3, "start_date": "2025-01-01",
                                                                 "amount": amount}), None),
        ("a damaged data.json", '{"accounts": [', None),
        ("a damaged journal.json", None, '[{"seq": 1,'),
    ]
    for name, data, journal in cases:
        with temp_dir() as home:
            doc = seeded(build, env, home)
            folder = local(home)
            if callable(data):
                data(doc)
                data = doc
            for file, content in (("data.json", data), ("journal.json", journal)):
                if content is not None:
                    with open(os.path.join(folder, file), "w") as f:
                        f.write(content if isinstance(content, str) else json.dumps(content))
            before = stamps(folder)
            r, ids = start_and_close(build, env, home)
            check(f"{name}: exits 0", r.returncode == 0, r.stderr)
            check(f"{name}: one message box", ids.count("qmmsg-ok") == 1, ids)
            check(f"{name}: no save reported", "could not save" not in r.stderr, r.stderr)
            check(f"{name}: files unchanged (sha256, mtime, inode)", stamps(folder) == before,
                  (before, stamps(folder)))
            reports = os.path.join(config(home), "crash-reports")
            check(f"{name}: no crash report", not os.path.isdir(reports) or not os.listdir(reports))


def private_folders(build, env):
    with temp_dir() as home:
        old = os.umask(0o022)
        try:
            r = run(build, env, home, {"QUENMRK_TEST_FRAMES": "2"})
        finally:
            os.umask(old)
        check("fresh folder: exits 0", r.returncode == 0, r.stderr)
        cfg = config(home)
        listing = subprocess.run(["ls", "-lR", cfg], capture_output=True, text=True).stdout
        print(listing)
        modes = {os.path.relpath(os.path.join(d, n), cfg): os.stat(os.path.join(d, n)).st_mode & 0o777
                 for d, dirs, files in os.walk(cfg) for n in dirs + files}
        folders = {"budgets", "budgets/local"}
        files = {"budgets/local/data.json", "budgets/local/journal.json", "settings.json"}
        check("fresh folder: the configuration folder is 0700", os.stat(cfg).st_mode & 0o777 == 0o700)
        check("fresh folder: budget folders 0700", all(modes.get(f) == 0o700 for f in folders), modes)
        check("fresh folder: budget and settings files 0600", all(modes.get(f) == 0o600 for f in files), modes)
        check("fresh folder: nothing readable by others", all(m & 0o077 == 0 for m in modes.values()), modes)


def no_display(build):
    with temp_dir() as home:
        r = subprocess.run([os.path.join(build, "quenmrk")], env={"PATH": "/usr/bin:/bin", "HOME": home,
                                                               "ASAN_OPTIONS": "detect_leaks=0"},
                           capture_output=True, text=True, timeout=60)
        line = "Quenmark needs a graphical session: set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland)."
        check("no display: exits 1", r.returncode == 1, r.returncode)
        check("no display: says what is missing, with each back end's reason",
              r.stderr.startswith(line) and "DISPLAY is not set" in r.stderr, r.stderr)
        check("no display: no crash-reports folder",
              not os.path.exists(os.path.join(home, ".config", "quenmrk", "crash-reports")), os.listdir(home))


def main():
    build = sys.argv[1]
    no_display(build)
    with xvfb() as env:
        unchanged(build, env)
        unknown_members(build, env)
        refused(build, env)
        private_folders(build, env)
    finish()


main()
