"""The header bar and the search page in the real program with the
demonstration budget, today pinned: the tabs and the page menu reach their
pages, the popovers open, and a search found by typing leads back to the
calendar. Screenshots are written to QM_SHOTS when it is set, to look at."""
import os
import subprocess
import sys

from _pages import Running, check, finish, png_size, run_pinned, scaled, temp_dir, wait_for, xvfb

DEMO = {"QUENMRK_DEMO": "1"}


def capture(p, path):
    # Each click and key returns once its frames are drawn.
    subprocess.run(["import", "-window", "root", path], env=p.env, check=True, timeout=scaled(60))
    return png_size(path)


def ids(p):
    return {w["id"] for w in p.widgets()}


def desktop(build, env, out):
    with temp_dir() as home:
        shots = out or home
        with Running(build, env, home, DEMO) as p:
            p.wait_widget("nav-balance")
            check("1280: tabs and no page menu", {"nav-Calendar", "nav-Help"} <= ids(p) and "nav-menu" not in ids(p))
            capture(p, os.path.join(shots, "header_1280.png"))
            p.click("nav-avatar")
            check("the user menu opens", p.wait_widget("um-signin", 10), sorted(ids(p))[:40])
            capture(p, os.path.join(shots, "header_user_menu.png"))
            p.key("Escape", at="um-signin")
            p.click("nav-balance")
            check("the figures panel opens", p.wait_widget("bal-prev", 10))
            capture(p, os.path.join(shots, "header_month_figures.png"))
            p.key("Escape", at="bal-prev")
            p.click("nav-Search")
            check("nav-Search shows the search page", p.wait_widget("sp-query", 10))
            capture(p, os.path.join(shots, "search_1280_light.png"))
            p.click("nav-Reports")
            reached = p.wait_widget("rp-pdf", 10) and "sp-query" not in ids(p)
            p.click("nav-Help")
            check("nav-Help shows the help page", p.wait_widget("help-search", 10))
            status = p.close()
        check("desktop run ends with status 0", status == 0, p.stderr[-1500:])
        check("nav-Reports shows the reports page", reached, p.stderr[-800:])


def narrow(build, env, out):
    with temp_dir() as home:
        with Running(build, env, home, dict(DEMO, QUENMRK_WINDOW="760x600")) as p:
            check("760: the page menu stands in for the tabs", p.wait_widget("nav-menu") and "nav-Search" not in ids(p))
            capture(p, os.path.join(out or home, "header_760.png"))
            p.click("nav-menu")
            check("the page menu lists the pages", p.wait_widget("nm-Account", 10))
            capture(p, os.path.join(out or home, "header_page_menu.png"))
            p.click("nm-Search")
            check("nm-Search shows the search page", p.wait_widget("sp-query", 10))
            status = p.close()
        check("narrow run ends with status 0", status == 0, p.stderr[-1500:])


def phone(build, env, out):
    with temp_dir() as home:
        with Running(build, env, home, dict(DEMO, QUENMRK_WINDOW="390x844", QUENMRK_PHONE="1")) as p:
            p.click("ph-menu")
            check("the phone menu opens with the pages and the account rows",
                  p.wait_widget("pm-Account", 10) and {"pm-sync", "pm-signin", "pm-signup"} <= ids(p), sorted(ids(p)))
            capture(p, os.path.join(out or home, "header_phone_menu.png"))
            p.click("pm-Search")
            check("pm-Search shows the search page", p.wait_widget("sp-query", 10))
            status = p.close()
        check("phone run ends with status 0", status == 0, p.stderr[-1500:])


def search_to_calendar(build, env, out):
    with temp_dir() as home:
        shot = os.path.join(out or home, "search_row_to_calendar.png")
        with Running(build, env, home, dict(DEMO, QUENMRK_PAGE="search")) as p:
            p.click("sp-query")
            p.type("rent", at="sp-query")
            p.key("Return", at="sp-query")
            p.click("sp-sort#0")
            p.click("sp-sort#0")
            check("a result row is listed", p.wait_widget("sp-row#0", 10))
            p.click("sp-row#0")
            gone = wait_for(lambda: "sp-query" not in ids(p) and "nav-balance" in ids(p), 10)
            size = capture(p, shot)
            status = p.close()
        check("a row click leaves the search page", gone, sorted(ids(p))[:30] if not gone else "")
        check("the capture is the whole screen", size is not None and size[0] >= 1280, size)
        check("search run ends with status 0", status == 0, p.stderr[-1500:])


def still_shots(build, env, out):
    cases = [("search_1280_dark", "1280x820", {"QUENMRK_THEME": "dark"}),
             ("search_phone_light", "390x844", {"QUENMRK_PHONE": "1", "QUENMRK_THEME": "light"}),
             ("search_phone_dark", "390x844", {"QUENMRK_PHONE": "1", "QUENMRK_THEME": "dark"})]
    for name, window, extra in cases:
        with temp_dir() as home:
            shot = os.path.join(out or home, name + ".png")
            r = run_pinned(build, env, home, dict(DEMO, QUENMRK_PAGE="search", QUENMRK_WINDOW=window,
                                                  QUENMRK_SPLASH="0", QUENMRK_SHOT=shot, **extra))
            w, h = (int(v) for v in window.split("x"))
            check(f"{name}: exits 0 with a {window} PNG", r.returncode == 0 and png_size(shot) == (w, h),
                  r.stderr[-800:])


def main():
    build = sys.argv[1]
    out = os.environ.get("QM_SHOTS")
    with xvfb() as env:
        desktop(build, env, out)
        narrow(build, env, out)
        phone(build, env, out)
        search_to_calendar(build, env, out)
        still_shots(build, env, out)
    finish()


main()
