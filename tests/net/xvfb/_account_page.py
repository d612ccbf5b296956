"""The Account page opened by one program run, signed out or signed in,
with nothing that varies between runs: the clock is pinned and the signed-in
state is written into the configuration folder beforehand (a session and
the account's budget with a fixed user record), so no sign-in call is
needed. The service address answers connections but never replies, so the
start-up sync stays under way ("Syncing…" in the header, the service still
counted reachable) for the whole run, whatever the machine's speed."""
import contextlib
import json
import os
import shutil
import socket
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
from _shell import accept_terms, base_env, config, pinned_clock, program, scaled  # noqa: E402

NOW = "2026-12-10 10:00:00"
USER_ID = 42
EMAIL = "robin.hale@example.test"
USER = {"first_name": "Robin", "last_name": "Hale", "email": EMAIL, "is_verified": True, "theme_preference": "system",
        "two_factor_enabled": False, "pending_email": "", "calendar_token": "", "avatar": "", "gravatar_hash": ""}


@contextlib.contextmanager
def silent_service():
    """A local address that takes connections and never answers them."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        s.listen(64)
        yield {"QUENMRK_SERVER": f"https://127.0.0.1:{s.getsockname()[1]}", "NO_PROXY": "*", "no_proxy": "*",
               "https_proxy": "", "HTTPS_PROXY": ""}


def fresh_home(home):
    """An empty home whose terms are accepted."""
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(home)
    accept_terms(home)


def sign_in(home, local_data, **user):
    """Writes the session and the account's budget, made from a budget this
    device wrote (`local_data`, its data.json) with the fixed user record,
    changed by `user`."""
    with open(local_data) as f:
        data = json.load(f)
    data["user"].update(USER, **user)
    folder = os.path.join(config(home), "budgets", str(USER_ID))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "data.json"), "w") as f:
        json.dump(data, f)
    path = os.path.join(config(home), "session.json")
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
        json.dump({"email": EMAIL, "token": "fixed-test-token", "user_id": USER_ID, "display_name": "Robin Hale",
                   "signed_in_at": 1.0}, f)


def local_data(home):
    return os.path.join(config(home), "budgets", "local", "data.json")


def page_env(env, home, extra):
    """The environment of a run that opens on the Account page, clock pinned."""
    # The sanitizer runtime refuses to start behind faketime's preload otherwise.
    return base_env(env, home, {"QUENMRK_PAGE": "account", "QUENMRK_SPLASH": "0", **pinned_clock(NOW),
                                "ASAN_OPTIONS": "detect_leaks=0:verify_asan_link_order=0", **extra})


def open_page(build, env, home, extra, timeout=120):
    """One run on the Account page to its end (a shot or a frame count)."""
    return subprocess.run([program(build)], env=page_env(env, home, extra), capture_output=True, text=True,
                          timeout=scaled(timeout))
