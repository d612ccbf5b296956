"""Drives tests/tools/platform_demo: starts it, collects its JSON lines in a
background thread, sends commands and waits for answers."""
import json
import os
import queue
import subprocess
import threading
import time


class Demo:
    def __init__(self, build, env, args=(), extra_env=None, stderr=subprocess.PIPE):
        """stderr: a file to take the demo's standard error instead of a pipe
        (for long output such as a protocol trace, which would fill a pipe)."""
        env = dict(env, ASAN_OPTIONS="detect_leaks=0", **(extra_env or {}))
        self.proc = subprocess.Popen([os.path.join(build, "tools", "platform_demo"), *args], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=stderr,
                                     text=True, encoding="utf-8")
        self.lines = queue.Queue()
        self.events = []
        threading.Thread(target=self._read, daemon=True).start()
        self.state = self.wait(lambda j: "backend" in j, 20)
        self.window = self.state["window"]

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(json.loads(line))
        self.lines.put(None)

    def wait(self, match, timeout=10):
        """The first line (events are kept) that matches, or None."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            try:
                item = self.lines.get(timeout=max(0.01, end - time.monotonic()))
            except queue.Empty:
                break
            if item is None:
                return None
            if "kind" in item:
                self.events.append(item)
            if match(item):
                return item
        return None

    def command(self, text, answer_key, timeout=15):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()
        return self.wait(lambda j: answer_key in j, timeout)

    def settle(self, seconds=0.4):
        """Collects events until the demo has been quiet for a while."""
        self.command("info", "backend")
        self.wait(lambda j: False, seconds)

    def take_events(self):
        events, self.events = self.events, []
        return events

    def quit(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
            except BrokenPipeError:
                pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        return self.proc.returncode, self.proc.stderr.read() if self.proc.stderr else ""
