#!/usr/bin/python3
"""Zip reading and writing against Info-ZIP, Python's zipfile and bsdtar.

- Archives written by Info-ZIP `zip` (stored, deflated, streamed with data
  descriptors, with a long comment) and by Python's zipfile read back to the
  files they hold; other compression methods and zip64 archives are refused.
- Our writer's archives pass `unzip -t`, zipfile.testzip() and `bsdtar -t`,
  extract to the files they were made from and read back through our reader.
"""
import io
import os
import random
import subprocess
import sys
import tempfile
import zipfile

BUILD = sys.argv[1]
TOOL = os.path.join(BUILD, "tools", "archivetool")
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, **kw)


def ours(path):
    """Our reader's table, or the error message."""
    result = run([TOOL, "unzip", path])
    text = result.stdout.decode("latin-1")
    if result.returncode == 3 and text.startswith("error: "):
        return text[7:].strip()
    if result.returncode != 0:
        fail(f"{path}: archivetool exit {result.returncode}: {result.stderr[-2000:]!r}")
        return None
    table = {}
    for line in text.splitlines():
        name, _, data = line.partition(" ")
        table[bytes.fromhex(name)] = bytes.fromhex(data)
    return table


def sample_files(rng):
    text = "".join(f"line {i}: the budget for {i % 12 + 1}/2026 is {i * 37 % 1000}.{i % 100:02d}\n"
                   for i in range(20000)).encode()
    return {
        "empty.txt": b"",
        "text.txt": text,
        "noise.bin": bytes(rng.randrange(256) for _ in range(40000)),
        "runs.bin": b"\0" * 300000 + b"x" * 1000,
        "deep/dir/name with spaces.json": b'{"a": [1, 2, 3]}\n' * 50,
        "b.txt": b"short",
    }


def write_tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def expect_table(tag, path, expected):
    got = ours(path)
    if got != expected:
        if isinstance(got, dict):
            missing = set(expected) - set(got)
            wrong = [n for n in expected if n in got and got[n] != expected[n]]
            fail(f"{tag}: missing {sorted(missing)[:5]}, differing {wrong[:5]}, extra {sorted(set(got) - set(expected))[:5]}")
        else:
            fail(f"{tag}: {got}")


def expect_error(tag, path, message):
    got = ours(path)
    if got != message:
        fail(f"{tag}: expected error {message!r}, got {got if isinstance(got, str) else 'a table'}")


def check_info_zip(work, files):
    tree = os.path.join(work, "tree")
    write_tree(tree, files)
    names = sorted(files)
    expected = {n.encode(): d for n, d in files.items()}
    with_dirs = dict(expected)
    with_dirs[b"deep/"] = b""
    with_dirs[b"deep/dir/"] = b""
    for tag, flags in [("stored", ["-0"]), ("deflated", ["-9"]), ("fast", ["-1"]), ("no dirs", ["-D", "-6"])]:
        out = os.path.join(work, tag.replace(" ", "_") + ".zip")
        top = sorted({n.split("/")[0] for n in names})
        subprocess.run(["zip", "-q", "-X", "-r", *flags, out, *top], cwd=tree, check=True)
        expect_table(f"zip {tag}", out, expected if "-D" in flags else with_dirs)
    # Written to a pipe, zip cannot seek back and uses data descriptors.
    streamed = os.path.join(work, "streamed.zip")
    piped = subprocess.run(["zip", "-q", "-X", "-D", "-", *names], cwd=tree, stdout=subprocess.PIPE, check=True)
    with open(streamed, "wb") as f:
        f.write(piped.stdout)
    raw = open(streamed, "rb").read()
    if not any(raw[i + 6] & 8 for i in range(len(raw) - 4) if raw[i: i + 4] == b"PK\3\4"):
        fail("streamed zip has no data descriptors")
    expect_table("zip streamed", streamed, expected)
    commented = os.path.join(work, "commented.zip")
    subprocess.run(["zip", "-q", "-X", "-D", commented, *names], cwd=tree, check=True)
    comment = ("a long comment " * 4000)[:60000].encode()
    subprocess.run(["zip", "-q", "-z", commented], input=comment + b"\n.\n", check=True)
    if len(open(commented, "rb").read()) < 60000:
        fail("zip comment was not written")
    expect_table("zip with a long comment", commented, expected)
    forced = os.path.join(work, "forced64.zip")
    subprocess.run(["zip", "-q", "-X", "-D", "-fz", forced, "b.txt"], cwd=tree, check=True)
    got = ours(forced)
    if not (got == {b"b.txt": files["b.txt"]} or got == "zip64 archives are not supported"):
        fail(f"zip -fz: {got if isinstance(got, str) else sorted(got)}")


