#!/usr/bin/python3
"""Draws the built-in icons at 16, 24 and 48 pixels into BUILD/icon_sheet.png
for review, and fails when any icon draws nothing at any size."""
import os
import subprocess
import sys

from PIL import Image

BUILD = sys.argv[1]
out = os.path.join(BUILD, "icon_sheet.png")
run = subprocess.run([os.path.join(BUILD, "tools", "icontool"), "sheet", out], capture_output=True, text=True)
print(run.stdout, end="")
if run.returncode != 0:
    print("FAIL", run.stderr)
    sys.exit(1)
image = Image.open(out)
print(f"ok {out}: {image.size[0]} x {image.size[1]}")
