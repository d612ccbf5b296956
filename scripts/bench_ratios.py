#!/usr/bin/env python3
"""Prints each peer's median time divided by ours for the same case.

A ratio above 1 means our code is faster than that peer."""
import json
import sys


def main(paths):
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        times = {}
        for b in data.get("benchmarks", []):
            if b.get("aggregate_name", "median") != "median":
                continue
            name = b.get("run_name", b["name"])
            impl, _, case = name.partition("/")
            times.setdefault(case, {})[impl] = b["real_time"], b.get("time_unit", "ns")
        print(f"# {path}")
        for case in sorted(times):
            impls = times[case]
            if "qm" not in impls:
                continue
            ours, unit = impls["qm"]
            peers = "  ".join(
                f"{impl} {t / ours:6.2f}x" for impl, (t, _) in sorted(impls.items()) if impl != "qm"
            )
            print(f"{case:50s} qm {ours:12.1f} {unit}  {peers}")


if __name__ == "__main__":
    main(sys.argv[1:])
