"""The Account page under Xvfb against the functional test service, driven
by widget id with xdotool: the bodies of the name, e-mail, password,
two-factor, photo and delete calls, what the screen shows after them, and
what the checks on this side refuse without asking the service. The QR code
is read back from a screenshot with zbarimg, the codes come from oathtool."""
import hashlib
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import check, config, finish, temp_dir, wait_for, xvfb  # noqa: E402
from _service_fixture import TestService  # noqa: E402
from welcome_flows import Program, budgets, session  # noqa: E402

PASSWORD = "correct horse"


def signed_in(build, env, svc, home, email, extra=None):
    """The program signed in as `email` (by a first run that signs in and
    ends) with the Account page open."""
    if session(home) is None:
        first = Program(build, env, home, {**svc.client_env(), "QUENMRK_TEST_AUTH": "login",
                                           "QUENMRK_TEST_EMAIL": email, "QUENMRK_TEST_PASSWORD": PASSWORD})
        check(f"{email}: signed in", wait_for(lambda: session(home) is not None))
        time.sleep(0.5)
        first.close()
    p = Program(build, env, home, {**svc.client_env(), "QUENMRK_PAGE": "account", "QUENMRK_WINDOW": "1280x1500",
                                   **(extra or {})})
    check(f"{email}: the signed-in page shows", p.wait("ac-first"))
    return p


def replace_text(p, wid, text):
    p.click(wid)
    p.key("ctrl+a")
    p.key("BackSpace")
    if text:
        p.type(text)


def profile_and_password(build, env, svc):
    svc.control("user", email="ann@example.test", password=PASSWORD, verified=True)
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, "ann@example.test")
        try:
            svc.requests(clear=True)
            replace_text(p, "ac-first", "  Ann ")
            replace_text(p, "ac-last", " Lee  ")
            p.click("ac-savename")
            check("names go out trimmed", wait_for(lambda: [r["body"].get("first_name") for r in
                                                            svc.requests("me/profile")] == ["Ann"]))
            check("last name trimmed", svc.requests("me/profile")[0]["body"]["last_name"] == "Lee")
            replace_text(p, "ac-email", " new@example.test ")
            p.click("ac-saveemail")
            check("e-mail trimmed", wait_for(lambda: [r["body"].get("email") for r in svc.requests("me/email")]
                                             == ["new@example.test"]))
            for new, again in (("abcdefgh", "abcdefgx"), ("abc", "abc")):
                replace_text(p, "ac-newpw", new)
                replace_text(p, "ac-confpw", again)
                p.click("ac-savepw")
            time.sleep(0.5)
            check("mismatch and short passwords send nothing", svc.requests("me/password") == [])
            replace_text(p, "ac-curpw", PASSWORD)
            replace_text(p, "ac-newpw", "brand new pw")
            replace_text(p, "ac-confpw", "brand new pw")
            p.click("ac-savepw")
            check("the password change goes out as typed",
                  wait_for(lambda: [r["body"].get("new_password") for r in svc.requests("me/password")]
                           == ["brand new pw"]))
            check("the current password goes with it",
                  svc.requests("me/password")[0]["body"]["current_password"] == PASSWORD)
        finally:
            p.close()


def two_factor(build, env, svc, shots):
    svc.control("user", email="tfa@example.test", password=PASSWORD, verified=True)
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, "tfa@example.test")
        try:
            p.click("ac-2fa-setup")
            check("the set-up view shows", p.wait("ac-2fa-code"))
            time.sleep(0.3)
            shot = os.path.join(shots, "account-2fa-setup.png")
            p.shot(shot)
            uri = [r for r in svc.requests("me/2fa/setup")]
            read = subprocess.run(["zbarimg", "--raw", "-q", shot], capture_output=True, text=True).stdout.strip()
            state = svc.control("state")
            check("the screenshot's QR reads back as an otpauth address", read.startswith("otpauth://totp/"), read)
            secret = read.split("secret=")[1].split("&")[0] if "secret=" in read else ""
            for typed in ("12345", "1234567"):
                replace_text(p, "ac-2fa-code", typed)
                p.click("ac-2fa-verify")
                time.sleep(0.5)
                check(f"{len(typed)} digits: 'Verify and enable' sends nothing", svc.requests("me/2fa/enable") == [])
            code = subprocess.run(["oathtool", "--totp", "-b", secret], capture_output=True, text=True).stdout.strip()
            replace_text(p, "ac-2fa-code", f" {code} ")
            p.click("ac-2fa-verify")
            check("enabled: the disable view shows", p.wait("ac-2fa-off"))
            enables = svc.requests("me/2fa/enable")
            check("the code went out trimmed", enables and enables[-1]["body"]["code"] == code, enables)
            check("the service has two-factor on", any(u["email"] == "tfa@example.test" and u["two_factor_enabled"]
                                                      for u in svc.control("state")["users"]), (uri, state))
            # A new code: the next time step's, which the service still takes.
            code = subprocess.run(["oathtool", "--totp", "-b", "-N", "now + 30 seconds", secret],
                                  capture_output=True, text=True).stdout.strip()
            replace_text(p, "ac-2fa-off", code)
            p.click("ac-2fa-disable")
            check("disabled: the offer shows again", p.wait("ac-2fa-setup"))
        finally:
            p.close()


