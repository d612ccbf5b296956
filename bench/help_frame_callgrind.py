"""Counts the instructions of one headless frame of the terms in the help
document view (bench_help_frame --one-frame: layout cached, scrolled to the
middle, two words highlighted) under callgrind and prints them beside the
committed baseline in help_frame_callgrind.txt.
    /usr/bin/python3 bench/help_frame_callgrind.py BUILD_DIR [--update]"""
import os
import sys

from _callgrind import compare_one_frame

here = os.path.dirname(os.path.abspath(__file__))
compare_one_frame(sys.argv[1], "bench_help_frame", os.path.join(here, "help_frame_callgrind.txt"),
                  "one help view frame")
