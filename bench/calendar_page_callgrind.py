"""Counts the instructions of one headless month-view frame of the calendar
page on the heavy budget at 1x (bench_calendar_page --one-frame) under
callgrind and prints them beside the committed baseline in
calendar_page_callgrind.txt.
    /usr/bin/python3 bench/calendar_page_callgrind.py BUILD_DIR [--update]"""
import os
import sys

from _callgrind import compare_one_frame

here = os.path.dirname(os.path.abspath(__file__))
compare_one_frame(sys.argv[1], "bench_calendar_page", os.path.join(here, "calendar_page_callgrind.txt"),
                  "one calendar month frame")
