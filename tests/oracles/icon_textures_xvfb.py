#!/usr/bin/python3
"""The icon texture cache on Mesa's GL driver under a private Xvfb server."""
import os
import subprocess
import sys

BUILD, SOURCE = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(SOURCE, "tests", "platform", "xvfb"))
from _xvfb import xvfb  # noqa: E402

with xvfb() as env:
    run = subprocess.run([os.path.join(BUILD, "tools", "icon_textures_gl")], env=env, capture_output=True,
                         text=True, timeout=120)
print(run.stdout, end="")
if run.returncode != 0:
    print("FAIL icon_textures_gl exited", run.returncode, run.stderr)
sys.exit(run.returncode)
