#!/usr/bin/python3
"""PNG decoding and encoding against libpng and pngcheck.

- Every valid PngSuite file decodes to exactly the RGBA pixels libpng gives
  with the same transforms (harness png_libpng.c, built here).
- Corrupted PngSuite files, and damaged copies of the valid ones, are refused
  with an error message or decoded, never crash (the tool runs under ASan).
- Our encoder's files, compressed and not, pass pngcheck and decode with libpng
  to the original pixels.
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

BUILD, SOURCE = sys.argv[1], sys.argv[2]
SUITE = "/usr/share/doc/libsixel-examples/examples/images/pngsuite"
TOOL = os.path.join(BUILD, "tools", "pngtool")
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def build_harness(work):
    harness = os.path.join(work, "png_libpng")
    subprocess.run(["cc", "-O1", os.path.join(SOURCE, "tests/oracles/png_libpng.c"), "-lpng", "-o", harness],
                   check=True)
    return harness


def run(argv):
    result = subprocess.run(argv, capture_output=True, text=True, errors="replace")
    return result.returncode, result.stdout + result.stderr


def decode(program, path, out):
    """(status, pixels or message): status 'ok', 'error' or 'crash'."""
    code, text = run([program, "decode", path, out] if program == TOOL else [program, path, out])
    if code == 0:
        with open(out, "rb") as f:
            return "ok", f.read()
    if code == 3 and text.startswith("error: "):
        return "error", text.strip()
    return "crash", f"exit {code}: {text[-2000:]}"


def check_valid(harness, work, path):
    name = os.path.basename(path)
    ours = decode(TOOL, path, os.path.join(work, name + ".ours"))
    theirs = decode(harness, path, os.path.join(work, name + ".libpng"))
    if theirs[0] != "ok":
        fail(f"{name}: libpng refused a valid file: {theirs[1]}")
    elif ours[0] != "ok":
        fail(f"{name}: {ours[1]}")
    elif ours[1] != theirs[1]:
        a, b = ours[1], theirs[1]
        first = next(i for i in range(min(len(a), len(b))) if a[i] != b[i]) if a[:8] == b[:8] else 0
        fail(f"{name}: pixels differ from libpng (first at byte {first})")
    return ours


def check_damaged(work, tag, data):
    path = os.path.join(work, tag + ".png")
    with open(path, "wb") as f:
        f.write(data)
    status, detail = decode(TOOL, path, path + ".out")
    if status == "crash":
        fail(f"{tag}: {detail}")
    return status


def damaged_copies(data, rng):
    """A few damaged versions of a valid file: cut, flipped bytes, odd headers."""
    copies = [data[: rng.randrange(8, len(data))] for _ in range(2)]
    for _ in range(2):
        b = bytearray(data)
        for _ in range(rng.randrange(1, 6)):
            b[rng.randrange(8, len(b))] = rng.randrange(256)
        copies.append(bytes(b))
    b = bytearray(data)  # IHDR: width, height, depth, colour type, interlace
    field = rng.choice([(16, 4), (20, 4), (24, 1), (25, 1), (28, 1)])
    b[field[0]: field[0] + field[1]] = bytes(rng.randrange(256) for _ in range(field[1]))
    copies.append(bytes(b))
    return copies


def expand(pixels, channels):
    """RGBA as our decoder gives it for an 8-bit image of `channels`."""
    out = bytearray()
    for i in range(0, len(pixels), channels):
        p = pixels[i: i + channels]
        if channels == 1:
            out += bytes([p[0], p[0], p[0], 255])
        elif channels == 2:
            out += bytes([p[0], p[0], p[0], p[1]])
        elif channels == 3:
            out += bytes([p[0], p[1], p[2], 255])
        else:
            out += p
    return bytes(out)


def check_encode(harness, work, tag, width, height, rgba):
    for channels in (1, 2, 3, 4):
        pick = {1: [0], 2: [0, 3], 3: [0, 1, 2], 4: [0, 1, 2, 3]}[channels]
        raw = bytes(rgba[i + c] for i in range(0, len(rgba), 4) for c in pick)
        raw_path = os.path.join(work, f"{tag}.{channels}.raw")
        with open(raw_path, "wb") as f:
            f.write(raw)
        for compress in ("0", "1"):
            png = os.path.join(work, f"{tag}.{channels}.{compress}.png")
            code, text = run([TOOL, "encode", raw_path, str(width), str(height), str(channels), compress, png])
            if code != 0:
                fail(f"encode {tag} {channels} {compress}: {text}")
                continue
            code, text = run(["pngcheck", "-q", png])
            if code != 0:
                fail(f"pngcheck {tag} channels {channels} compress {compress}: {text.strip()}")
            status, pixels = decode(harness, png, png + ".libpng")
            expected = struct.pack("<II", width, height) + expand(raw, channels)
            if status != "ok" or pixels != expected:
                fail(f"libpng reads {tag} channels {channels} compress {compress} differently: {status}")


def main():
    rng = random.Random(1234)
    with tempfile.TemporaryDirectory() as work:
        harness = build_harness(work)
        valid, corrupted = [], []
        for folder in sorted(os.listdir(SUITE)):
            for name in sorted(os.listdir(os.path.join(SUITE, folder))):
                if name.endswith(".png"):
                    (corrupted if folder == "corrupted" else valid).append(os.path.join(SUITE, folder, name))
        if len(valid) < 150:
            fail(f"PngSuite incomplete: {len(valid)} valid files")

        with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            decoded = dict(zip(valid, pool.map(lambda p: check_valid(harness, work, p), valid)))
            statuses = list(pool.map(lambda p: check_damaged(work, os.path.basename(p), open(p, "rb").read()),
                                     corrupted))
            print(f"{len(valid)} valid files compared with libpng; corrupted: "
                  f"{statuses.count('error')} refused, {statuses.count('ok')} decoded")

            jobs = []
            for path in valid:
                data = open(path, "rb").read()
                for i, copy in enumerate(damaged_copies(data, rng)):
                    jobs.append((f"{os.path.basename(path)}.damaged{i}", copy))
            statuses = list(pool.map(lambda job: check_damaged(work, *job), jobs))
            print(f"{len(jobs)} damaged copies: {statuses.count('error')} refused, {statuses.count('ok')} decoded")

            samples = [p for p in valid if os.path.basename(p)[:4] in ("basn", "basi")][::3]
            samples.append("synthetic")
            photo = bytearray()
            for y in range(97):
                for x in range(131):
                    photo += bytes([(x * 2 + y) & 255, (y * 3) & 255, rng.randrange(256), (x ^ y) & 255])

            def encode_job(path):
                if path == "synthetic":
                    return check_encode(harness, work, "synthetic", 131, 97, photo)
                status, pixels = decoded[path]
                width, height = struct.unpack("<II", pixels[:8])
                check_encode(harness, work, os.path.basename(path), width, height, pixels[8:])

            list(pool.map(encode_job, samples))
            print(f"{len(samples)} images encoded with 1-4 channels, compressed and stored")
    if failures:
        print(f"{len(failures)} failures")
        sys.exit(1)
    print("all agree")


main()
