"""The transaction form follows what Manage Categories and Manage Accounts,
opened from it, do to the records it names, in the real program over the
demonstration budget, today pinned: a rename shows in the form and is what
Save stores; a delete empties the field ("Select category", "Select
account") and Save asks for it until it is chosen again."""
import sys
import time

from _dialogs import TEXTS, check, inside, shows, texts, wait_for
from _pages import Running, data, finish, temp_dir, xvfb


def field_text(p, picker):
    rect = p.rect(picker)
    if rect is None:
        return None
    found = [t["text"] for t in texts(p) if inside(t["rect"], rect)]
    return found[0] if found else None


def shown_in(p, picker, text, timeout=15):
    return wait_for(lambda: field_text(p, picker) == text, timeout)


def replace_text(p, wid, text):
    p.click(wid)
    p.key("ctrl+a", at=wid)
    p.type(text, at=wid)


def new_form(p, description):
    p.click("tb-add")
    p.wait_widget("tx-desc", 15)
    p.type(description, at="tx-desc")
    p.click("tx-amount")
    p.type("30", at="tx-amount")


def pick(p, picker, entry):
    p.click(picker)
    p.wait_widget(entry, 10)
    p.click(entry)
    wait_for(lambda: p.rect(entry) is None, 10)


def record_id(home, kind, name):
    return next((r["id"] for r in data(home)[kind] if r["name"] == name), None)


def close_manager(p, window):
    p.key("Escape", at="tx-desc")
    wait_for(lambda: p.rect(window) is None, 10)
    time.sleep(0.3)


def rename(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", **TEXTS}) as p:
            new_form(p, "Gym")
            pick(p, "pickertx-cat", "pitx-cat0")
            category = field_text(p, "pickertx-cat")
            account = field_text(p, "pickertx-acc")
            check("rename: the form names a category and an account", category and account, (category, account))
            # (opener, kind, manager prefix, field, new name) for each manager.
            for open_manager, kind, prefix, picker, new in (
                    (lambda: pick(p, "pickertx-cat", "pmtx-cat"), "categories", "cat", "pickertx-cat", "Fitness"),
                    (lambda: p.click("tx-acc-manage"), "accounts", "acc", "pickertx-acc", "Everyday")):
                rid = record_id(home, kind, field_text(p, picker))
                open_manager()
                p.wait_widget(f"{prefix}-edit-{rid}", 10)
                p.click(f"{prefix}-edit-{rid}")
                replace_text(p, f"{prefix}-edit-name", new)
                p.key("Return", at=f"{prefix}-edit-name")
                close_manager(p, f"{prefix}-new")
                check(f"rename: the {kind} field shows the new name", shown_in(p, picker, new),
                      field_text(p, picker))
            p.click("tx-save")
            wait_for(lambda: any(t["description"] == "Gym" for t in data(home)["transactions"]), 15)
            status = p.close()
        check("rename: the program ends with status 0", status == 0, p.stderr[-1500:])
        gym = [t for t in data(home)["transactions"] if t["description"] == "Gym"]
        check("rename: Save stores the new names",
              len(gym) == 1 and gym[0].get("category") == "Fitness" and gym[0].get("account") == "Everyday", gym)


def delete(build, env):
    with temp_dir() as home:
        with Running(build, env, home, {"QUENMRK_DEMO": "1", **TEXTS}) as p:
            new_form(p, "Gym")
            pick(p, "pickertx-cat", "pitx-cat0")
            category = field_text(p, "pickertx-cat")
            account = field_text(p, "pickertx-acc")
            pick(p, "pickertx-cat", "pmtx-cat")
            cid = record_id(home, "categories", category)
            p.click(f"cat-del-{cid}")
            p.click("qmconfirm-yes")
            wait_for(lambda: record_id(home, "categories", category) is None, 10)
            close_manager(p, "cat-new")
            check("delete: the category field asks again",
                  shown_in(p, "pickertx-cat", "Select category"), field_text(p, "pickertx-cat"))
            p.click("tx-acc-manage")
            aid = record_id(home, "accounts", account)
            p.click(f"acc-del-{aid}")
            p.click("qmconfirm-yes")
            wait_for(lambda: record_id(home, "accounts", account) is None, 10)
            close_manager(p, "acc-new")
            check("delete: the account field asks again",
                  shown_in(p, "pickertx-acc", "Select account"), field_text(p, "pickertx-acc"))
            p.click("tx-save")
            check("delete: Save asks for the account", shows(p, "Choose an account."))
            pick(p, "pickertx-acc", "pitx-acc0")
            p.click("tx-save")
            check("delete: then for the category", shows(p, "Choose a category."))
            pick(p, "pickertx-cat", "pntx-cat")
            p.click("tx-save")
            saved = wait_for(lambda: any(t["description"] == "Gym" for t in data(home)["transactions"]), 15)
            status = p.close()
        check("delete: the program ends with status 0", status == 0, p.stderr[-1500:])
        gym = [t for t in data(home)["transactions"] if t["description"] == "Gym"]
        accounts = [a["name"] for a in data(home)["accounts"]]
        check("delete: saved once chosen again, with an account that exists",
              saved and len(gym) == 1 and gym[0].get("account") in accounts and not gym[0].get("category"),
              (gym, accounts))


def main():
    build = sys.argv[1]
    with xvfb() as env:
        rename(build, env)
        delete(build, env)
    finish()


main()
