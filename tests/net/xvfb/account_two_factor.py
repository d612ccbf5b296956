"""The Account page's two-factor card under Xvfb against the functional test
service, one signed-in program driven by widget id: the QR code read back
from a screenshot with zbarimg, codes from oathtool, codes of the wrong
length kept from the service, and which buttons stay usable once the service
cannot be reached (every call refused at connection, then the service
stopped)."""
import os
import subprocess

from _account import absent, check, drawn, replace_text, run, shows, signed_in, temp_dir, wait_for


def totp(secret, *when):
    return subprocess.run(["oathtool", "--totp", "-b", *when, secret], capture_output=True,
                          text=True).stdout.strip()


def set_up(p, email, shot=None):
    """The set-up view opened; the secret of the QR code on screen."""
    p.click("ac-2fa-setup")
    check("the set-up view shows", p.wait("ac-2fa-code"))
    if not shot:
        return None
    reads = []

    def qr():
        # The code's texture may come a few frames after the view.
        p.shot(shot)
        reads.append(subprocess.run(["zbarimg", "--raw", "-q", shot], capture_output=True, text=True).stdout.strip())
        return reads[-1].startswith("otpauth://totp/")
    check("the screenshot's QR reads back as an otpauth address", wait_for(qr, 15), reads[-1:])
    lead = "Or enter this key by hand: "
    shown = next((t["text"][len(lead):] for t in drawn(p) if t["text"].startswith(lead)), "")
    # The service's form of the address, with the key the page shows.
    check("it is the service's address exactly, with the key shown beside it",
          reads[-1] == f"otpauth://totp/Quenmark:{email}?secret={shown}&issuer=Quenmark", (reads[-1], shown))
    return shown


def offline(p):
    """One failed call (the name's) leaves the page knowing the service is
    out of reach: its button is back once the failure is in."""
    p.click("ac-savename")
    p.wait("ac-savename", timeout=3, gone=True)
    p.wait("ac-savename", timeout=15)


def two_factor(build, env, svc, shots):
    email = "tfa@example.test"
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, email)
        try:
            secret = set_up(p, email, os.path.join(shots, "account-2fa-setup.png"))
            for typed in ("12345", "1234567"):
                replace_text(p, "ac-2fa-code", typed)
                check(f"{len(typed)} digits: 'Verify and enable' stays disabled", absent(p, "ac-2fa-verify"))
            check("no code went out", svc.requests("me/2fa/enable") == [])
            code = totp(secret)
            wrong = f"{(int(code) + 500000) % 1000000:06d}"
            replace_text(p, "ac-2fa-code", wrong)
            p.click("ac-2fa-verify")
            check("a refused code: the service's error shows under the set-up view",
                  shows(p, "That code did not work. Try the newest one.") and "ac-2fa-code" in p.widgets())
            # A click into the field selects the refused code: the next one replaces it.
            p.click("ac-2fa-code")
            p.type(f" {code} ")
            check("after a refused code, a click and a new code: 'Verify and enable' is usable",
                  p.wait("ac-2fa-verify", timeout=10))
            p.click("ac-2fa-verify")
            check("enabled: the disable view shows", p.wait("ac-2fa-off"))
            check("the badge says so", shows(p, "Two-factor authentication is enabled"))
            enables = svc.requests("me/2fa/enable")
            check("the code went out trimmed", [e["body"]["code"] for e in enables] == [wrong, code], enables)
            check("the service has two-factor on", any(u["email"] == email and u["two_factor_enabled"]
                                                      for u in svc.control("state")["users"]))
            for typed in ("12345", "1234567"):
                replace_text(p, "ac-2fa-off", typed)
                check(f"{len(typed)} digits: 'Disable 2FA' stays disabled", absent(p, "ac-2fa-disable"))
            # A new code: the next time step's, which the service still takes.
            replace_text(p, "ac-2fa-off", totp(secret, "-N", "now + 30 seconds"))
            p.click("ac-2fa-disable")
            check("disabled: the offer shows again", p.wait("ac-2fa-setup"))

            # The set-up view while every call fails to connect.
            set_up(p, email)
            for path in ("me/profile", "sync"):
                svc.control("fault", path=path, times=1000, close="before")
            offline(p)
            replace_text(p, "ac-2fa-code", "123456")
            check("out of reach: 'Verify and enable' stays usable", p.wait("ac-2fa-verify", timeout=5))
            p.click("ac-2fa-cancel")
            check("out of reach: the set-up view closes", p.wait("ac-2fa-cancel", gone=True))
            check("out of reach: 'Set Up 2FA' is disabled", absent(p, "ac-2fa-setup") and "ac-savename" in p.widgets())
            svc.control("faults")
            p.click("ac-savename")
            check("reached again: 'Set Up 2FA' comes back", p.wait("ac-2fa-setup", timeout=15))

            # The enabled view with the service stopped.
            secret = set_up(p, email, os.path.join(shots, "account-2fa-setup-again.png"))
            replace_text(p, "ac-2fa-code", totp(secret))
            p.click("ac-2fa-verify")
            check("enabled again", p.wait("ac-2fa-off"))
            svc.stop()
            offline(p)
            replace_text(p, "ac-2fa-off", "123456")
            check("service stopped: 'Disable 2FA' stays usable", p.wait("ac-2fa-disable", timeout=5))
        finally:
            p.close()


if __name__ == "__main__":
    # The flow stops the service at its end.
    run([("2fa", two_factor)])
