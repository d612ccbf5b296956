"""Inputs shared by the deflate oracle checks: text, a binary, JSON, source
code, runs, noise and the degenerate sizes."""
import glob
import json
import os
import random


def corpus(source_dir):
    rng = random.Random(20261209)
    files = {}
    with open("/usr/share/common-licenses/GPL-3", "rb") as f:
        files["license.txt"] = f.read()
    with open("/bin/bash", "rb") as f:
        f.seek(100000)
        files["program.bin"] = f.read(200000)
    records = [{"id": i, "name": rng.choice(["Rent", "Salary", "Groceries", "Gym"]),
                "amount": round(rng.uniform(-2000, 3000), 2),
                "date": f"2026-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}",
                "recurring_period": rng.choice(["", "1m", "2w", "1y"])} for i in range(2500)]
    files["budget.json"] = json.dumps({"transactions": records}, indent=1).encode()
    source = b""
    for path in sorted(glob.glob(os.path.join(source_dir, "src", "**", "*.*"), recursive=True)):
        with open(path, "rb") as f:
            source += f.read()
    files["source.cpp"] = source[:150000]
    files["runs.bin"] = b"".join(bytes([rng.randrange(4)]) * rng.randrange(1, 600) for _ in range(400))
    files["noise.bin"] = rng.randbytes(70000)
    files["empty.bin"] = b""
    files["one.bin"] = b"q"
    return files


def write(workdir, name, data):
    path = os.path.join(workdir, name)
    with open(path, "wb") as f:
        f.write(data)
    return path
