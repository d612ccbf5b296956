"""What a save under way costs the frames the program draws meanwhile, on
the generated heavy budget: each of a few balance edits (Ctrl+B, a new
balance, Apply) starts a save, and the pointer keeps moving so that frames
keep coming. Each frame's UI-thread CPU is read from the thread's own clock
(/proc/PID/task/PID/schedstat) when the frame rewrites the widget list.
Prints, per edit, the frame that made the edit, the median frame while
data.json was being written and the median frame of a stretch as long once
it was written, and their ratio over all edits.

Usage: shell_save_frames.py BUILD_DIR SOURCE_DIR [--scale N] [--program PATH]
The default scale suits a sanitizer build, whose saves are too short to
hold many frames; measure with --scale 16 and a release build."""
import os
import statistics
import subprocess
import sys
import threading
import time

from _shell import check, finish, program, temp_dir, thread_cpu_ns, wait_for, xvfb
from shell_heavy_budget import close_all, option, sanitized
from shell_heavy_edit import click, frames_drawn, listed, start_on_balance

EDITS = 5


class Wiggle:
    """Moves the pointer a pixel back and forth in a corner of the window,
    which draws a frame each time and touches nothing."""

    def __init__(self, env):
        self.env = env
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        flip = False
        while not self.stop.is_set():
            flip = not flip
            subprocess.run(["xdotool", "mousemove", "3" if flip else "4", "3"], env=self.env)
            time.sleep(0.01)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def frames_until(pid, listing, done, samples):
    """Appends (end time, UI-thread CPU) of each frame until done() holds."""
    last = os.stat(listing).st_mtime_ns
    while not done():
        try:
            now = os.stat(listing).st_mtime_ns
        except OSError:
            continue
        if now != last:
            last = now
            cpu = thread_cpu_ns(pid)
            if cpu is not None:
                samples.append((now, cpu))
        time.sleep(0.0003)


def per_frame_ms(samples, since, until):
    """The UI-thread CPU of each frame that ended in (since, until]."""
    out = []
    for (t0, c0), (t1, c1) in zip(samples, samples[1:]):
        if since < t1 <= until:
            out.append((c1 - c0) / 1e6)
    return out


def edit_and_measure(env, pid, listing, data, amount, limit):
    check(f"the balance dialog is up for {amount}", wait_for(lambda: listed(listing, "bal-apply"), 60))
    check("amount field clicked", click(env, listing, "bal-amount"))
    frames_drawn(listing, 2)
    subprocess.run(["xdotool", "key", "ctrl+a"], env=env, check=True)
    subprocess.run(["xdotool", "type", "--delay", "30", amount], env=env, check=True)
    frames_drawn(listing, 2)
    before = os.stat(data).st_mtime_ns
    start = time.time_ns()
    clicked = click(env, listing, "bal-apply")
    samples = [(clicked - 1, thread_cpu_ns(pid))]
    check("apply clicked", clicked is not None)
    # The pointer moves only once the click is in: a move between the
    # click's own move and its press would take the click elsewhere.
    with Wiggle(env):
        frames_until(pid, listing,
                     lambda: os.stat(data).st_mtime_ns != before or time.time_ns() - start > limit * 2e9, samples)
        landed = time.time_ns()
        # A stretch with no save under way, as long as the save's and at
        # least a second, after the program has settled.
        rest = max(landed - clicked, 1e9)
        frames_until(pid, listing, lambda: time.time_ns() > landed + 0.3e9 + rest, samples)
    check(f"the edit to {amount} reaches data.json", os.stat(data).st_mtime_ns != before)
    after = [s for s in samples if s[0] > clicked]
    edit_frame = per_frame_ms(samples, clicked, after[0][0])[:1] if after else []
    saving = per_frame_ms(samples, after[0][0], landed) if after else []
    idle = per_frame_ms(samples, landed + 0.3e9, landed + 0.3e9 + rest)
    return edit_frame, saving, idle, (landed - clicked) / 1e9


def main():
    build = sys.argv[1]
    scale = option("--scale", "2")
    binary = option("--program", program(build))
    limit = 20.0 if sanitized(binary) else 5.0
    with xvfb() as env, temp_dir() as home:
        proc, folder, data, listing = start_on_balance(env, home, build, scale, binary)
        try:
            all_saving, all_idle = [], []
            for n in range(EDITS):
                if n > 0:
                    check("the dialog closed", wait_for(lambda: not listed(listing, "bal-apply"), 10))
                    subprocess.run(["xdotool", "key", "Left"], env=env, check=True)
                    time.sleep(0.1)
                    subprocess.run(["xdotool", "key", "ctrl+b"], env=env, check=True)
                edit_frame, saving, idle, took = edit_and_measure(env, proc.pid, listing, data, f"{23456 + n}.89",
                                                                  limit)
                all_saving += saving
                all_idle += idle
                med = lambda xs: f"{statistics.median(xs):.1f}" if xs else "none"  # noqa: E731
                print(f"edit {n + 1}: save {took:.2f} s; edit frame {med(edit_frame)} ms; "
                      f"{len(saving)} frames while saving, median {med(saving)} ms; "
                      f"{len(idle)} frames after, median {med(idle)} ms")
            if all_saving and all_idle:
                ratio = statistics.median(all_saving) / statistics.median(all_idle)
                print(f"UI-thread CPU per frame while a save is under way / without: {ratio:.2f} "
                      f"({len(all_saving)} and {len(all_idle)} frames)")
            else:
                print("no frame fell inside a save: saves this short leave nothing to measure")
            check("close asked", close_all(env))
            proc.wait(timeout=120)
            err = proc.stderr.read()
            check("exits 0", proc.returncode == 0, err[-2000:])
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    finish()


if __name__ == "__main__":
    main()
