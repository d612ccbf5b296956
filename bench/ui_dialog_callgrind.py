"""Counts the instructions of one headless dialog frame (bench_ui_dialog
--one-frame) under callgrind and prints them beside the committed baseline
in ui_dialog_callgrind.txt. Growth over 20% is a regression to explain.
    /usr/bin/python3 bench/ui_dialog_callgrind.py BUILD_DIR [--update]"""
import os
import sys

from _callgrind import compare_one_frame

here = os.path.dirname(os.path.abspath(__file__))
compare_one_frame(sys.argv[1], "bench_ui_dialog", os.path.join(here, "ui_dialog_callgrind.txt"), "one dialog frame")
