"""Shared by the Account page's window scripts (account_*.py): the program
signed in against the functional test service with the Account page open,
field typing by widget id, the texts a frame drew (QUENMRK_TEST_TEXTS) and
the start-up of Xvfb and the service around a script's flows, which each
script names so that they run as separate tests side by side."""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import check, config, drawn_texts, failures, finish, scaled, temp_dir, wait_for, xvfb  # noqa: E402,F401
from _shell import shows as shown  # noqa: E402
from _service_fixture import TestService  # noqa: E402
from welcome_flows import Program, budgets, session  # noqa: E402,F401

PASSWORD = "correct horse"
TEXTS = {"QUENMRK_TEST_TEXTS": "1"}
HEIGHT = 1500  # of the program's window


def account_program(build, env, svc, home, extra=None, prefix=()):
    """The Account page, whatever the session, with the drawn texts listed."""
    return Program(build, env, home, {**svc.client_env(), **TEXTS, "QUENMRK_PAGE": "account",
                                      "QUENMRK_WINDOW": f"1280x{HEIGHT}", **(extra or {})}, prefix)


def signed_in(build, env, svc, home, email, extra=None, prefix=()):
    """The program signed in as `email` (by a first run that signs in and
    ends) with the Account page open."""
    if session(home) is None:
        svc.control("user", email=email, password=PASSWORD, verified=True)
        first = Program(build, env, home, {**svc.client_env(), "QUENMRK_TEST_AUTH": "login",
                                           "QUENMRK_TEST_EMAIL": email, "QUENMRK_TEST_PASSWORD": PASSWORD})
        check(f"{email}: signed in", wait_for(lambda: session(home) is not None))
        time.sleep(scaled(0.5))
        first.close()
    p = account_program(build, env, svc, home, extra, prefix)
    check(f"{email}: the signed-in page shows", p.wait("ac-first"))
    return p


def replace_text(p, wid, text):
    """The field's text replaced by `text`, typed once the field holds the
    keyboard and again until all of it arrived (keys a busy server lost)."""
    if text:
        return p.type_into(wid, text)
    p.click(wid)
    p.key("ctrl+a")
    p.key("BackSpace")
    return True


def drawn(p):
    """The texts of the last listed frame, each wrapped line on its own, as
    {"text", "rect"}."""
    return drawn_texts(p.listing)


def shows(p, text, timeout=15):
    """Some frame within the timeout draws `text`, whole or wrapped over lines."""
    return shown(p.listing, text, timeout)


def to_page_end(p, wid):
    """Scrolls the page to its end with the wheel; true once `wid` lies whole
    inside the window and has stopped moving."""
    p.find_window()
    p.xdo("mousemove", "--window", p.window, "640", "700", "click", "--repeat", "20", "5")
    seen = []

    def settled():
        seen.append(p.widgets().get(wid))
        r = seen[-1]
        return r is not None and 0 <= r[1] and r[1] + r[3] <= HEIGHT and seen[-2:] == [r, r]
    return wait_for(settled, 15)


def absent(p, wid, settle=0.6):
    """After a few frames `wid` is not listed: hidden, or a disabled button
    (which never asks for input)."""
    time.sleep(scaled(settle))
    return wid not in p.widgets()


def run(flows, size="1400x1600x24"):
    """Runs the named flows (QM_ONLY=name runs one) under one Xvfb server and
    one test service. A flow gets (build, env, svc, shots)."""
    build = sys.argv[1]
    shots = os.path.join(build, "account-flow-shots")
    os.makedirs(shots, exist_ok=True)
    only = os.environ.get("QM_ONLY", "")
    with xvfb(size) as env, TestService() as svc:
        try:
            for name, flow in flows:
                if not only or name == only:
                    flow(build, env, svc, shots)
        finally:
            svc.failed = bool(failures)
    finish()
