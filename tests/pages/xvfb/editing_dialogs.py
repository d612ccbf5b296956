"""The editing dialogs opened by QUENMRK_OPEN over the demonstration budget,
today pinned: a screenshot of each in the light and dark theme at scale 1
and 2, Manage Accounts and Manage Categories driven by widget id until data.json
holds the balance and the category typed."""
import os
import sys

from _pages import Running, TODAY, check, data, finish, png_size, run_pinned, temp_dir, wait_for, xvfb

DIALOGS = ("balance", "categories", "categories-error", "accounts", "merge")


def shots(build, env, out):
    for dialog in DIALOGS:
        for theme in ("light", "dark"):
            for scale in ("1", "2"):
                name = f"dialog_{dialog}_{theme}_{scale}x"
                with temp_dir() as home:
                    shot = os.path.join(out or home, name + ".png")
                    size = (1280, 820) if scale == "1" else (1600, 1100)
                    r = run_pinned(build, env, home, {
                        "QUENMRK_DEMO": "1", "QUENMRK_OPEN": dialog, "QUENMRK_THEME": theme, "QUENMRK_SCALE": scale,
                        "QUENMRK_SHOT": shot, "QUENMRK_WINDOW": f"{size[0]}x{size[1]}", "QUENMRK_SPLASH": "0"})
                    check(f"{name}: exits 0 with its PNG", r.returncode == 0 and png_size(shot) is not None,
                          r.stderr[-1500:])


def accounts_balance(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_OPEN": "accounts"}) as p:
            fields = []
            wait_for(lambda: fields.extend(w["id"] for w in p.widgets() if w["id"].startswith("acc-bal-")) or fields)
            field = fields[0]
            account = int(field[len("acc-bal-"):])
            p.click(field)
            p.key("ctrl+a", at=field)
            check("accounts: the balance is typed into its field", p.type("2500", at=field))
            p.key("Tab", at=field)
            p.click("acc-savebal")
            status = p.close()
        check("accounts: the program ends with status 0", status == 0, p.stderr[-1500:])
        anchors = [a for a in data(home).get("running_total_adjustments", [])
                   if a["account_id"] == account and a["date"] == TODAY]
        check("accounts: data.json holds the typed balance at today",
              len(anchors) == 1 and abs(anchors[0]["amount"] - 2500) < 0.001, anchors)


def categories_add(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", "QUENMRK_OPEN": "categories"}) as p:
            p.click("cat-newcolor-c4")
            p.click("cat-new")
            check("categories: the name is typed into its field", p.type("Pets", at="cat-new"))
            p.key("Return", at="cat-new")
            status = p.close()
        check("categories: the program ends with status 0", status == 0, p.stderr[-1500:])
        pets = [c for c in data(home)["categories"] if c["name"] == "Pets"]
        check("categories: data.json holds the new category in the picked colour",
              len(pets) == 1 and pets[0]["color"] == "#2e828b", pets)


def main():
    build = sys.argv[1]
    out = os.environ.get("QM_SHOTS")  # keep the screenshots there to look at them
    with xvfb() as env:
        shots(build, env, out)
        accounts_balance(build, env)
        categories_add(build, env)
    finish()


main()
