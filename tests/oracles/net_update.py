"""Signed update envelopes against openssl's Ed25519 signer.

Key pairs are made here with `openssl genpkey -algorithm ed25519`, manifests
signed with `openssl pkeyutl -sign -rawin`; the raw public key is the last 32
bytes of the DER public key. The program must accept exactly the manifests
one of the given keys signed (also when signed over CR LF and delivered with
LF) and pick the right package from them.
"""
import base64
import json
import os
import re
import subprocess
import sys
import tempfile

build = sys.argv[1]
tool = os.path.join(build, "tools", "nettool")
folder = tempfile.mkdtemp(prefix="qm-update-")
failures = 0
# The version this build calls its own: a release must be newer to be picked.
running = re.search(r'appVersion = "([^"]+)"', open(os.path.join(sys.argv[2], "src/core/service_host.h")).read())[1]


def check(cond, what):
    global failures
    if not cond:
        failures += 1
        print("FAIL:", what)


def new_key(name):
    path = os.path.join(folder, name + ".pem")
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", path], check=True, capture_output=True)
    der = subprocess.run(["openssl", "pkey", "-in", path, "-pubout", "-outform", "DER"], check=True,
                         capture_output=True).stdout
    return path, base64.b64encode(der[-32:]).decode()


def sign(key_path, message):
    msg = os.path.join(folder, "msg")
    with open(msg, "wb") as f:
        f.write(message)
    return subprocess.run(["openssl", "pkeyutl", "-sign", "-inkey", key_path, "-rawin", "-in", msg], check=True,
                          capture_output=True).stdout


proc = subprocess.Popen([tool], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)


def ask(**cmd):
    proc.stdin.write(json.dumps(cmd) + "\n")
    proc.stdin.flush()
    return json.loads(proc.stdout.readline())


key, pub = new_key("release")
other, other_pub = new_key("other")
b64 = lambda b: base64.b64encode(b).decode()  # noqa: E731

# --- Signature verification ------------------------------------------------------------
manifest = '{\n  "version": "1.2.0",\n  "files": []\n}\n'
sig = sign(key, manifest.encode())
crlf_sig = sign(key, manifest.replace("\n", "\r\n").encode())
with_cr = 'a\r\nb\n'
cases = [
    ("as signed", manifest, sig, [pub], True),
    ("signed over CR LF, delivered with LF", manifest, crlf_sig, [pub], True),
    ("second key signs", manifest, sig, [other_pub, pub], True),
    ("one byte changed", manifest.replace("1.2.0", "1.2.1"), sig, [pub], False),
    ("signature bit flipped", manifest, bytes([sig[0] ^ 1]) + sig[1:], [pub], False),
    ("63-byte signature", manifest, sig[:63], [pub], False),
    ("65-byte signature", manifest, sig + b"\0", [pub], False),
    ("another key", manifest, sig, [other_pub], False),
    ("no key at all", manifest, sig, [], False),
    ("text with CR verified as received", with_cr, sign(key, with_cr.encode()), [pub], True),
    ("text with CR not turned into CR CR LF", with_cr, sign(key, with_cr.replace("\n", "\r\n").encode()), [pub], False),
    ("LF text whose CR LF form is not the signed one", manifest, sign(key, manifest.encode() + b" "), [pub], False),
]
for what, text, signature, keys, want in cases:
    r = ask(op="verify", manifest=text, signature=b64(signature), keys=keys)
    check(r["ok"] == want, f"verify: {what}: got {r['ok']}")

# --- Picking the package ----------------------------------------------------------------
H = "ab" * 32


def entry(file, arch="x86_64", kind="deb", os_="linux", sha=H, size=1000):
    return {"file": file, "os": os_, "arch": arch, "kind": kind, "size": size, "sha256": sha}


def reply(files, version="1.2.0", manifest_version=None, signer=key, crlf=False, **extra):
    text = json.dumps({"version": manifest_version or version, "files": files}, indent=1)
    signed = text.replace("\n", "\r\n") if crlf else text
    body = {"version": version, "manifest": text, "base": "https://dl.example/r/1.2.0///",
            "notes_url": "https://dl.example/notes", "signature": b64(sign(signer, signed.encode()))}
    body.update(extra)
    return json.dumps(body)


