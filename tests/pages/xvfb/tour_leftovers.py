"""The tour's demo records never outlive the tour, in the real program with
today pinned and data.json read back: closing the window during the tour
removes them (the user's own transaction stays), and a start that finds
them with no tour running (a run killed during the tour left them) removes
them too."""
import sys

from _pages import Running, check, data, finish, temp_dir, wait_for, xvfb


def demo_records(home):
    d = data(home)
    return [r for kind in ("transactions", "transaction_adjustments", "running_total_adjustments")
            for r in d.get(kind, []) if r.get("is_demo")]


def own_transaction(build, env, home):
    with Running(build, env, home, {"QUENMRK_PAGE": "calendar"}) as p:
        p.click("tb-add")
        p.wait_widget("tx-desc", 10)
        p.type("My own rent", at="tx-desc")
        p.click("tx-amount")
        p.type("900", at="tx-amount")
        p.click("tx-save")
        saved = wait_for(lambda: any(t["description"] == "My own rent" for t in data(home)["transactions"]), 15)
        p.close()
    check("the user's own transaction is saved", saved)


def start_tour(build, env, home):
    p = Running(build, env, home, {"QUENMRK_TOUR": "0"})
    p.wait_widget("tour-next", 30)
    wait_for(lambda: demo_records(home), 15)
    return p


def closed_during_the_tour(build, env):
    with temp_dir() as home:
        own_transaction(build, env, home)
        p = start_tour(build, env, home)
        with p:
            p.key("Return")  # on to the second step
            loaded = len(demo_records(home))
            status = p.close()
        check("close: the tour had loaded its demo records", loaded > 0, loaded)
        check("close: the program ends with status 0", status == 0, p.stderr[-1500:])
        check("close: no demo record is left", not demo_records(home), demo_records(home)[:3])
        check("close: the user's transaction stays",
              [t["description"] for t in data(home)["transactions"]] == ["My own rent"],
              [t["description"] for t in data(home)["transactions"]])


def found_at_a_start(build, env):
    with temp_dir() as home:
        own_transaction(build, env, home)
        p = start_tour(build, env, home)
        loaded = len(demo_records(home))
        p.proc.kill()  # as a crash or a killed session would end it
        p.proc.wait(timeout=60)
        p.returncode = p.proc.returncode
        check("kill: the demo records were left behind", loaded > 0 and demo_records(home), loaded)
        with Running(build, env, home, {"QUENMRK_PAGE": "calendar"}) as q:
            gone = wait_for(lambda: not demo_records(home), 30)
            status = q.close()
        check("start: the program ends with status 0", status == 0, q.stderr[-1500:])
        check("start: a start with no tour running removes them", gone, demo_records(home)[:3])
        check("start: the user's transaction stays",
              [t["description"] for t in data(home)["transactions"]] == ["My own rent"])


def main():
    build = sys.argv[1]
    with xvfb() as env:
        closed_during_the_tour(build, env)
        found_at_a_start(build, env)
    finish()


main()
