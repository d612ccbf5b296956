"""Shared pieces of the crash-report and kill-loop checks: running the probe
in a scratch configuration folder and reading its files with Python's strict
JSON reader."""
import json
import os
import resource
import subprocess
import sys
import tempfile


def probe_path():
    path = os.path.abspath(sys.argv[1] + "/tools/crash_probe")
    if not os.path.exists(path):
        print("crash_probe was not built; skipping")
        sys.exit(0)
    return path


def refuse(name):
    raise ValueError("non-finite " + name)


def strict_json(data):
    """Parses bytes as strict JSON: valid UTF-8, no NaN or Infinity."""
    return json.loads(data.decode("utf-8"), parse_constant=refuse,
                      object_pairs_hook=lambda pairs: pairs_to_dict(pairs))


class Ordered(dict):
    """A dict that also remembers its keys' order and refuses repeats."""


def pairs_to_dict(pairs):
    d = Ordered()
    for k, v in pairs:
        if k in d:
            raise ValueError("repeated key " + k)
        d[k] = v
    d.order = [k for k, _ in pairs]
    return d


def no_core(umask=None):
    def setup():
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        if umask is not None:
            os.umask(umask)
    return setup


def scratch():
    return tempfile.TemporaryDirectory(prefix="qm-crash-")


def env_for(root, config=None):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("ASAN", "UBSAN", "LSAN"))}
    env["HOME"] = os.path.join(root, "home", "ann")
    env["XDG_CONFIG_HOME"] = config if config is not None else os.path.join(root, "cfg")
    env["USER"] = "ann"
    env.pop("USERNAME", None)
    return env
