"""The Account page's settings cards under Xvfb against the functional test
service, one program signed out and one signed in: the theme stored and
sent only when signed in, the calendar feed turned on, copied (xclip),
renewed and turned off through the confirm box, the import card's restart
and resume line, the update dialog, Help opened at the terms and the privacy
policy, and logging out (back to the device's budget). The calendar file is
read back by python3-icalendar."""
import json
import os
import subprocess

from _account import (TEXTS, absent, account_program, check, config, drawn, run, session, shows, signed_in,
                      temp_dir, to_page_end, wait_for)
from _shell import accept_terms, click_at, open_folder, steady_rect  # noqa: E402  (found through _account's path)

# Two lines of a bank's statement, and one without any.
STATEMENT = ("OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n"
             "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20260305<TRNAMT>-23.10<FITID>B1<NAME>Hardware store</STMTTRN>\n"
             "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20260308<TRNAMT>-61.00<FITID>B2<NAME>Pharmacy</STMTTRN>\n"
             "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n")
EMPTY_STATEMENT = "OFXHEADER:100\n\n<OFX></OFX>\n"


def read_json(home, *parts):
    with open(os.path.join(config(home), *parts)) as f:
        return json.load(f)


def to_account_page(p):
    p.click("nav-avatar")
    p.click("um-settings")
    return p.wait("ac-theme")


def choose_theme(p, index):
    p.click("ac-theme")
    p.click(f"cmbitem#{index}")


def help_at(p, title):
    """Help shows the page titled `title`: its contents entry is the one the
    list opens out under (the open page's headings follow it)."""
    def open_page():
        listed = p.widgets()
        pages = sorted((r[1], r) for i, r in listed.items() if i.startswith("htc"))
        below = min((r[1] for i, r in listed.items() if i.startswith("hts")), default=None)
        above = [r for y, r in pages if below is not None and y < below]
        if not above:
            return None
        r = above[-1]
        return next((t["text"] for t in drawn(p) if abs(t["rect"][1] - r[1]) < 1 and t["rect"][0] >= r[0]), None)
    return p.wait("help-search") and wait_for(lambda: open_page() == title, 10)


def choose_file(p, folder):
    """The file dialog open: its folder typed, the first file taken."""
    if not p.wait("filedir") or not open_folder(p.env, p.find_window(), p.listing, folder,
                                                lambda ids: "fe0" in ids and "fe1" not in ids):
        return False
    rect = steady_rect(p.listing, "fe0")
    if rect is None:
        return False
    click_at(p.env, p.window, rect, "--repeat", "2", "--delay", "80", "1", path=p.listing)
    return True


def signed_out(build, env, svc, shots):
    with temp_dir() as home:
        accept_terms(home)
        statements = os.path.join(home, "statements")
        nothing = os.path.join(home, "nothing")
        for folder, text in ((statements, STATEMENT), (nothing, EMPTY_STATEMENT)):
            os.makedirs(folder)
            with open(os.path.join(folder, "bank.ofx"), "w") as f:
                f.write(text)
        p = account_program(build, env, svc, home, {"TZ": "UTC"})
        try:
            check("signed out: the page shows", p.wait("ac-theme"))
            check("the acceptance label shows", shows(p, "You accepted them on 3 November 2026, in version 1.1.0."))
            for wid, title in (("ac-terms", "Terms of Use"), ("ac-privacy", "Privacy Policy")):
                p.click(wid)
                check(f"{wid}: Help opens at {title!r}", help_at(p, title))
                check("back to the account page", to_account_page(p))

            choose_theme(p, 2)
            check("Dark: themeMode 1 stored", wait_for(lambda: read_json(home, "settings.json").get("themeMode") == 1))
            check("Dark: the budget's theme_preference", wait_for(
                lambda: read_json(home, "budgets", "local", "data.json")["user"].get("theme_preference") == "dark"))
            check("signed out, the theme is sent nowhere", svc.requests() == [], svc.requests())

            p.click("ac-checkupd")
            check("'Check for updates now' opens the update dialog",
                  wait_for(lambda: any(w.startswith("upd-") for w in p.widgets())), sorted(p.widgets()))
            p.key("Escape")
            check("the dialog closes", wait_for(lambda: not any(w.startswith("upd-") for w in p.widgets()), 10))

            p.click("ac-import")
            check("a statement chosen: the review shows", choose_file(p, statements) and p.wait("ie-confirm"))
            check("back to the account page", to_account_page(p))
            check("during the review the resume line shows",
                  p.wait("ac-import-resume") and shows(p, "Continue reviewing bank.ofx"))
            p.click("ac-import-resume")
            check("the resume line opens the review", p.wait("ie-confirm"))
            p.click("ie-confirm")
            check("the import finishes", p.wait("ie-another"))
            check("back to the account page", to_account_page(p))
            check("no resume line after the import", absent(p, "ac-import-resume"))
            # A statement without lines leaves the wizard's step alone: the
            # choose step shows only when "Import a file" restarted it.
            p.click("ac-import")
            check("'Import a file' after an import: the wizard starts again",
                  choose_file(p, nothing) and p.wait("ie-choose") and absent(p, "ie-another"), sorted(p.widgets()))

            check("back to the account page", to_account_page(p))
            saved = os.path.join(home, "calendar")
            os.makedirs(saved)
            p.click("cs-ics")
            if check("'Save calendar file' opens the dialog", p.wait("filedir")):
                check("the dialog lists the empty folder", open_folder(
                    p.env, p.find_window(), p.listing, saved, lambda ids: not any(i.startswith("fe") for i in ids)))
                p.click("file-ok")
            path = os.path.join(saved, "quenmark.ics")
            if check("the calendar file is saved under its default name",
                     wait_for(lambda: os.path.exists(path), 10)):
                import icalendar
                with open(path, "rb") as f:
                    check("python3-icalendar reads it", icalendar.Calendar.from_ical(f.read()).name == "VCALENDAR")
        finally:
            p.close()


