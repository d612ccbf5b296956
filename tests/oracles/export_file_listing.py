"""The file dialog's folder listing against Python's own directory walk, on
generated folders: names in mixed case, digits, spaces and UTF-8, prefixes of
one another, hidden names, folders, links to folders and files, dangling
links, pipes, sockets and a link to a device, with and without filters; and
a folder another user may not read, listed as nobody."""
import os
import random
import shutil
import socket
import stat

import _exportlib
from _exportlib import TOOL, WORK, check, fail, run

PIECES = ["a", "A", "b", "Z", "z", "_", "-", "0", "9", " ", "é", "É", "ß", "statement", "STATEMENT", "report"]
EXTENSIONS = ["", ".ofx", ".OFX", ".Qfx", ".qfx", ".pdf", ".PDF", ".txt", ".ofx.bak", "."]


def random_name(rng):
    base = "".join(rng.choice(PIECES) for _ in range(rng.randint(1, 4)))
    return base + rng.choice(EXTENSIONS)


def make_folder(rng, path):
    os.makedirs(path)
    made = set()
    for _ in range(70):
        name = random_name(rng)
        if rng.random() < 0.1:
            name = "." + name
        if name in made or name in (".", ".."):
            continue
        made.add(name)
        full = os.path.join(path, name)
        kind = rng.choice(["file"] * 6 + ["dir"] * 2 + ["dirlink", "filelink", "dangling", "fifo", "socket", "dev"])
        if kind == "file":
            with open(full, "wb") as f:
                f.write(b"x" * rng.randint(0, 3000))
        elif kind == "dir":
            os.mkdir(full)
        elif kind == "dirlink":
            os.symlink("/tmp", full)
        elif kind == "filelink":
            os.symlink("/etc/hostname", full)
        elif kind == "dangling":
            os.symlink(os.path.join(path, "no such thing"), full)
        elif kind == "fifo":
            os.mkfifo(full)
        elif kind == "socket":
            s = socket.socket(socket.AF_UNIX)
            try:
                s.bind(full.encode())
            except OSError:
                made.discard(name)  # the path is too long for a socket
            s.close()
        else:
            os.symlink("/dev/null", full)


def expected(path, filters):
    entries = []
    for e in os.scandir(os.fsencode(path)):
        name = e.name
        if name.startswith(b"."):
            continue
        try:
            st = os.stat(e.path)
        except OSError:
            continue
        if stat.S_ISDIR(st.st_mode):
            entries.append((True, 0, name))
        elif stat.S_ISREG(st.st_mode):
            dot = name.rfind(b".")
            ext = name[dot:].lower() if dot >= 0 else b""
            if not filters or ext in filters:
                entries.append((False, st.st_size, name))
    # Folders first; then bytes with only A-Z folded, which bytes.lower() does.
    return sorted(entries, key=lambda x: (not x[0], x[2].lower()))


def listed(path, filters):
    r = run([TOOL, "list", path, *[f.decode() for f in filters]])
    if r.returncode != 0:
        fail(f"exporttool list: exit {r.returncode}: {r.stderr[-500:]!r}")
        return []
    out = []
    for line in r.stdout.decode().splitlines():
        kind, size, name = line.split(" ")
        out.append((kind == "d", int(size), bytes.fromhex(name)))
    return out


def groups(entries):
    """Entries by sort key, each tie group as a sorted list: readdir's order
    between names equal but for case is not fixed."""
    out = []
    for e in entries:
        key = (not e[0], e[2].lower())
        if out and out[-1][0] == key:
            out[-1][1].append(e)
        else:
            out.append((key, [e]))
    return [(k, sorted(v)) for k, v in out]


def unreadable(rng):
    """A folder its owner alone may read lists nothing for another user."""
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        print("skipped: reading as nobody needs root and setpriv")
        return
    path = os.path.join(WORK, "closed")
    make_folder(rng, path)
    os.chmod(path, 0o700)
    os.chmod(WORK, 0o755)
    check(listed(path, []) != [], "the owner lists the closed folder")
    r = run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", TOOL, "list", path])
    check(r.returncode == 0 and r.stdout == b"", f"nobody lists nothing: {r.returncode} {r.stdout[:200]!r}")


def main():
    rng = random.Random(51)
    cases = 0
    for n in range(6):
        path = os.path.join(WORK, f"folder{n}")
        make_folder(rng, path)
        for filters in ([], [b".ofx", b".qfx"], [b".pdf"]):
            want, got = expected(path, filters), listed(path, filters)
            check(groups(got) == groups(want), f"folder{n} {filters}: {got[:8]} != {want[:8]}")
            cases += 1
    check(listed(os.path.join(WORK, "missing"), []) == [], "a missing folder lists nothing")
    unreadable(rng)
    shutil.rmtree(WORK, ignore_errors=True)
    if _exportlib.failures:
        raise SystemExit(1)
    print(f"ok: {cases} listings agree")


main()
