"""SHA-256 and SHA-512 against the NIST CAVP byte-oriented vectors (short,
long and Monte Carlo messages) and against sha256sum, sha512sum and
openssl dgst on random inputs, including every length around the block and
padding boundaries and one input whose bit count needs more than 32 bits.
SHA-256 is checked with each engine the processor can run (the portable
code, and the SHA extensions where present)."""
import os
import random
import subprocess
import sys
import tempfile

build = sys.argv[1]
tool = os.path.join(build, "tools", "crypto_tool")
vectors = "/usr/lib/python3/dist-packages/cryptography_vectors/hashes/SHA2"
failures = 0


engine_line = []


def run_tool(lines):
    out = subprocess.run([tool], input="".join(line + "\n" for line in engine_line + lines),
                         capture_output=True, text=True, check=True).stdout
    return out.split()[len(engine_line):]


def engines():
    """Each SHA-256 engine the processor runs, as the tool's command line."""
    for name in ("portable", "extensions"):
        if run_tool([f"engine {name}"]) == ["1"]:
            yield [f"engine {name}"]
        else:
            print(f"sha2 oracle: no {name} engine on this processor")


def check(label, got, want):
    global failures
    if got != want:
        failures += 1
        if failures <= 20:
            print(f"MISMATCH {label}: got {got} want {want}")


def rsp_records(path):
    record = {}
    for line in open(path):
        line = line.strip()
        if " = " not in line:
            continue
        key, value = line.split(" = ", 1)
        record[key] = value
        if key in ("MD",):
            yield dict(record)


def check_vectors(bits, label):
    for kind in ("ShortMsg", "LongMsg"):
        records = list(rsp_records(f"{vectors}/SHA{bits}{kind}.rsp"))
        assert len(records) >= 64, (bits, kind, len(records))
        lines = [f"sha{bits} {r['Msg'] if int(r['Len']) else '-'}" for r in records]
        for r, got in zip(records, run_tool(lines)):
            check(f"{label}SHA{bits}{kind} Len={r['Len']}", got, r["MD"])
    monte = list(rsp_records(f"{vectors}/SHA{bits}Monte.rsp"))
    seed = open(f"{vectors}/SHA{bits}Monte.rsp").read().split("Seed = ")[1].split()[0]
    got = run_tool([f"monte{bits} {seed}"])
    assert len(monte) == 100 and len(got) == 100
    for i, (r, g) in enumerate(zip(monte, got)):
        check(f"{label}SHA{bits}Monte COUNT={i}", g, r["MD"])


def check_files(bits, inputs, big, label):
    got = run_tool([f"sha{bits}file {p}" for p in inputs])
    coreutils = subprocess.run([f"sha{bits}sum", *inputs], capture_output=True, text=True,
                               check=True).stdout.split("\n")
    plain = [p for p in inputs if p != big]
    openssl = subprocess.run(["openssl", "dgst", f"-sha{bits}", "-r", *plain],
                             capture_output=True, text=True, check=True).stdout.split("\n")
    for i, path in enumerate(inputs):
        size = os.path.getsize(path)
        check(f"{label}sha{bits} vs sha{bits}sum, {size} bytes", got[i], coreutils[i].split()[0])
        if path != big:
            check(f"{label}sha{bits} vs openssl, {size} bytes", got[i], openssl[i].split()[0])


# Every length up to three SHA-512 blocks, then larger random ones.
rng = random.Random(20240611)
sizes = list(range(0, 3 * 128 + 2)) + [rng.randrange(400, 1 << 20) for _ in range(24)] + [(1 << 20) + 3]
with tempfile.TemporaryDirectory() as tmp:
    paths = []
    for i, size in enumerate(sizes):
        path = os.path.join(tmp, f"in{i}")
        with open(path, "wb") as f:
            f.write(rng.randbytes(size))
        paths.append(path)
    # A sparse file of 2^29 + 77 zero bytes: its bit count overflows 32 bits.
    # The length field is written by code both hashes share, so one of them
    # (the faster) covers it.
    big = os.path.join(tmp, "big")
    with open(big, "wb") as f:
        f.truncate((1 << 29) + 77)

    for engine in list(engines()):
        engine_line[:] = engine
        label = engine[0].split()[1] + " "
        check_vectors(256, label)
        check_files(256, paths + [big], big, label)
    engine_line[:] = []
    check_vectors(512, "")
    check_files(512, paths, big, "")

print(f"sha2 oracle: {failures} mismatches")
sys.exit(1 if failures else 0)
