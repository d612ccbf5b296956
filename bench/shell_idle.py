"""Start-up time and idle cost of the program under Xvfb with llvmpipe.
Not run by CI. Usage: shell_idle.py BUILD_DIR [seconds]

- start-up: start to first frame and exit (QUENMRK_TEST_FRAMES=1,
  QUENMRK_SPLASH=0), median of 10 runs; budget 500 ms.
- idle: after 5 s without input, CPU time from /proc/PID/stat over the
  window, frames a second from the widget list and wake-ups from the
  context-switch counts; budget under 10% of one core, about 15 frames and
  250 wake-ups a second. Then the same with the window at 1 x 1 (under 1%).
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "platform", "xvfb"))
from _xvfb import xvfb  # noqa: E402


def env_for(env, home, extra):
    e = {k: v for k, v in env.items() if not k.startswith("QUENMRK_")}
    e.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, "cfg"), "LIBGL_ALWAYS_SOFTWARE": "1",
              "LP_NUM_THREADS": "1", "QUENMRK_SCALE": "1", "QUENMRK_NO_UPDATE_CHECK": "1",
              "QUENMRK_THEME": "light", "QUENMRK_SPLASH": "0", "ASAN_OPTIONS": "detect_leaks=0"})
    e.update(extra)
    return e


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def switches(pid):
    total = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if "ctxt_switches" in line:
                total += int(line.split()[1])
    return total


def frames(path):
    try:
        with open(path) as f:
            return json.load(f)["framesOnPage"]
    except (OSError, ValueError):
        return 0


def main():
    build = sys.argv[1]
    window = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    exe = os.path.join(build, "quenmrk")
    with xvfb() as env, tempfile.TemporaryDirectory() as home:
        times = []
        for _ in range(10):
            t0 = time.monotonic()
            subprocess.run([exe], env=env_for(env, home, {"QUENMRK_TEST_FRAMES": "1"}), capture_output=True)
            times.append(time.monotonic() - t0)
        print(f"start-up to first frame and exit: median {statistics.median(times) * 1000:.0f} ms (budget 500 ms)")
        for label, size in (("idle", None), ("minimised", "1 1")):
            listing = os.path.join(home, "w.json")
            p = subprocess.Popen([exe], env=env_for(env, home, {"QUENMRK_WINDOW": "1000x700",
                                                                "QUENMRK_TEST_WIDGETS": listing}),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(3)
            if size:
                wid = subprocess.run(["xdotool", "search", "--name", "^Quenmark$"], env=env, capture_output=True,
                                     text=True).stdout.split()
                subprocess.run(["xdotool", "windowsize", wid[-1], *size.split()], env=env)
            time.sleep(5)
            c0, s0, f0, t0 = cpu_seconds(p.pid), switches(p.pid), frames(listing), time.monotonic()
            time.sleep(window)
            c1, s1, f1, t1 = cpu_seconds(p.pid), switches(p.pid), frames(listing), time.monotonic()
            p.terminate()
            p.wait()
            span = t1 - t0
            print(f"{label}: {100 * (c1 - c0) / span:.1f}% of a core, {(f1 - f0) / span:.1f} frames/s, "
                  f"{(s1 - s0) / span:.0f} wake-ups/s")


main()