def pick(body, kind=6, keys=None):
    return ask(op="reply", body=body, keys=[pub] if keys is None else keys, installKind=kind)


bad_names = [entry(""), entry("dir/pkg.deb"), entry("dir\\pkg.deb"), entry(".pkg.deb"), entry("../pkg.deb"), 7, "x"]
pick_cases = [
    ("first linux deb for x86_64", [entry("a.rpm", kind="rpm"), entry("win.exe", os_="windows", kind="exe"),
                                    entry("good.deb"), entry("later.deb")], {}, "good.deb"),
    ("bad names are never listed", bad_names + [entry("good.deb")], {}, "good.deb"),
    ("x86 names this machine too", [entry("x86.deb", arch="x86"), entry("u.deb", arch="universal")], {}, "x86.deb"),
    ("another arch is not this machine", [entry("arm.deb", arch="aarch64"), entry("u.deb", arch="universal")], {},
     "u.deb"),
    ("universal matches", [entry("u.deb", arch="universal")], {}, "u.deb"),
    ("63-character sha256 stops the search", [entry("short.deb", sha=H[:63]), entry("good.deb")], {}, None),
    ("upper-case sha256 is lowered", [entry("up.deb", sha=H.upper())], {}, "up.deb"),
    ("manifest version differs", [entry("good.deb")], {"manifest_version": "1.2.1"}, None),
    ("signed over CR LF", [entry("good.deb")], {"crlf": True}, "good.deb"),
    ("signed by another key", [entry("good.deb")], {"signer": other}, None),
    ("control bytes in names", [entry("a\nb.deb"), entry("c\x1b[2K.deb"), entry("d\x7f.deb"), entry("e\t.deb"),
                                entry("good.deb")], {}, "good.deb"),
    ("the running version is not an update", [entry("good.deb")], {"version": running}, None),
    ("an older release is never installed", [entry("good.deb")], {"version": "0.0.9"}, None),
    ("a pre-release of this version is older", [entry("good.deb")], {"version": running + "-rc.3"}, None),
    ("a pre-release of the next version is newer", [entry("good.deb")], {"version": "999.0.0-rc.1"}, "good.deb"),
]
for what, files, opts, want in pick_cases:
    r = pick(reply(files, **opts))
    got = r["asset"]["file"] if r["found"] else None
    check(r["ok"] and got == want, f"pick: {what}: got {got}")
r = pick(reply([entry("up.deb", sha=H.upper(), size=2**31)]))
check(r["asset"]["sha256"] == H and r["asset"]["size"] == 0, f"size beyond int32 reads as 0: {r.get('asset')}")
r = pick(reply([entry("neg.deb", size=-5)]))
check(r["asset"]["size"] == 0, "negative size reads as 0")
r = pick(reply([entry("ok.deb", size=2**31 - 1)]))
check(r["asset"]["size"] == 2**31 - 1, "largest size kept")
for kind, name in ((4, "appimage"), (5, "tar"), (7, "rpm")):
    r = pick(reply([entry("x.deb"), entry("x." + name, kind=name)]), kind=kind)
    check(r["found"] and r["asset"]["kind"] == name, f"install kind {kind}")
check(not pick(reply([entry("good.deb")]), kind=0)["found"], "install kind 0 finds nothing")
check(not pick(reply([entry("good.deb")]), keys=[])["found"], "no trusted key finds nothing")

r = pick(reply([entry("good.deb")], major={"version": "2.0.0", "manifest": "{}", "base": "https://m.example//",
                                           "signature": "not base64!", "notes_url": 5}))
check(r["current"]["base"] == "https://dl.example/r/1.2.0" and r["current"]["notes_url"] == "https://dl.example/notes"
      and len(r["current"]["signature"]) == 128, f"envelope {r['current']}")
check(r["major"] == {"version": "2.0.0", "manifest": "{}", "signature": "", "base": "https://m.example",
                     "notes_url": ""}, f"major {r['major']}")

proc.stdin.close()
check(proc.wait() == 0, "nettool exit")
print(f"net_update: {failures} failures")
sys.exit(1 if failures else 0)
