#!/usr/bin/env python3
"""Prints each peer's median time divided by ours for the same case, with the
goal for that case beside it.

A ratio above 1 means our code is faster than that peer. Where both sides
report a "bytes" counter (compressed sizes), our size divided by the peer's
follows as "size". Times are CPU times, which a busy machine disturbs less
than wall-clock ones, except for benchmarks that time themselves (manual
time), whose wall-clock figure is the measurement.

A goal names the peer, the least speed ratio and, for compressors, the most
size ratio; a case that misses it is marked "MISSED". The exit status stays 0:
the figures are for reading, not a gate."""
import json
import re
import sys

# (pattern on the case name, peer, least speed ratio, most size ratio or None)
GOALS = [
    (r"^deflate6/", "zlib", 1.0, 1.00),
    (r"^inflate/", "zlib", 1.4, None),
    (r"^sha256/", "libsodium", 3.0, None),
    (r"^atlas13/", "freetype", 1.25, None),
    (r"^(dejavu|plex)_all_glyphs$", "freetype", 1.0, None),
    (r"^(dejavu|plex)_first_pass/", "freetype", 0.67, None),
    (r"^decode_\w+_fresh_process$", "libpng", 1.0, None),
    # Frames drawn while a save is under way against the same frames with
    # none: at most 1.1 times the UI thread's time.
    (r"^frame_during_save/16$", "nosave", 1 / 1.1, None),
]


# Cases with a goal on their own time: (pattern, most seconds).
TIME_GOALS = [
    (r"^calendar_frame/1$", 0.3e-3),
    (r"^calendar_frame/16$", 1.0e-3),
    # The first frame after one edit, the projection brought up to date.
    (r"^calendar_frame_after_\w+_edit/1$", 1.0e-3),
    (r"^calendar_frame_after_\w+_edit/16$", 4.0e-3),
    (r"^saveStore/1$", 20e-3),
    (r"^saveStore/16$", 0.35),
    (r"^edit_on_ui_thread/16$", 16e-3),
    (r"^edit_on_ui_thread_\w+/16$", 16e-3),
    (r"^sync_start/16$", 16e-3),
]

# Cases run on budgets 1x and 16x the heavy one whose time should grow no
# faster than the budget: (base name, most growth of time from /1 to /16).
# A growth without a goal is printed for reading beside its goal's case: the
# same walk asked a different question at each ask.
GROWTH_GOALS = [
    ("calendar_frame", 16.0),
    ("calendar_frame_all_accounts", 16.0),
    ("searchOccurrences_two_years", 16.0),
    ("searchOccurrences_two_years_stepping", None),
    ("reportRows_year", 16.0),
    ("reportRows_year_stepping", None),
]


# Counters with a goal: (pattern on the case name, counter, most).
COUNTER_GOALS = [
    (r"^opened_budget_memory/", "resident_per_budget", 2.0),
    (r"^program_memory/", "resident_per_budget_start", 2.0),
    (r"^program_memory/", "resident_per_budget_edit", 2.0),
    (r"^program_memory/", "resident_per_budget_close", 2.0),
]

# One of our cases beside another of ours: (case, other case, most ratio of
# their times).
CASE_RATIO_GOALS = [
    # A budget opens on all accounts; one account's frame is the lighter.
    ("calendar_frame_all_accounts/16", "calendar_frame/16", 3.0),
]

# A counter of ours beside the same counter of a peer on the same case:
# (pattern on the case name, counter, peer, most ratio).
PEER_COUNTER_GOALS = [
    # Pages first touched by a decode in a fresh process.
    (r"^decode_\w+_fresh_process$", "fresh_pages", "libpng", 1.0),
]

# Cases with a least throughput: (pattern on the case name, bytes a second).
RATE_GOALS = [
    (r"^(saveStore|openStore|store_write|store_parse)/", 350e6),
]


def rate_lines(data):
    lines = []
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name", "median") != "median":
            continue
        impl, _, case = b.get("run_name", b["name"]).partition("/")
        if impl != "qm" or "bytes_per_second" not in b:
            continue
        for pattern, least in RATE_GOALS:
            if re.search(pattern, case):
                rate = b["bytes_per_second"]
                verdict = "met" if rate >= least else "MISSED"
                lines.append(f"{case:58s} {rate / 1e6:.0f} MB/s   [goal >= {least / 1e6:.0f} MB/s: {verdict}]")
    return lines


def counter_lines(data):
    lines = []
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name", "median") != "median":
            continue
        impl, _, case = b.get("run_name", b["name"]).partition("/")
        case = case_name(case)
        if impl != "qm":
            continue
        for pattern, counter, most in COUNTER_GOALS:
            if re.search(pattern, case) and counter in b:
                value = b[counter]
                verdict = "met" if value <= most else "MISSED"
                lines.append(f"{case:58s} {counter} {value:.2f}   [goal <= {most:.2f}: {verdict}]")
    return lines


