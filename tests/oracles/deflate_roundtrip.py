#!/usr/bin/python3
"""Our deflate at every level must decompress with Python's zlib to the input,
the same from run to run; crc32 and adler32 must equal zlib's. Also prints the
compressed sizes beside zlib's at the same level."""
import os
import random
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from _deflate_corpus import corpus, write  # noqa: E402

build, source = sys.argv[1], sys.argv[2]
tool = os.path.join(build, "tools", "deflate_tool")


def run_tool(op, arg, pairs):
    args = [tool, op, arg]
    for inp, outp in pairs:
        args += [inp, outp]
    subprocess.run(args, check=True)


def main():
    failures = 0
    files = corpus(source)
    rng = random.Random(7)
    for n in (1, 7, 8, 9, 63, 5552, 5553, 100003):
        files[f"random{n}.bin"] = rng.randbytes(n)
    files["ff.bin"] = b"\xff" * 300000
    sizes = {}
    with tempfile.TemporaryDirectory() as workdir:
        inputs = {name: write(workdir, name, data) for name, data in files.items()}
        for level in range(10):
            for op in ("deflate", "zlib"):
                for attempt in (1, 2):
                    run_tool(op, str(level), [(p, f"{p}.{op}{level}.{attempt}") for p in inputs.values()])
                for name, path in inputs.items():
                    first = open(f"{path}.{op}{level}.1", "rb").read()
                    second = open(f"{path}.{op}{level}.2", "rb").read()
                    try:
                        back = zlib.decompress(first, -15 if op == "deflate" else 15)
                    except zlib.error as e:
                        back = f"zlib error: {e}"
                    if back != files[name] or first != second:
                        failures += 1
                        print(f"MISMATCH {op} level {level} {name}: "
                              f"{'not repeatable' if first != second else back[:60]!r}")
                    if op == "deflate":
                        sizes[(name, level)] = len(first)
        for op, ref in (("crc32", zlib.crc32), ("adler32", zlib.adler32)):
            run_tool(op, "-", [(p, f"{p}.{op}") for p in inputs.values()])
            for name, path in inputs.items():
                got = open(f"{path}.{op}", "rb").read().decode()
                if int(got, 16) != ref(files[name]):
                    failures += 1
                    print(f"MISMATCH {op} {name}: {got} vs {ref(files[name]):08x}")
    print("compressed size, ours / zlib's at the same level:")
    for name, data in files.items():
        if len(data) < 10000:
            continue
        ratios = []
        for level in (1, 6, 9):
            c = zlib.compressobj(level, zlib.DEFLATED, -15)
            theirs = len(c.compress(data) + c.flush())
            ratios.append(f"L{level} {sizes[(name, level)] / theirs:.3f}")
        print(f"  {name:14s} " + "  ".join(ratios))
    print(f"{len(files)} inputs at 10 levels, {failures} mismatches")
    return 1 if failures else 0


sys.exit(main())
