"""Child processes of the window test scripts: stopping one by its process
id, reading the JSON lines a test program prints as it runs, deadlines that
grow on a loaded or small machine, and the sweep that leaves no process of a
script behind, whichever way the script ends."""
import atexit
import ctypes
import json
import os
import queue
import signal
import subprocess
import sys
import threading
import time

# The busiest a machine may be taken for: past this a test is better run
# alone than left to wait, and the test runner's own limit still holds.
MAX_SLOWNESS = 4.0


_probe = {"at": -1e9, "ratio": 1.0}


def _share_probe():
    """Wall time over processor time of a short busy loop: how long this
    process waits for a core right now, on whatever cores it may use (a
    pinned CPU set shows here while the host's load average misses it).
    Taken again at most every few seconds."""
    now = time.monotonic()
    if now - _probe["at"] > 5:
        wall, cpu = time.perf_counter(), time.process_time()
        n = 0
        while time.process_time() - cpu < 0.02:
            n += 1
        used = time.process_time() - cpu
        _probe.update(at=now, ratio=(time.perf_counter() - wall) / used if used > 0 else 1.0)
    return _probe["ratio"]


def slowness():
    """How many times longer than on a quiet machine a step may take here:
    QM_TIME_SCALE when set, otherwise the larger of the host's load per core
    and the wait for a core this process measures. Never below 1, never
    above MAX_SLOWNESS."""
    given = os.environ.get("QM_TIME_SCALE")
    if given:
        try:
            return min(MAX_SLOWNESS, max(1.0, float(given)))
        except ValueError:
            pass
    try:
        load = os.getloadavg()[0] / (os.cpu_count() or 1)
    except OSError:
        load = 1.0
    return min(MAX_SLOWNESS, max(1.0, load, _share_probe()))


def scaled(seconds):
    """A deadline of `seconds` on a quiet machine, grown by slowness()."""
    return seconds * slowness()


def wait_for(predicate, timeout=30, interval=0.05):
    """Polls until `predicate()` is true; false when the scaled timeout passes
    first. The predicate is asked once more at the end, so a condition met
    while the poller was starved of the processor still counts."""
    end = time.monotonic() + scaled(timeout)
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(interval)
    return bool(predicate())


def _descendants():
    """Process ids whose chain of parents leads to this process, deepest
    first: those this script started and those they left to it."""
    parents = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                parents[int(name)] = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            pass
    children = {}
    for pid, ppid in parents.items():
        children.setdefault(ppid, []).append(pid)
    order, todo = [], [os.getpid()]
    while todo:
        for child in children.get(todo.pop(), []):
            order.append(child)
            todo.append(child)
    return order[::-1]


def _alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def _command(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return "?"


def sweep():
    """Ends every process still running below this one: SIGTERM, and SIGKILL
    for what is left a few seconds later. Names each on standard error, as
    a script that ends with one still running has a fault of its own."""
    left = [pid for pid in _descendants() if _alive(pid)]
    for pid in left:
        print(f"driver: stopping a process left running: {pid} {_command(pid)}", file=sys.stderr)
        try:
            os.kill(pid, signal.SIGTERM)
        except OSError:
            pass
    end = time.monotonic() + 5
    while any(_alive(pid) for pid in left) and time.monotonic() < end:
        time.sleep(0.05)
    for pid in left + _descendants():
        if _alive(pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


def _ending(signum, frame):
    # Unwinds through every finally block, then the sweep runs at exit.
    raise SystemExit(128 + signum)


def _adopt_orphans():
    """A process whose parent ends (a wrapper such as setpriv or faketime, a
    program's forked child) comes to this script instead of init, so the
    sweep still finds it."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        PR_SET_CHILD_SUBREAPER = 36
        libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    except (OSError, AttributeError):
        pass


_adopt_orphans()
atexit.register(sweep)
for _sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
    signal.signal(_sig, _ending)


def stop(proc):
    """Terminates a child that still runs, killing it if it will not go."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=scaled(10))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class JsonLineChild:
    """A running program whose standard output is one JSON object a line,
    gathered by a background thread. Subclasses keep what they need of each
    line wait() takes in keep()."""

    def __init__(self, argv, env, stdin=None, stderr=subprocess.PIPE):
        self.proc = subprocess.Popen(argv, env=env, stdin=stdin, stdout=subprocess.PIPE, stderr=stderr, text=True,
                                     encoding="utf-8")
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            line = line.strip()
            if line.startswith("{"):
                self.lines.put(json.loads(line))
        self.lines.put(None)

    def keep(self, item):
        pass

    def wait(self, match, timeout=10):
        """The first line that matches, or None at the end of the output or
        of the time; every line taken on the way goes to keep()."""
        end = time.monotonic() + scaled(timeout)
        while time.monotonic() < end:
            try:
                item = self.lines.get(timeout=max(0.01, end - time.monotonic()))
            except queue.Empty:
                break
            if item is None:
                return None
            self.keep(item)
            if match(item):
                return item
        return None
