#!/usr/bin/python3
"""Inflate must reproduce, byte for byte, what independent encoders compressed:
Python's zlib across levels, window sizes and strategies, gzip, pigz (also its
-11), libdeflate-gzip -1..-12 and zopfli."""
import os
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from _deflate_corpus import corpus, write  # noqa: E402

build, source = sys.argv[1], sys.argv[2]
tool = os.path.join(build, "tools", "deflate_tool")


def gzip_body(data):
    """The raw DEFLATE member of a gzip file (header fields skipped)."""
    flags, pos = data[3], 10
    if flags & 4:
        pos += 2 + (data[pos] | data[pos + 1] << 8)
    for bit in (8, 16):
        if flags & bit:
            pos = data.index(b"\0", pos) + 1
    if flags & 2:
        pos += 2
    return data[pos:]


def zlib_streams(data):
    strategies = {"default": zlib.Z_DEFAULT_STRATEGY, "filtered": zlib.Z_FILTERED,
                  "huffman": zlib.Z_HUFFMAN_ONLY, "rle": zlib.Z_RLE, "fixed": zlib.Z_FIXED}
    out = {}
    for level in range(1, 10):
        out[f"zlib-{level}"] = ("zlib", zlib.compress(data, level))
    for wbits in range(9, 16):
        for level in (1, 6, 9):
            c = zlib.compressobj(level, zlib.DEFLATED, -wbits, 9 if wbits < 12 else 8)
            out[f"raw-w{wbits}-{level}"] = ("raw", c.compress(data) + c.flush())
    for name, strategy in strategies.items():
        for level in (1, 6, 9):
            c = zlib.compressobj(level, zlib.DEFLATED, 15, 8, strategy)
            out[f"zlib-{name}-{level}"] = ("zlib", c.compress(data) + c.flush())
    return out


def tool_streams(workdir, name, path, size):
    commands = {f"gzip-{l}": ["gzip", f"-{l}", "-c", path] for l in (1, 6, 9)}
    commands.update({f"pigz-{l}": ["pigz", f"-{l}", "-c", path] for l in (1, 6, 9)})
    commands.update({f"libdeflate-{l}": ["libdeflate-gzip", f"-{l}", "-c", path] for l in range(1, 13)})
    if size <= 80000:  # the zopfli-based encoders are slow
        commands["pigz-11"] = ["pigz", "-11", "-c", path]
        commands["zopfli"] = ["zopfli", "-c", "--i5", path]
    out = {}
    for key, cmd in commands.items():
        if size == 0 and key.startswith("libdeflate"):
            cmd = cmd[:-1]  # reads standard input instead
        data = subprocess.run(cmd, check=True, capture_output=True, stdin=subprocess.DEVNULL if size else None).stdout
        out[key] = ("raw", gzip_body(data))
    return out


def main():
    failures = 0
    checked = 0
    with tempfile.TemporaryDirectory() as workdir:
        jobs = {"raw": [], "zlib": []}
        for name, data in corpus(source).items():
            src = write(workdir, name, data)
            streams = zlib_streams(data)
            streams.update(tool_streams(workdir, name, src, len(data)))
            for key, (mode, stream) in streams.items():
                base = f"{name}.{key}"
                jobs[mode].append((write(workdir, base + ".z", stream), os.path.join(workdir, base + ".out"), data))
        for mode, items in jobs.items():
            args = [tool, "inflate", mode]
            for inp, outp, _ in items:
                args += [inp, outp]
            run = subprocess.run(args, capture_output=True, text=True)
            if run.returncode:
                print(run.stderr)
            for inp, outp, data in items:
                checked += 1
                got = open(outp, "rb").read() if os.path.exists(outp) else None
                if got != data:
                    failures += 1
                    print(f"MISMATCH {os.path.basename(inp)}")
    print(f"{checked} streams inflated, {failures} mismatches")
    return 1 if failures else 0


sys.exit(main())
