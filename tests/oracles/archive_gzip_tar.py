#!/usr/bin/python3
"""gzip and tar reading against the gzip program, Python's gzip and tarfile.

- gzip files from `gzip` (with a name), Python's gzip module, and hand-made
  headers with a name, comment, extra field and header CRC all decompress to
  their data; the trailer goes unchecked.
- ustar archives with long names split into prefix and name, GNU archives
  with long-name records and pax archives with "path" records give the member
  a suffix selects by its full name, as Python's tarfile reads it; the name
  cut short in the member's own header names nothing.
"""
import gzip
import io
import os
import random
import struct
import subprocess
import sys
import tarfile
import tempfile
import zlib

BUILD = sys.argv[1]
TOOL = os.path.join(BUILD, "tools", "archivetool")
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def ours(args, work):
    out = os.path.join(work, "out.bin")
    result = subprocess.run([TOOL, *args, out], capture_output=True)
    text = result.stdout.decode("latin-1")
    if result.returncode == 3 and text.startswith("error: "):
        return text[7:].strip()
    if result.returncode != 0:
        fail(f"{args}: exit {result.returncode}: {result.stderr[-2000:]!r}")
        return None
    return open(out, "rb").read()


def raw_deflate(data, level=6):
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def handmade_gzip(data, extra=None, name=None, comment=None, header_crc=False, bad_trailer=False):
    flags = (4 if extra is not None else 0) | (8 if name is not None else 0) | (16 if comment is not None else 0)
    flags |= 2 if header_crc else 0
    header = bytes([0x1F, 0x8B, 8, flags]) + struct.pack("<I", 1700000000) + bytes([2, 3])
    if extra is not None:
        header += struct.pack("<H", len(extra)) + extra
    if name is not None:
        header += name + b"\0"
    if comment is not None:
        header += comment + b"\0"
    if header_crc:
        header += struct.pack("<H", zlib.crc32(header) & 0xFFFF)
    crc = zlib.crc32(data) ^ (0xFFFFFFFF if bad_trailer else 0)
    return header + raw_deflate(data) + struct.pack("<II", crc, len(data) & 0xFFFFFFFF)


def check_gzip(work, rng):
    data = b"".join(b"row %d of the update payload\n" % i for i in range(30000)) + bytes(
        rng.randrange(256) for _ in range(5000))
    cases = {
        "python gzip": gzip.compress(data),
        "python gzip level 1": gzip.compress(data, 1),
        "python gzip with a name": None,
        "all optional fields": handmade_gzip(data, extra=b"AB\4\0wxyz", name=b"payload.bin",
                                             comment=b"made for the test", header_crc=True),
        "extra only": handmade_gzip(data, extra=b""),
        "comment only, wrong trailer": handmade_gzip(data, comment=b"c" * 3000, bad_trailer=True),
        "empty data": None,
    }
    buffer = io.BytesIO()
    with gzip.GzipFile(filename="named.txt", mode="wb", fileobj=buffer, mtime=0) as g:
        g.write(data)
    cases["python gzip with a name"] = buffer.getvalue()
    source = os.path.join(work, "payload.txt")
    with open(source, "wb") as f:
        f.write(data)
    for level in ("-1", "-9"):
        cases[f"gzip {level}"] = subprocess.run(["gzip", "-c", "-N", level, source], capture_output=True,
                                                check=True).stdout
    cases["gzip, then more members"] = cases["gzip -9"] + gzip.compress(b"second member")
    expected = {name: data for name in cases}
    cases["empty data"] = gzip.compress(b"")
    expected["empty data"] = b""
    for name, blob in cases.items():
        path = os.path.join(work, "case.gz")
        with open(path, "wb") as f:
            f.write(blob)
        got = ours(["gunzip", path], work)
        if got != expected[name]:
            fail(f"gunzip {name}: {got[:80] if got else got!r}")
    path = os.path.join(work, "bad.gz")
    with open(path, "wb") as f:
        f.write(handmade_gzip(data, name=b"x")[:10] + b"no end of the name")
    got = ours(["gunzip", path], work)
    if got != "a damaged gzip file":
        fail(f"unterminated name: {got!r}")


def check_tar(work, rng):
    files = {
        "app/bin/quenmrk": bytes(rng.randrange(256) for _ in range(3000)),
        "app/share/" + "long-folder-name/" * 8 + "icon.png": b"\x89PNG fake" * 10,
        "app/" + "x" * 120 + ".txt": b"a name longer than a header holds\n",
        "app/empty": b"",
    }
    tree = os.path.join(work, "tree")
    for name, data in files.items():
        path = os.path.join(tree, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    archives = {}
    for fmt, tag in [(tarfile.USTAR_FORMAT, "ustar"), (tarfile.GNU_FORMAT, "gnu"), (tarfile.PAX_FORMAT, "pax")]:
        buffer = io.BytesIO()
        with tarfile.open(fileobj=buffer, mode="w", format=fmt) as t:
            for name in files:
                if fmt == tarfile.USTAR_FORMAT and len(name.rsplit("/", 1)[-1]) > 100:
                    continue  # ustar cannot hold a single name part this long
                t.add(os.path.join(tree, name), arcname=name)
        archives[tag] = buffer.getvalue()
    archives["tar command"] = subprocess.run(["tar", "-c", "-f", "-", "-C", tree, "app"], capture_output=True,
                                             check=True).stdout
    for tag, blob in archives.items():
        path = os.path.join(work, "case.tar")
        with open(path, "wb") as f:
            f.write(blob)
        with tarfile.open(path) as t:
            members = {m.name: m for m in t.getmembers()}
        for name, data in files.items():
            if tag == "ustar" and name not in members:
                continue
            got = ours(["tar", path, name[-30:]], work)
            if got != data:
                fail(f"{tag}: {name[-30:]!r}: {got[:60] if isinstance(got, bytes) else got!r}")
            # GNU and pax headers cut a long name to 100 bytes; that stub is
            # not the member's name.
            header_name = name if tag == "ustar" or len(name) < 100 else name[:100]
            if header_name != name:
                got = ours(["tar", path, header_name[-30:]], work)
                if got != f"the archive has no {header_name[-30:]}":
                    fail(f"{tag}: found by the cut name: {got[:60] if isinstance(got, bytes) else got!r}")
        got = ours(["tar", path, "share/"], work)  # directories are skipped
        if got != "the archive has no share/":
            fail(f"{tag}: a directory was returned: {got!r}")


def main():
    rng = random.Random(5)
    with tempfile.TemporaryDirectory() as work:
        check_gzip(work, rng)
        check_tar(work, rng)
    if failures:
        print(f"{len(failures)} failures")
        sys.exit(1)
    print("all agree")


main()
