"""Drives tests/tools/platform_demo: starts it, collects its JSON lines in a
background thread, sends commands and waits for answers."""
import os
import subprocess

from _procs import JsonLineChild, scaled


class Demo(JsonLineChild):
    def __init__(self, build, env, args=(), extra_env=None, stderr=subprocess.PIPE):
        """stderr: a file to take the demo's standard error instead of a pipe
        (for long output such as a protocol trace, which would fill a pipe)."""
        env = dict(env, ASAN_OPTIONS="detect_leaks=0", **(extra_env or {}))
        self.events = []
        super().__init__([os.path.join(build, "tools", "platform_demo"), *args], env, stdin=subprocess.PIPE,
                         stderr=stderr)
        self.state = self.wait(lambda j: "backend" in j, 20)
        self.window = self.state["window"]

    def keep(self, item):
        """Events are kept for take_events()."""
        if "kind" in item:
            self.events.append(item)

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
            self.proc.wait(timeout=scaled(10))
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        return self.proc.returncode, self.proc.stderr.read() if self.proc.stderr else ""
