"""The program under Xvfb against the functional test service, driven as a
user would (widgets by id from QUENMRK_TEST_WIDGETS, xdotool clicks and
typing): sign-up with its verify form, typed sign-in, two-factor codes from
oathtool (a refused one replaced by a click and the next), "Back" from a
sign-in under way, answers that must leave an error line and write nothing,
and the forms' refusals and Escape. Files are read back where the program left them;
a screenshot of the sign-in error goes to BUILD/welcome-flow-shots for review."""
import json
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import (accept_terms, base_env, check, click_at, config, drew_since, finish, focused, frame_mark,  # noqa: E402
                    listing, program, scaled, steady_rect, temp_dir, type_into, wait_for, xvfb)
import _https_service as hs  # noqa: E402
from _service_fixture import TestService  # noqa: E402

PASSWORD = "correct horse"
SECRET = "JBSWY3DPEHPK3PXP"


class Program:
    """One run of the program with a widget listing, driven by xdotool."""

    def __init__(self, build, env, home, extra, prefix=()):
        self.home, self.env = home, env
        accept_terms(home)
        self.listing = os.path.join(home, "widgets.json")
        e = base_env(env, home, dict({"QUENMRK_TEST_WIDGETS": self.listing, "QUENMRK_SPLASH": "0",
                                      "QUENMRK_WINDOW": "900x760"}, **extra))
        self.proc = subprocess.Popen([*prefix, program(build)], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     text=True)
        self.window = None

    def listed(self):
        """This frame's widgets by id, or None while there is no listing."""
        listed = listing(self.listing)
        return {w["id"]: w["rect"] for w in listed.get("widgets", [])} if listed else None

    def widgets(self):
        return self.listed() or {}

    def wait(self, wid, timeout=30, gone=False):
        return wait_for(lambda: (wid in self.widgets()) != gone, timeout)

    def left_welcome(self, timeout=30):
        """Another page (the calendar) is drawn: none of the welcome page's widgets is listed."""
        return wait_for(lambda: (lambda ids: ids is not None and not any(i.startswith("wl-") for i in ids))(
            self.listed()), timeout)

    def find_window(self):
        if self.window is None:
            out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quenmark$"], env=self.env,
                                 capture_output=True, text=True, timeout=scaled(30)).stdout.split()
            self.window = out[-1] if out else ""
        return self.window

    def xdo(self, *args):
        self.find_window()
        subprocess.run(["xdotool", *args], env=self.env, check=False, timeout=scaled(30))

    def click(self, wid):
        """Clicks the id once it holds still; returns once the program has
        drawn the frames after the click (false when it is not listed)."""
        if not self.wait(wid):
            return False
        rect = steady_rect(self.listing, wid)
        if rect is None:
            return False
        click_at(self.env, self.find_window(), rect, path=self.listing, alive=self.running)
        return True

    def running(self):
        return self.proc.poll() is None

    def click_until(self, wid, done, timeout=20):
        """Clicks `wid` until `done()`: on a busy machine a click can go
        missing (a toast over the button, the page still moving); one that
        was taken shows within a few seconds, and is not made again."""
        return wait_for(lambda: self.click(wid) and wait_for(done, 3), timeout, interval=0)

    def type(self, text):
        """Types into the field that holds the keyboard, once one does (the
        one just clicked, or the one a form focuses itself)."""
        wait_for(lambda: focused(self.listing) is not None or not self.running(), 10)
        mark = frame_mark(self.listing)
        self.xdo("type", "--delay", "20", text)
        drew_since(self.listing, mark, alive=self.running)

    def type_into(self, wid, text, arrived=None):
        """Types into field `wid` over its text, once it holds the keyboard;
        again when `arrived()` stays false."""
        return type_into(self.env, self.find_window(), self.listing, wid, text, arrived)

    def key(self, name):
        mark = frame_mark(self.listing)
        self.xdo("key", name)
        drew_since(self.listing, mark, alive=self.running)

    def shot(self, path):
        subprocess.run(["import", "-window", self.find_window(), path], env=self.env, check=False, timeout=30)

    def close(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(scaled(20))
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        err = self.proc.stderr.read()
        self.proc.stderr.close()
        return err


def session(home):
    path = os.path.join(config(home), "session.json")
    if not os.path.exists(path):
        return None
    with open(path) as f:
        return json.load(f), os.stat(path).st_mode & 0o777


def budgets(home):
    folder = os.path.join(config(home), "budgets")
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def add_real_data(home):
    """A budget kept on this device with one transaction of the user's own."""
    folder = os.path.join(config(home), "budgets", "local")
    with open(os.path.join(folder, "data.json")) as f:
        data = json.load(f)
    data["transactions"].append({"id": -500, "start_date": "2026-01-05", "amount": -900.0, "description": "Rent",
                                 "category": "Groceries", "account": data["accounts"][0]["name"]})
    with open(os.path.join(folder, "data.json"), "w") as f:
        json.dump(data, f)
    return len(data["accounts"]) + len(data["categories"]) + len(data["transactions"])


def first_start(build, env, home, svc):
    p = Program(build, env, home, {**svc.client_env(), "QUENMRK_TEST_FRAMES": "3"})
    p.proc.wait(scaled(60))
    p.close()


def signup(build, env, svc, shots):
    with temp_dir() as home:
        first_start(build, env, home, svc)
        records = add_real_data(home)
        p = Program(build, env, home, {**svc.client_env(), "QUENMRK_TEST_AUTH": "signup",
                                       "QUENMRK_TEST_EMAIL": "new@example.test",
                                       "QUENMRK_TEST_PASSWORD": "12345678"})
        try:
            check("sign-up shows the verify form", p.wait("wl-verified"))
            s = session(home)
            check("session.json holds the token, mode 0600", s and s[0]["token"] and s[1] == 0o600, s)
            uid = str(s[0]["user_id"]) if s else "?"
            check("the account has its budget folder and the device budget moved there",
                  budgets(home) == [uid], budgets(home))
            with open(os.path.join(config(home), "budgets", uid, "journal.json")) as f:
                journal = json.load(f)
            creates = {(op["entity"], op["id"]) for op in journal if op["op"] == "create"}
            check("the account's journal holds one create per record",
                  len(creates) == records == len([op for op in journal if op["op"] == "create"]),
                  (len(creates), records))
            p.shot(os.path.join(shots, "verify-after-signup.png"))
            svc.control("verify", email="new@example.test")
            check("wl-verified clicked", p.click("wl-verified"))
            check("verified: the calendar shows", p.left_welcome())
            time.sleep(0.3)
            p.shot(os.path.join(shots, "verified-calendar.png"))
            check("one check of the account", len(svc.requests("me")) == 1, svc.requests("me"))
            with open(os.path.join(config(home), "budgets", uid, "data.json")) as f:
                check("the budget's user is verified", json.load(f)["user"]["is_verified"] is True)
        finally:
            err = p.close()
        check("no token on stderr", s is None or s[0]["token"] not in err, err[-500:])


def typed_sign_in(build, env, svc, shots):
    svc.control("user", email="alice@example.test", password=PASSWORD, verified=True)
    svc.control("fault", path="auth/login", delay=1.5)
    svc.requests(clear=True)
    with temp_dir() as home:
        p = Program(build, env, home, svc.client_env())
        try:
            p.click("wl-signin")
            p.click("wl-email")
            p.type(" Alice@Example.TEST ")
            p.click("wl-pw")
            p.type(PASSWORD)
            p.key("Return")
            p.key("Return")
            p.key("Return")
            check("typed sign-in: signed in", wait_for(lambda: session(home) is not None))
            logins = svc.requests("auth/login")
            check("one login, e-mail trimmed and lower-cased, password as typed",
                  len(logins) == 1 and logins[0]["body"]["email"] == "alice@example.test"
                  and logins[0]["body"]["password"] == PASSWORD, logins)
            check("the calendar shows", p.left_welcome())
        finally:
            p.close()


def two_factor(build, env, svc, shots):
    svc.control("user", email="otp@example.test", password=PASSWORD, verified=True, totp=SECRET)
    for good in (True, False):
        svc.requests(clear=True)
        with temp_dir() as home:
            p = Program(build, env, home, {**svc.client_env(), "QUENMRK_WELCOME": "1"})
            try:
                p.click("wl-email")
                p.type("otp@example.test")
                p.click("wl-pw")
                p.type(PASSWORD)
                p.click("wl-go")
                check("the code form shows", p.wait("wl-code"))
                code = subprocess.run(["oathtool", "--totp", "-b", SECRET], capture_output=True,
                                      text=True).stdout.strip()
                if not good:
                    code = "%06d" % ((int(code) + 500000) % 1000000)
                p.type(code)
                if good:
                    check("a code from oathtool signs in", wait_for(lambda: session(home) is not None))
                else:
                    check("a refused code: the form is ready again", wait_for(
                        lambda: len(svc.requests("auth/login")) == 2 and "wl-verify" in p.widgets()))
                    time.sleep(1)
                    p.shot(os.path.join(shots, "two-factor-refused.png"))
                    check("a refused code: nothing saved", session(home) is None)
                with_code = [r for r in svc.requests("auth/login") if "code" in r["body"]]
                check(f"two-factor ({'good' if good else 'refused'}): one login with the code",
                      len(with_code) == 1 and with_code[0]["body"]["code"] == code, with_code)
                if not good:
                    # A click into the field selects the refused code: the next one replaces it.
                    fresh = totp_now()
                    p.click("wl-code")
                    p.type(fresh)
                    check("after a refused code, a click and a new code sign in",
                          wait_for(lambda: session(home) is not None))
                    with_code = [r["body"]["code"] for r in svc.requests("auth/login") if "code" in r["body"]]
                    check("the new code went out alone", with_code == [code, fresh], with_code)
            finally:
                p.close()


def totp_now():
    return subprocess.run(["oathtool", "--totp", "-b", SECRET], capture_output=True, text=True).stdout.strip()


def back_while_signing_in(build, env, svc, shots):
    """"Back" while "Signing in\u2026" leaves that sign-in: its answer, held by
    the service until the start page is back, opens no form, and a sign-in
    made afterwards goes on with what was typed for it."""
    email = "back@example.test"
    svc.control("user", email=email, password=PASSWORD, verified=True, totp=SECRET)
    svc.requests(clear=True)
    with temp_dir() as home:
        p = Program(build, env, home, {**svc.client_env(), "QUENMRK_WELCOME": "1"})
        try:
            svc.control("fault", path="auth/login", stall=True)
            p.click("wl-email")
            p.type(email)
            p.click("wl-pw")
            p.type(PASSWORD)
            p.click("wl-go")
            check("Back: the sign-in is held by the service", wait_for(lambda: svc.control("stalled")["count"] == 1))
            p.click("wl-back")
            check("Back: the start page shows", p.wait("wl-signin"))
            svc.control("release")
            # The answer to the first comes before that to the second: one worker sends them in turn.
            p.click("wl-signin")
            p.click("wl-email")
            p.type(email)
            p.click("wl-pw")
            p.type(PASSWORD)
            p.click("wl-go")
            check("Back: the second sign-in asks for the code", p.wait("wl-code"))
            check("Back: nothing saved before the code", session(home) is None)
            p.type(totp_now())
            check("Back: the code signs in", wait_for(lambda: session(home) is not None))
            logins = svc.requests("auth/login")
            check("Back: three logins, the code sent with the e-mail and password typed",
                  len(logins) == 3 and logins[2]["body"].get("email") == email
                  and logins[2]["body"].get("password") == PASSWORD and "code" in logins[2]["body"],
                  [sorted(r["body"]) for r in logins])
        finally:
            p.close()


def errors(build, env, svc, shots, untrusted_ca):
    svc.control("user", email="bob@example.test", password=PASSWORD, verified=True)
    cases = [
        ("wrong password", {}, "nope-" + PASSWORD),
        ("429", {"status": 429, "html": "<html>slow down</html>"}, PASSWORD),
        ("a 503 page", {"status": 503, "html": "<html>down</html>"}, PASSWORD),
        ("a 200 array", {"status": 200, "json": [1, 2]}, PASSWORD),
        ("a 200 without token", {"status": 200, "json": {"user": {"id": 9, "email": "bob@example.test"}}},
         PASSWORD),
        ("a closed port", None, PASSWORD),
        ("an untrusted certificate", "untrusted", PASSWORD),
    ]
    for name, fault, password in cases:
        svc.control("faults")
        svc.requests(clear=True)
        extra = {**svc.client_env(), "QUENMRK_WELCOME": "1", "QUENMRK_TEST_AUTH": "1",
                 "QUENMRK_TEST_EMAIL": "bob@example.test", "QUENMRK_TEST_PASSWORD": password}
        if fault is None:
            extra["QUENMRK_SERVER"] = f"https://127.0.0.1:{hs.closed_port()}"
        elif fault == "untrusted":
            extra["CURL_CA_BUNDLE"] = untrusted_ca
        elif fault:
            svc.control("fault", path="auth/login", **fault)
        with temp_dir() as home:
            p = Program(build, env, home, extra)
            try:
                check(f"{name}: the answer arrives", p.wait("wl-go", timeout=60)
                      and wait_for(lambda: "wl-go" in p.widgets(), 60))
                time.sleep(0.3)
                if name == "wrong password":
                    p.shot(os.path.join(shots, "sign-in-refused.png"))
                check(f"{name}: nothing written", session(home) is None and budgets(home) == ["local"],
                      (session(home), budgets(home)))
                reached = fault is not None and fault != "untrusted"
                check(f"{name}: one call reached the service", len(svc.requests("auth/login")) == int(reached))
            finally:
                p.close()


def forms(build, env, svc):
    svc.requests(clear=True)
    with temp_dir() as home:
        # Links go to the browser through xdg-open, which records them here.
        bin_dir = os.path.join(home, "bin")
        os.makedirs(bin_dir)
        opened = os.path.join(home, "opened.txt")
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write(f"#!/bin/sh\necho \"$1\" >> {opened}\n")
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        p = Program(build, env, home, {**svc.client_env(), "PATH": bin_dir + os.pathsep + env["PATH"]})
        try:
            p.click("wl-signup")
            p.click("wl-terms")
            p.click("wl-privacy")
            check("the terms and privacy links open in the browser", wait_for(
                lambda: os.path.exists(opened) and len(open(opened).read().split()) == 2, 10))
            if os.path.exists(opened):
                check("they name the service's pages", open(opened).read().split() == [
                    "https://quenmark.example/terms", "https://quenmark.example/privacy"], open(opened).read())
            p.click("wl-back")
            p.click("wl-signin")
            check("empty sign-in form: the button", p.click("wl-go"))
            p.click("wl-email")
            p.type("not-an-address")
            p.click("wl-go")
            time.sleep(0.5)
            check("refused forms send nothing", svc.requests() == [], svc.requests())
            p.click("wl-forgot")
            check("Forgot password? opens the reset form", p.wait("wl-send"))
            # The form's first field holds the keyboard: the first Escape is its own.
            p.key("Escape")
            time.sleep(0.3)
            check("Escape in a field stays on the form", "wl-send" in p.widgets())
            p.key("Escape")
            check("Escape: reset back to sign-in", p.wait("wl-go", timeout=10))
            p.key("Escape")
            p.key("Escape")
            check("Escape: sign-in back to the start", p.wait("wl-signin", timeout=10))
            p.click("wl-local")
            check("Use on this device only: the calendar", p.left_welcome())
        finally:
            p.close()
        with open(os.path.join(config(home), "settings.json")) as f:
            check("lastBudget is local", json.load(f)["lastBudget"] == "local")


def main():
    build = sys.argv[1]
    shots = os.path.join(build, "welcome-flow-shots")
    shutil.rmtree(shots, ignore_errors=True)
    os.makedirs(shots)
    with TestService() as svc, xvfb() as env:
        other = os.path.join(svc.folder, "other")
        os.makedirs(other)
        untrusted_ca, _, _ = hs.make_ca(other, "other")
        try:
            signup(build, env, svc, shots)
            typed_sign_in(build, env, svc, shots)
            two_factor(build, env, svc, shots)
            back_while_signing_in(build, env, svc, shots)
            errors(build, env, svc, shots, untrusted_ca)
            forms(build, env, svc)
        finally:
            from _shell import failures
            svc.failed = bool(failures)
    finish()


if __name__ == "__main__":
    main()