def goal_for(case):
    for pattern, peer, speed, size in GOALS:
        if re.search(pattern, case):
            return peer, speed, size
    return None


def seconds(time, unit):
    return time * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[unit]


def describe_time_goal(case, ours, unit):
    for pattern, most in TIME_GOALS:
        if re.search(pattern, case):
            met = seconds(ours, unit) <= most
            return f"   [goal <= {readable(most, 's')}: {'met' if met else 'MISSED'}]"
    return ""


def case_ratio_lines(runs):
    lines = []
    for case, other, most in CASE_RATIO_GOALS:
        a, b = runs.get(case, {}).get("qm"), runs.get(other, {}).get("qm")
        if not a or not b:
            continue
        ratio = seconds(a[0], a[1]) / seconds(b[0], b[1])
        verdict = "met" if ratio <= most else "MISSED"
        lines.append(f"{case + ' / ' + other:58s} time x{ratio:.2f}   [goal <= x{most:.2f}: {verdict}]")
    return lines


def peer_counter_lines(data):
    values = {}
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue
        impl, _, case = b.get("run_name", b["name"]).partition("/")
        values.setdefault(case_name(case), {})[impl] = b
    lines = []
    for case in sorted(values):
        for pattern, counter, peer, most in PEER_COUNTER_GOALS:
            ours, theirs = values[case].get("qm"), values[case].get(peer)
            if not re.search(pattern, case) or not ours or not theirs or counter not in ours or counter not in theirs:
                continue
            ratio = ours[counter] / theirs[counter]
            verdict = "met" if ratio <= most else "MISSED"
            lines.append(f"{case:58s} {counter} {ours[counter]:.0f} vs {peer} {theirs[counter]:.0f}: "
                         f"x{ratio:.2f}   [goal <= x{most:.2f}: {verdict}]")
    return lines


def growth_lines(runs):
    lines = []
    for base, most in GROWTH_GOALS:
        small, large = runs.get(base + "/1", {}).get("qm"), runs.get(base + "/16", {}).get("qm")
        if not small or not large:
            continue
        growth = seconds(large[0], large[1]) / seconds(small[0], small[1])
        line = f"{base + ' growth 1x -> 16x':58s} time x{growth:.1f}"
        if most is not None:
            line += f"   [goal <= x{most:.0f}: {'met' if growth <= most else 'MISSED'}]"
        lines.append(line)
    return lines


# What Google Benchmark appends to a name for a fixed iteration count or a
# clock of its own; a peer timed so is still the same case as ours.
RUN_OPTIONS = re.compile(r"/(iterations:\d+|repeats:\d+|manual_time|real_time)(?=/|$)")


def case_name(case):
    return RUN_OPTIONS.sub("", case)


def median_runs(data):
    runs = {}
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue
        name = b.get("run_name", b["name"])
        impl, _, case = name.partition("/")
        case = case_name(case)
        manual = "manual_time" in name
        time = b["real_time"] if manual else b["cpu_time"]
        runs.setdefault(case, {})[impl] = (time, b.get("time_unit", "ns"), b.get("bytes"))
    return runs


def readable(time, unit):
    seconds = time * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[unit]
    for name, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.2f} {name}"
    return f"{seconds / 1e-9:.1f} ns"


def describe(case, impls):
    ours, unit, our_bytes = impls["qm"]
    parts = []
    for impl, (t, _, peer_bytes) in sorted(impls.items()):
        if impl == "qm":
            continue
        text = f"{impl} {t / ours:5.2f}x"
        if our_bytes and peer_bytes:
            text += f" size {our_bytes / peer_bytes:.3f}"
        parts.append(text)
    line = f"{case:58s} qm {readable(ours, unit):>10s}  " + "  ".join(parts)
    line += describe_time_goal(case, ours, unit)
    goal = goal_for(case)
    if goal:
        peer, speed, size = goal
        want = f"goal >= {speed:.2f}x {peer}" + (f", size <= {size:.2f}" if size is not None else "")
        if peer not in impls:
            verdict = "no peer"
        else:
            t, _, peer_bytes = impls[peer]
            met = t / ours >= speed
            if size is not None and our_bytes and peer_bytes:
                met = met and our_bytes / peer_bytes <= size
            verdict = "met" if met else "MISSED"
        line += f"   [{want}: {verdict}]"
    return line


def main(paths):
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        runs = median_runs(data)
        print(f"# {path}")
        for case in sorted(runs):
            if "qm" in runs[case]:
                print(describe(case, runs[case]))
        for line in (growth_lines(runs) + case_ratio_lines(runs) + counter_lines(data) + peer_counter_lines(data)
                     + rate_lines(data)):
            print(line)


if __name__ == "__main__":
    main(sys.argv[1:])
