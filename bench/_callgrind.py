"""Counts the instructions of one frame of a benchmark program run with
--one-frame under callgrind and prints them beside a committed baseline.
Growth over 20% is a regression to explain; --update rewrites the baseline."""
import os
import re
import subprocess
import sys
import tempfile


def compare_one_frame(build, program, baseline_file, what):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        r = subprocess.run(["valgrind", "--tool=callgrind", "--instr-atstart=no", f"--callgrind-out-file={out}",
                            os.path.join(build, "bench", program), "--one-frame"],
                           capture_output=True, text=True)
        if r.returncode != 0:
            print(r.stderr[-2000:])
            sys.exit(1)
        with open(out) as f:
            totals = [int(m.group(1)) for m in re.finditer(r"^(?:summary|totals): (\d+)", f.read(), re.M)]
    count = max(totals)
    print(r.stdout.strip())
    baseline = None
    if os.path.exists(baseline_file):
        with open(baseline_file) as f:
            baseline = int(f.read().split()[0])
    if baseline:
        growth = (count - baseline) / baseline * 100
        print(f"instructions of {what}: {count:,} (baseline {baseline:,}, {growth:+.1f}%)")
        if growth > 20:
            print("more than 20% above the baseline: a regression to explain")
    else:
        print(f"instructions of {what}: {count:,} (no baseline)")
    if "--update" in sys.argv:
        with open(baseline_file, "w") as f:
            f.write(f"{count} instructions of {what} (Release build, mock GL)\n")