def check_python_zipfile(work, files):
    expected = {n.encode(): d for n, d in files.items()}
    for tag, method, level in [("stored", zipfile.ZIP_STORED, None), ("deflated 1", zipfile.ZIP_DEFLATED, 1),
                               ("deflated 9", zipfile.ZIP_DEFLATED, 9)]:
        path = os.path.join(work, f"py_{tag.replace(' ', '_')}.zip")
        with zipfile.ZipFile(path, "w", method, compresslevel=level) as z:
            for name, data in files.items():
                z.writestr(name, data)
        expect_table(f"zipfile {tag}", path, expected)
    # A stream that cannot seek: zipfile writes data descriptors.
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.buffer = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.buffer += b
            return len(b)

    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            with z.open(name, "w") as member:
                member.write(data)
    path = os.path.join(work, "py_streamed.zip")
    open(path, "wb").write(bytes(sink.buffer))
    expect_table("zipfile streamed", path, expected)
    for tag, method in [("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)]:
        path = os.path.join(work, f"py_{tag}.zip")
        with zipfile.ZipFile(path, "w") as z:
            z.writestr("plain.txt", b"stored first")
            z.writestr("packed.txt", b"x" * 1000, compress_type=method)
        expect_error(f"zipfile {tag}", path, "unsupported compression in zip entry packed.txt")
    # More than 65,535 members needs zip64 records.
    path = os.path.join(work, "py_many.zip")
    with zipfile.ZipFile(path, "w") as z:
        for i in range(65536):
            z.writestr(f"{i}", b"")
    expect_error("zipfile with 65,536 members", path, "zip64 archives are not supported")


def check_writer(work, files):
    tree = os.path.join(work, "src")
    write_tree(tree, files)
    for level in (0, 1, 6, 9):
        out = os.path.join(work, f"ours{level}.zip")
        entries = [f"{name}={os.path.join(tree, name)}" for name in files]
        result = run([TOOL, "zip", out, str(level), *entries])
        if result.returncode != 0:
            fail(f"our writer at level {level}: {result.stdout!r} {result.stderr!r}")
            continue
        result = run(["unzip", "-t", out])
        if result.returncode != 0 or b"No errors detected" not in result.stdout:
            fail(f"unzip -t, level {level}: {result.stdout.decode(errors='replace')}")
        with zipfile.ZipFile(out) as z:
            if z.testzip() is not None:
                fail(f"zipfile.testzip, level {level}: {z.testzip()}")
            for name, data in files.items():
                if z.read(name) != data:
                    fail(f"zipfile reads {name} differently, level {level}")
            if level == 0 and any(i.compress_type != zipfile.ZIP_STORED for i in z.infolist()):
                fail("level 0 deflated something")
            if level >= 1 and z.getinfo("text.txt").compress_type != zipfile.ZIP_DEFLATED:
                fail(f"text not deflated at level {level}")
        result = run(["bsdtar", "-tf", out])
        if result.returncode != 0 or sorted(result.stdout.decode().split("\n")[:-1]) != sorted(files):
            fail(f"bsdtar -t, level {level}: {result.stdout!r} {result.stderr!r}")
        expect_table(f"our archive at level {level}", out, {n.encode(): d for n, d in files.items()})


def main():
    rng = random.Random(99)
    files = sample_files(rng)
    with tempfile.TemporaryDirectory() as work:
        check_info_zip(work, files)
        check_python_zipfile(work, files)
        check_writer(work, files)
    if failures:
        print(f"{len(failures)} failures")
        sys.exit(1)
    print("all agree")


main()