def photo(build, env, svc):
    svc.control("user", email="pic@example.test", password=PASSWORD, verified=True)
    with temp_dir() as home:
        folder = os.path.join(home, "pics")
        os.makedirs(folder)
        exact = os.path.join(folder, "exact.png")
        with open(exact, "wb") as f:
            f.write(b"\x89PNG" + os.urandom(2 * 1024 * 1024 - 4))
        over = os.path.join(folder, "over.png")
        with open(over, "wb") as f:
            f.write(b"x" * (2 * 1024 * 1024 + 1))
        empty = os.path.join(folder, "empty.png")
        open(empty, "wb").close()
        fifo = os.path.join(folder, "fifo.png")
        os.mkfifo(fifo)
        cases = [(exact, True), (over, False), (empty, False), (fifo, False), (folder, False)]
        for path, sent in cases:
            svc.requests(clear=True)
            p = signed_in(build, env, svc, home, "pic@example.test", {"QUENMRK_TEST_AVATAR": path})
            try:
                if sent:
                    check("the photo arrives byte for byte under its bare name",
                          wait_for(lambda: svc.control("avatar", email="pic@example.test")["sha256"]
                                   == hashlib.sha256(open(exact, "rb").read()).hexdigest())
                          and svc.control("avatar", email="pic@example.test")["name"] == "exact.png")
                    check("'Remove photo' shows once there is an avatar", p.wait("ac-photo-rm"))
                else:
                    time.sleep(1.0)
                    check(f"{os.path.basename(path)}: nothing is sent", svc.requests("me/avatar/upload") == [])
            finally:
                p.close()


def delete_account(build, env, svc):
    svc.control("user", email="del@example.test", password=PASSWORD, verified=True)
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, "del@example.test")
        try:
            p.find_window()
            p.xdo("mousemove", "--window", p.window, "640", "700", "click", "--repeat", "20", "5")  # to the page's end
            time.sleep(0.5)
            for typed in ("delete", " DELETE", "DELETE "):
                replace_text(p, "ac-delete", typed)
                listed = "ac-delete-btn" in p.widgets()
                if listed:
                    p.click("ac-delete-btn")
                check(f"{typed!r}: the button asks nothing", not p.wait("qmconfirm-yes", timeout=1))
            replace_text(p, "ac-delete", "DELETE")
            time.sleep(0.2)
            p.click("ac-delete-btn")
            check("the confirm box asks", p.click("qmconfirm-yes"))
            check("me/delete goes out with the confirmation",
                  wait_for(lambda: [r["body"].get("confirm") for r in svc.requests("me/delete")] == ["DELETE"]))
            check("the account's budget folder goes, the device's stays",
                  wait_for(lambda: budgets(home) == ["local"]), budgets(home))
            check("the welcome page shows", p.wait("wl-signin"))
        finally:
            p.close()


def calendar_file(build, env):
    """The calendar file of the demonstration budget, read back by python3-icalendar."""
    import icalendar
    from _shell import run
    with temp_dir() as home:
        path = os.path.join(home, "out.ics")
        r = run(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_EXPORT": f"ics:{path}"})
        check("ics export exits 0", r.returncode == 0, r.stderr[-500:])
        with open(path, "rb") as f:
            cal = icalendar.Calendar.from_ical(f.read())
        events = [c for c in cal.walk() if c.name == "VEVENT"]
        check("the calendar file holds the demonstration events", len(events) > 10, len(events))
        r = run(build, env, home, {"QUENMRK_EXPORT": "ics:/nonexistent/dir/a.ics"})
        check("an unwritable path writes nothing", not os.path.exists("/nonexistent/dir/a.ics"))


def main():
    build = sys.argv[1]
    shots = os.path.join(build, "account-flow-shots")
    os.makedirs(shots, exist_ok=True)
    with xvfb("1400x1600x24") as env, TestService() as svc:
        only = os.environ.get("QM_ONLY", "")
        for name, flow in (("profile", lambda: profile_and_password(build, env, svc)),
                           ("2fa", lambda: two_factor(build, env, svc, shots)), ("photo", lambda: photo(build, env, svc)),
                           ("delete", lambda: delete_account(build, env, svc)),
                           ("ics", lambda: calendar_file(build, env))):
            if not only or name == only:
                flow()
    finish()


if __name__ == "__main__":
    main()
