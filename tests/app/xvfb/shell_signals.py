"""SIGTERM, SIGINT and SIGHUP end the program as a close does, on the heavy
budget (16 times the benchmarks' base size unless --scale says otherwise):
a balance is set through its dialog and the signal is sent while the save of
that edit is under way (the program's save thread is there). The program
ends with 0 and the edit is in the budget's files. A second signal sent right
after the first ends the program at once, by that signal.

Usage: shell_signals.py BUILD_DIR SOURCE_DIR [--scale N] [--program PATH]"""
import os
import signal
import subprocess
import sys
import time

from _shell import accept_terms, base_env, check, finish, program, temp_dir, wait_for, xvfb
from shell_heavy_budget import heavy_budget, option
from shell_heavy_edit import click, frames_drawn, listed


def saving(pid):
    """Whether the program's save thread is writing the budget's files."""
    try:
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{tid}/comm") as f:
                    if f.read().strip() == "quenmrk-save":
                        return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def holds(folder, text):
    for name in ("data.json", "journal.json"):
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                if text in f.read():
                    return True
        except OSError:
            pass
    return False


def start(binary, env, home, listing):
    accept_terms(home)
    e = base_env(env, home, {"QUENMRK_TEST_WIDGETS": listing, "QUENMRK_OPEN": "balance"})
    proc = subprocess.Popen([binary], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    check("the balance dialog is up", wait_for(lambda: proc.poll() is None and listed(listing, "bal-apply"), 300),
          proc.poll())
    return proc


def edit_and_signal(proc, env, listing, amount, signals):
    """Sets the balance to `amount` and sends `signals` to the program once
    Apply is taken (the dialog gone), as soon as its save is under way; true
    when the save was seen under way."""
    for attempt in range(3):
        # Typing goes to the field only once it has the keyboard; what
        # arrived is not listed, so a dialog still up after Apply is typed again.
        check("amount field clicked", click(env, listing, "bal-amount") is not None)
        frames_drawn(listing, 2)
        subprocess.run(["xdotool", "key", "ctrl+a"], env=env, check=True)
        subprocess.run(["xdotool", "type", "--delay", "30", amount], env=env, check=True)
        frames_drawn(listing, 2)
        check("apply clicked", click(env, listing, "bal-apply") is not None)
        # The save begins in the frame that takes Apply and closes the dialog.
        if wait_for(lambda: saving(proc.pid) or not listed(listing, "bal-apply"), 60):
            break
    under_way = wait_for(lambda: saving(proc.pid), 2)
    for sig in signals:
        proc.send_signal(sig)
    return under_way


def ended(proc, timeout=300):
    try:
        code = proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = proc.wait()
    err = proc.stderr.read()
    proc.stderr.close()
    return code, err


def main():
    build = sys.argv[1]
    scale = option("--scale", "16")
    binary = option("--program", program(build))
    with xvfb() as env, temp_dir() as home:
        folder = heavy_budget(build, home, scale)
        listing = os.path.join(home, "widgets.json")
        for sig, amount in ((signal.SIGTERM, "23456.78"), (signal.SIGHUP, "23457.89")):
            name = signal.Signals(sig).name
            proc = start(binary, env, home, listing)
            try:
                under_way = edit_and_signal(proc, env, listing, amount, [sig])
                check(f"{name}: sent while the save was under way", under_way)
                code, err = ended(proc)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
            check(f"{name}: the program ended with 0", code == 0, (code, err[-2000:]))
            check(f"{name}: the edit is in the files", holds(folder, amount))

        proc = start(binary, env, home, listing)
        try:
            under_way = edit_and_signal(proc, env, listing, "34567.89", [signal.SIGTERM, signal.SIGINT])
            sent = time.monotonic()
            check("two signals: sent while the save was under way", under_way)
            code, err = ended(proc)
            took = time.monotonic() - sent
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        print(f"after the second signal the program was gone in {took:.2f} s")
        # Both may be pending when the program next runs, and the kernel then
        # hands over the lower-numbered first: either can be the second.
        check("two signals: the second ends the program by itself", code in (-signal.SIGINT, -signal.SIGTERM),
              (code, err[-2000:]))
    finish()


if __name__ == "__main__":
    main()
