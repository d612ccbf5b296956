"""The Account page's profile, e-mail and password cards under Xvfb against
the functional test service, one signed-in program driven by widget id: the
request bodies, what the page says after them (drawn texts) and what the
checks on this side refuse without asking the service."""
import time

from _account import PASSWORD, check, replace_text, run, shows, signed_in, temp_dir, wait_for


def profile_and_password(build, env, svc, shots):
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
            check("the name's status line shows the service's message", shows(p, "Name saved."))
            replace_text(p, "ac-email", " new@example.test ")
            p.click("ac-saveemail")
            check("e-mail trimmed", wait_for(lambda: [r["body"].get("email") for r in svc.requests("me/email")]
                                             == ["new@example.test"]))
            check("the pending address is named",
                  shows(p, "Verification email sent to new@example.test. Check that inbox to complete the change."))
            check("the e-mail's status line shows the service's message",
                  shows(p, "Check your new inbox to confirm the change."))
            for new, again in (("abcdefgh", "abcdefgx"), ("abc", "abc")):
                replace_text(p, "ac-newpw", new)
                replace_text(p, "ac-confpw", again)
                p.click("ac-savepw")
            time.sleep(0.5)
            check("mismatch and short passwords send nothing", svc.requests("me/password") == [])
            replace_text(p, "ac-curpw", "not the one")
            replace_text(p, "ac-newpw", "brand new pw")
            replace_text(p, "ac-confpw", "brand new pw")
            p.click("ac-savepw")
            check("a refused change: the service's error shows", shows(p, "The current password is not right."))
            # The new pair stays typed after a refusal: only the current one is mended.
            replace_text(p, "ac-curpw", PASSWORD)
            p.click("ac-savepw")
            check("the password change goes out as typed",
                  wait_for(lambda: [r["body"].get("new_password") for r in svc.requests("me/password")]
                           == ["brand new pw"] * 2), svc.requests("me/password"))
            check("the current password goes with it",
                  svc.requests("me/password")[1]["body"]["current_password"] == PASSWORD)
            check("the password's status line shows the service's message", shows(p, "Password updated."))
            # Typed without clearing: the bodies hold exactly this only when
            # the success emptied all three fields.
            for wid, text in (("ac-curpw", "brand new pw"), ("ac-newpw", "third one 3"), ("ac-confpw", "third one 3")):
                p.click(wid)
                p.type(text)
            p.click("ac-savepw")
            check("a success empties the three fields",
                  wait_for(lambda: [(r["body"].get("current_password"), r["body"].get("new_password"))
                                    for r in svc.requests("me/password")][2:]
                           == [("brand new pw", "third one 3")]), svc.requests("me/password"))
        finally:
            p.close()


if __name__ == "__main__":
    run([("profile", profile_and_password)])
