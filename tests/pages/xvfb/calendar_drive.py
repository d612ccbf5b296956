"""The calendar driven as a user would, over the demonstration budget with
today pinned: a double click on an empty part of a day opens the form, which
saves a monthly rule starting that day; dragging a line to another day stores
one adjustment moving it there; a click without movement stores nothing."""
import os
import sys
import time

from _pages import Running, check, data, finish, temp_dir, wait_for, xvfb

EMPTY_DAY = "2025-03-19"


def double_click_adds_a_rule(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1"}) as p:
            p.click("cell-" + EMPTY_DAY, double=True)
            opened = p.wait_widget("tx-desc", 10)
            check("double click: the form opens", opened)
            p.type("Rent", at="tx-desc")
            p.click("tx-amount")
            p.type("1200", at="tx-amount")
            p.click("tx-repeat")
            p.click("cmbitem#2")  # "Day of the month"
            p.click("tx-dom-day")
            p.click("cmbitem#0")  # "1st"
            p.click("tx-save")
            status = p.close()
        check("double click: the program ends with status 0", status == 0, p.stderr[-1500:])
        rent = [t for t in data(home)["transactions"] if t["description"] == "Rent" and not t.get("is_demo")]
        check("double click: data.json holds the rule from the day clicked",
              len(rent) == 1 and rent[0]["recurring_period"] == "dom_1_every" and rent[0]["is_recurring"]
              and rent[0]["start_date"] == EMPTY_DAY and abs(rent[0]["amount"] + 1200) < 0.001, rent)


def next_frame(p):
    """Waits until the program has drawn another frame (it rewrites its
    widget list each frame), so that a loaded machine cannot fold a press,
    its moves and the release into one frame."""
    def stamp():
        try:
            return os.stat(p.listing).st_mtime_ns
        except OSError:
            return None
    before = stamp()
    wait_for(lambda: stamp() not in (None, before), 10)


def drag(p, wid, to_wid, steps=8):
    x0, y0 = p.centre(wid)
    x1, y1 = p.centre(to_wid)
    p.move_to(x0, y0)
    next_frame(p)
    p.xdotool("mousedown", "1")
    next_frame(p)
    for i in range(1, steps + 1):
        p.move_to(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.03)
        next_frame(p)
    p.xdotool("mouseup", "1")
    next_frame(p)
    time.sleep(0.2)


def own_records(home):
    """What data.json holds beside the demonstration budget."""
    d = data(home)
    return ([t for t in d["transactions"] if not t.get("is_demo")],
            [a for a in d.get("transaction_adjustments", []) if not a.get("is_demo")])


def drag_moves_one_occurrence(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1"}) as p:
            line = next(w["id"] for w in p.widgets() if w["id"].startswith("tile-") and "-2025-03-13#" in w["id"])
            p.click(line)
            status = p.close()
        check("click: the program ends with status 0", status == 0, p.stderr[-1500:])
        check("click: a click without movement stores nothing", own_records(home) == ([], []), own_records(home))
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1"}) as p:
            line = next(w["id"] for w in p.widgets() if w["id"].startswith("tile-") and "-2025-03-13#" in w["id"])
            transaction = int(line[len("tile-"):line.index("-2025-03-13#")])
            drag(p, line, "cell-" + EMPTY_DAY)
            status = p.close()
        check("drag: the program ends with status 0", status == 0, p.stderr[-1500:])
        transactions, adjustments = own_records(home)
        check("drag: data.json holds one adjustment moving the occurrence to the day",
              transactions == [] and len(adjustments) == 1 and adjustments[0]["transaction_id"] == transaction
              and adjustments[0]["original_date"] == "2025-03-13" and adjustments[0]["new_date"] == EMPTY_DAY,
              adjustments)


def main():
    build = sys.argv[1]
    with xvfb() as env:
        double_click_adds_a_rule(build, env)
        drag_moves_one_occurrence(build, env)
    finish()


main()