def clipboard(p):
    return subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=p.env, capture_output=True, text=True,
                          timeout=10).stdout


def feed_address(svc, email):
    token = next(u["calendar_token"] for u in svc.control("state")["users"] if u["email"] == email)
    return token, f"{svc.base}/ical/feed/{token}.ics" if token else ""


def signed_in_cards(build, env, svc, shots):
    email = "set@example.test"
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, email, TEXTS)
        try:
            svc.requests(clear=True)
            choose_theme(p, 2)
            check("signed in, Dark goes out as me/theme", wait_for(
                lambda: [r["body"].get("theme") for r in svc.requests("me/theme")] == ["dark"]), svc.requests())

            p.click("chkCalendar feed off")
            check("ticking the feed asks for a token", wait_for(lambda: len(svc.requests("me/calendar-token")) == 1))
            check("the box reads 'on'", p.wait("chkCalendar feed on"))
            token, url = feed_address(svc, email)
            # The reply comes a few frames after the service made the token.
            # The toast is looked for before the clipboard is read: on a
            # loaded machine the read can outlast the toast's seconds.
            toasts = []

            def copied():
                if not p.click("cs-copy"):
                    return False
                toasts.append(shows(p, "Feed URL copied"))
                return clipboard(p) == url
            check("'Copy' puts base + /ical/feed/<token>.ics on the clipboard", wait_for(copied, 10),
                  (clipboard(p), url))
            check("and says so", any(toasts))

            check("'Generate New URL' asks first",
                  p.click_until("cs-regen", lambda: "qmconfirm-yes" in p.widgets())
                  and len(svc.requests("me/calendar-token")) == 1)
            check("the box offers 'Generate'", wait_for(lambda: any(t["text"] == "Generate" for t in drawn(p)), 5))
            p.click("qmconfirm-yes")
            check("confirmed, a new token comes", wait_for(lambda: feed_address(svc, email)[0] not in ("", token)))
            token, url = feed_address(svc, email)
            # The reply comes a few frames after the service changed it.
            check("the new address is the one shown",
                  wait_for(lambda: p.click("cs-copy") and clipboard(p) == url, 10), (clipboard(p), url))

            p.click("chkCalendar feed on")
            check("clearing the box asks first", p.wait("qmconfirm-yes", timeout=10)
                  and svc.requests("me/calendar-token/off") == [])
            p.click("qmconfirm-yes")
            check("confirmed, .../off goes out", wait_for(lambda: len(svc.requests("me/calendar-token/off")) == 1))
            check("the box reads 'off'", p.wait("chkCalendar feed off"))

            check("the page scrolls to its end", to_page_end(p, "ac-logout"))
            check("'Log out' asks first", p.click_until("ac-logout", lambda: "qmconfirm-yes" in p.widgets())
                  and svc.requests("auth/logout") == [])
            p.click("qmconfirm-yes")
            check("confirmed, auth/logout goes out", wait_for(lambda: len(svc.requests("auth/logout")) == 1))
            check("signed out: the page says so and leaves the account's settings",
                  shows(p, "Signed out") and p.wait("ac-theme", gone=True))
            check("the session is gone", wait_for(lambda: session(home) is None))
        finally:
            p.close()


def calendar_file(build, env, svc, shots):
    """The calendar file of the demonstration budget, read back by python3-icalendar."""
    import icalendar
    from _shell import run as run_program
    with temp_dir() as home:
        path = os.path.join(home, "out.ics")
        r = run_program(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_EXPORT": f"ics:{path}"})
        check("ics export exits 0", r.returncode == 0, r.stderr[-500:])
        with open(path, "rb") as f:
            cal = icalendar.Calendar.from_ical(f.read())
        events = [c for c in cal.walk() if c.name == "VEVENT"]
        check("the calendar file holds the demonstration events", len(events) > 10, len(events))
        run_program(build, env, home, {"QUENMRK_EXPORT": "ics:/nonexistent/dir/a.ics"})
        check("an unwritable path writes nothing", not os.path.exists("/nonexistent/dir/a.ics"))


if __name__ == "__main__":
    run([("signed-out", signed_out), ("signed-in", signed_in_cards), ("ics", calendar_file)])
