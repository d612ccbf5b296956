#!/usr/bin/python3
"""businessDayShift for every day of 2000-2040 against numpy's business-day
calendar (Monday to Friday, no holidays): paying early rolls backward,
otherwise forward."""
import subprocess
import sys

import numpy as np

build = sys.argv[1]
out = subprocess.run([f"{build}/tools/recurtool"], input="shift 2000-01-01 2040-12-31\n", capture_output=True,
                     text=True, check=True).stdout.split()
days = np.array(out[0::3], dtype="datetime64[D]")
want_early = np.busday_offset(days, 0, roll="backward")
want_later = np.busday_offset(days, 0, roll="forward")
got_early = np.array(out[1::3], dtype="datetime64[D]")
got_later = np.array(out[2::3], dtype="datetime64[D]")
expected_days = (np.datetime64("2041-01-01") - np.datetime64("2000-01-01")).astype(int)
bad = np.flatnonzero((got_early != want_early) | (got_later != want_later))
for i in bad[:10]:
    print(f"MISMATCH {days[i]}: got {got_early[i]} / {got_later[i]}, want {want_early[i]} / {want_later[i]}")
print(f"{len(days)} days compared with numpy.busday_offset, {len(bad)} mismatches")
sys.exit(1 if len(bad) or len(days) != expected_days else 0)
