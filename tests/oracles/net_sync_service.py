"""The functional test service's "sync" call, spoken to directly: ops apply in
order into the data.json form, "mapping" per entity, the etag is the SHA-256
of the canonical budget (worked out here with hashlib and json), "unchanged"
only when the client's etag matched before the ops, a batch sent again
creates nothing twice, names already present map to their record, and an
ended token or an unverified user is refused."""
import hashlib
import json
import os
import sys
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _service_fixture import TestService  # noqa: E402

failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + str(detail)[-1500:]))
    if not ok:
        failures.append(name)


def call(svc, path, body):
    request = urllib.request.Request(f"{svc.base}/api/v1/{path}", data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json"}, method="POST")
    try:
        with urllib.request.urlopen(request, context=svc._ssl, timeout=10) as answer:
            return answer.status, json.loads(answer.read())
    except urllib.error.HTTPError as e:
        return e.code, json.loads(e.read())


def etag_of(budget):
    return hashlib.sha256(json.dumps(budget, sort_keys=True, separators=(",", ":"), ensure_ascii=False)
                          .encode()).hexdigest()


def op(seq, kind, entity, rid, data=None):
    return {"seq": seq, "op": kind, "entity": entity, "id": rid, "data": data}


def main():
    with TestService() as svc:
        uid = svc.control("user", email="ann@example.test", password="pw", verified=True)["id"]
        _, login = call(svc, "auth/login", {"email": "ann@example.test", "password": "pw"})
        token = login["token"]
        empty = svc.control("budget", user_id=uid)
        check("the etag is SHA-256 of the canonical budget", empty["etag"] == etag_of(empty["budget"]), empty)

        batch = [op(1, "create", "account", -1, {"id": -1, "name": "Checking "}),
                 op(2, "create", "account", -2, {"id": -2, "name": "Savings"}),
                 op(3, "create", "transaction", -3, {"id": -3, "description": "Rent", "amount": -900.0,
                                                     "account": "Checking", "icon_name": "Home"}),
                 op(4, "create", "adjustment", -4, {"id": -4, "transaction_id": -3, "original_date": "2025-03-01",
                                                    "new_date": "2025-03-02"}),
                 op(5, "create", "anchor", -5, {"id": -5, "account_id": -2, "date": "2025-03-01", "amount": 10.0}),
                 op(6, "update", "transaction", -3, {"id": -3, "description": "Rent", "amount": -950.0,
                                                     "account": "Checking"}),
                 op(7, "create", "transaction", -6, {"id": -6, "description": "Gone", "amount": -1.0}),
                 op(8, "delete", "transaction", -6),
                 op(9, "update", "prefs", 0, {"theme_preference": "dark", "default_account_id": -2})]
        status, reply = call(svc, "sync", {"ops": batch, "etag": empty["etag"], "token": token})
        after = svc.control("budget", user_id=uid)
        b = after["budget"]
        mapping = reply.get("mapping", {})
        check("200 with a mapping per entity", status == 200 and set(mapping) ==
              {"account", "transaction", "adjustment", "anchor"}, reply)
        rent = mapping["transaction"]["-3"]
        savings = mapping["account"]["-2"]
        check("the client's etag matched: unchanged, the new etag", reply.get("unchanged") is True
              and "snapshot" not in reply and reply["etag"] == after["etag"] == etag_of(b), reply)
        check("ops in order: update after create, delete removes",
              [(t["id"], t["description"], t["amount"]) for t in b["transactions"]] == [(rent, "Rent", -950.0)],
              b["transactions"])
        check("icon_name is not kept", "icon_name" not in b["transactions"][0], b["transactions"][0])
        check("ids in data resolve: adjustment, anchor, prefs",
              b["transaction_adjustments"][0]["transaction_id"] == rent
              and b["running_total_adjustments"][0]["account_id"] == savings
              and b["user"]["default_account_id"] == savings and b["user"]["theme_preference"] == "dark", b)

        status, again = call(svc, "sync", {"ops": batch, "etag": "stale", "token": token})
        b2 = svc.control("budget", user_id=uid)["budget"]
        check("the batch sent again creates nothing twice and maps the same", status == 200
              and again["mapping"] == mapping and b2["transactions"] == b["transactions"]
              and len(b2["accounts"]) == 2, (again.get("mapping"), b2))
        check("an etag that did not match gets the snapshot", "unchanged" not in again
              and again["snapshot"] == b2 and again["etag"] == etag_of(b2), again.keys())

        _, other = call(svc, "auth/login", {"email": "ann@example.test", "password": "pw"})
        seeded = [op(1, "create", "account", -1, {"id": -1, "name": "Checking"}),
                  op(2, "create", "category", -2, {"id": -2, "name": "Groceries"}),
                  op(3, "create", "category", -3, {"id": -3, "name": " Groceries "})]
        _, second = call(svc, "sync", {"ops": seeded, "etag": "", "token": other["token"]})
        b3 = svc.control("budget", user_id=uid)["budget"]
        check("another device's seeded names map to the records there",
              second["mapping"]["account"] == {"-1": mapping["account"]["-1"]} and len(b3["accounts"]) == 2
              and len(b3["categories"]) == 1 and second["mapping"]["category"]["-3"] ==
              second["mapping"]["category"]["-2"], (second["mapping"], b3["categories"]))
        call(svc, "sync", {"ops": [op(1, "delete", "transaction", rent)], "etag": "", "token": token})
        _, revived = call(svc, "sync", {"ops": [op(1, "update", "transaction", rent, {"description": "Back"})],
                                        "etag": "", "token": token})
        check("an update of a record deleted meanwhile does not bring it back",
              revived["snapshot"]["transactions"] == [], revived["snapshot"]["transactions"])

        svc.control("revoke", email="ann@example.test")
        status, ended = call(svc, "sync", {"ops": [], "etag": "", "token": token})
        check("an ended token: 401 unauthorized", status == 401 and ended.get("code") == "unauthorized", ended)
        svc.control("user", email="new@example.test", password="pw")
        _, login = call(svc, "auth/login", {"email": "new@example.test", "password": "pw"})
        status, unverified = call(svc, "sync", {"ops": [], "etag": "", "token": login["token"]})
        check("an unverified user: verification_required", status == 403
              and unverified.get("code") == "verification_required", unverified)
        svc.failed = bool(failures)
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("all checks passed")


if __name__ == "__main__":
    main()
