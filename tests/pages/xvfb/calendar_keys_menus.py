"""The calendar's toolbar, menus and keys in the real program over the
demonstration budget, today pinned, data.json read after each step: a right
click on a tile sets a running balance; a click on a line and P marks it
paid, Ctrl+D copies it, Ctrl+X then a click on another day and Ctrl+V moves
it, Delete and the confirmation delete it. The account chosen in the switcher
still filters after a restart. The toolbar's search popover opens on a
click into the field being typed in, and Enter shows the search page. Screenshots go to QM_SHOTS when it
is set, to look at."""
import os
import subprocess
import sys
import time

from _pages import Running, check, data, finish, temp_dir, wait_for, xvfb

DEMO = {"QUENMRK_DEMO": "1"}
TARGET = "2025-03-22"  # a one-off demo line
EMPTY_DAY = "2025-03-19"


def capture(p, path):
    time.sleep(0.3)
    subprocess.run(["import", "-window", "root", path], env=p.env, check=True, timeout=60)


def right_click(p, wid):
    p.click(wid, button=3)


def own(home):
    d = data(home)
    return ([t for t in d["transactions"] if not t.get("is_demo")], d.get("transaction_adjustments", []),
            d.get("running_total_adjustments", []), d)


def mine(adjustments, tx):
    return [a for a in adjustments if a["transaction_id"] == tx]


def keys_and_menus(build, env, shots):
    with temp_dir() as home:
        with Running(build, env, home, DEMO) as p:
            before_anchors = len(own(home)[2])
            right_click(p, "cell-" + EMPTY_DAY)
            p.click("miSet running balance\u2026")
            check("the day menu opens the running balance dialog", p.wait_widget("bal-amount", 10))
            p.type("2500", at="bal-amount")
            p.key("Return", at="bal-amount")
            wait_for(lambda: len(own(home)[2]) > before_anchors, 10)
            anchors = [a for a in own(home)[2] if a["date"] == EMPTY_DAY]
            check("Enter stores the anchor", len(anchors) == 1 and abs(anchors[0]["amount"] - 2500) < 0.001,
                  own(home)[2])

            line = next(w["id"] for w in p.widgets() if w["id"].startswith("tile-") and f"-{TARGET}#" in w["id"])
            tx = int(line[len("tile-"):line.index(f"-{TARGET}#")])
            p.click(line)
            p.key("p")
            wait_for(lambda: mine(own(home)[1], tx), 10)
            adj = mine(own(home)[1], tx)
            check("P marks the occurrence paid", len(adj) == 1 and adj[0].get("is_paid") is True, adj)

            p.key("ctrl+d")
            wait_for(lambda: own(home)[0], 10)
            copies = own(home)[0]
            check("Ctrl+D adds a copy on its day", len(copies) == 1 and copies[0]["start_date"] == TARGET, copies)

            p.key("ctrl+x")
            p.click("cell-" + EMPTY_DAY)
            p.key("ctrl+v")
            wait_for(lambda: any(a.get("new_date") == EMPTY_DAY for a in mine(own(home)[1], tx)), 10)
            adj = mine(own(home)[1], tx)
            check("Ctrl+X, a day and Ctrl+V move it with one adjustment",
                  len(adj) == 1 and adj[0]["original_date"] == TARGET and adj[0]["new_date"] == EMPTY_DAY
                  and len(own(home)[0]) == 1, adj)

            p.key("Delete")
            check("Delete asks to confirm", p.wait_widget("qmconfirm-yes", 10))
            p.click("qmconfirm-yes")
            wait_for(lambda: all(t["id"] != tx for t in own(home)[3]["transactions"]), 10)
            check("the confirmation deletes it", all(t["id"] != tx for t in own(home)[3]["transactions"]))

            p.click("tb-search")
            p.type("gro", at="tb-search")
            p.click("tb-search")
            check("a click into the field being typed in opens the search popover", p.wait_widget("sr-0", 10))
            if shots:
                capture(p, os.path.join(shots, "searchpop.png"))
            p.key("Return", at="tb-search")
            check("Enter shows the search page", p.wait_widget("sp-query", 10))
            status = p.close()
        check("keys and menus: the program ends with status 0", status == 0, p.stderr[-1500:])


def filter_survives_a_restart(build, env, shots):
    with temp_dir() as home:
        with Running(build, env, home, DEMO) as p:
            p.click("account-switcher")
            check("the switcher opens", p.wait_widget("acc-row-all", 10))
            row = next(w["id"] for w in p.widgets() if w["id"].startswith("acc-row-") and w["id"] != "acc-row-all")
            chosen = int(row[len("acc-row-"):])
            p.click(row)
            status = p.close()
        check("switcher: the program ends with status 0", status == 0, p.stderr[-1500:])
        check("the choice is stored", data(home)["user"].get("selected_account_id") == chosen, data(home)["user"])
        with Running(build, env, home) as p:
            p.wait_widget("account-switcher")
            p.click("account-switcher")
            p.wait_widget("acc-row-all", 10)
            if shots:
                capture(p, os.path.join(shots, "switcher_after_restart.png"))
            status = p.close()
        check("restart: the program ends with status 0", status == 0, p.stderr[-1500:])
        check("after a restart the filter holds", data(home)["user"].get("selected_account_id") == chosen)


def main():
    build = sys.argv[1]
    shots = os.environ.get("QM_SHOTS")
    with xvfb() as env:
        keys_and_menus(build, env, shots)
        filter_survives_a_restart(build, env, shots)
    finish()


main()
