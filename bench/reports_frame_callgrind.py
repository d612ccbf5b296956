"""Counts the instructions of one headless frame of the Reports page
(bench_reports_frame --one-frame: 16x the heavy budget over a year, the
model worked out) under callgrind and prints them beside the committed
baseline in reports_frame_callgrind.txt.
    /usr/bin/python3 bench/reports_frame_callgrind.py BUILD_DIR [--update]"""
import os
import sys

from _callgrind import compare_one_frame

here = os.path.dirname(os.path.abspath(__file__))
compare_one_frame(sys.argv[1], "bench_reports_frame", os.path.join(here, "reports_frame_callgrind.txt"),
                  "one Reports page frame")
