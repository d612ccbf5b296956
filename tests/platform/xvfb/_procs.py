"""Child processes of the window test scripts: stopping one by its process
id, and reading the JSON lines a test program prints as it runs."""
import json
import queue
import subprocess
import threading
import time


def stop(proc):
    """Terminates a child that still runs, killing it if it will not go."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
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
        end = time.monotonic() + timeout
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
