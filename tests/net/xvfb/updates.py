"""The updater end to end under Xvfb: the program that trusts the build's
test key (tools/update_shell) against the test service, which signs its
release with that key. The automatic check at start opens the dialog;
"Install Update" and "Restart Now" are clicked by widget id. A plain program
file ("quenmrk", from a tar.gz, arch "x86_64") and an AppImage file (arch
"x86", 1.5 MiB, under LC_ALL=de_DE.UTF-8) are replaced and started again. Faulty packages (wrong digest or size, 404, cut short, redirected to
http), releases whose manifest is not the signed one, and failing automatic
checks leave the program file byte for byte as it was and no download
behind."""
import base64
import gzip
import io
import json
import os
import shutil
import stat
import subprocess
import sys
import tarfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "app", "xvfb"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "oracles"))
from _shell import accept_terms, base_env, check, finish, temp_dir, wait_for, xvfb  # noqa: E402
from _service_fixture import TestService  # noqa: E402
from _window import Window  # noqa: E402

VERSION = "1.2.0"


def script(marker, size=0):
    """The program the release brings: it notes where it ran; `size` pads it
    with a comment after its end."""
    text = f"#!/bin/sh\npwd > '{marker}'\n".encode()
    if size:
        text += b"exit 0\n"
        text += b"#" * (size - len(text) - 1) + b"\n"
    return text


def german(folder):
    """LC_ALL=de_DE.UTF-8, its decimal comma and all, with the locale made in `folder`."""
    made = os.path.join(folder, "de_DE.UTF-8")
    subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8", made], capture_output=True, timeout=300)
    check("the German locale is made", os.path.isdir(made))
    return {"LC_ALL": "de_DE.UTF-8", "LOCPATH": folder}


def tar_gz(member_bytes):
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, data, mode in ((f"quenmark-{VERSION}/README", b"read me", 0o644),
                                 (f"quenmark-{VERSION}/bin/quenmrk", member_bytes, 0o755)):
            info = tarfile.TarInfo(name)
            info.size, info.mode = len(data), mode
            tar.addfile(info, io.BytesIO(data))
    return gzip.compress(raw.getvalue())


def offer(svc, build, kind, file, data, arch="x86_64", **faults):
    svc.control("update", key=os.path.join(build, "test-update-key.pem"), version=VERSION,
                files=[{"file": file, "kind": kind, "arch": arch, "data": base64.b64encode(data).decode()}], **faults)


def start(build, env, svc, home, command, extra=None):
    accept_terms(home)
    e = base_env(env, home, dict({**svc.client_env(), "QUENMRK_SPLASH": "0", "QUENMRK_WINDOW": "900x700"},
                                 **(extra or {})))
    del e["QUENMRK_NO_UPDATE_CHECK"]
    return Window(command, e, os.path.join(home, "widgets.json"))


def buttons(widgets):
    return sorted(w for w in widgets if w.startswith("upd-"))


def install_and_restart(tag, build, env, svc, home, command, target, marker, extra=None, size=0):
    """Runs the program until it restarted itself; screenshots of the dialog
    go to BUILD/update-shots for review."""
    shots = os.path.join(build, "update-shots")
    os.makedirs(shots, exist_ok=True)
    w = start(build, env, svc, home, command, extra)
    try:
        check(f"{tag}: the automatic check offers the release",
              w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1", "upd-2"]), w.widgets())
        time.sleep(0.3)
        w.shot(os.path.join(shots, f"{tag}-available.png"))
        w.click("upd-0")
        check(f"{tag}: installed", wait_for(lambda: open(target, "rb").read() == script(marker, size), 60))
        check(f"{tag}: offers Restart Now and Later", w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1"]))
        time.sleep(0.3)
        w.shot(os.path.join(shots, f"{tag}-installed.png"))
        w.click("upd-0")
        code = w.ended(60)
        check(f"{tag}: the program ended", code == 0, (code, w.stderr[-1500:]))
    finally:
        err = w.close()
    return err


def tar_kind(build, env, svc):
    with temp_dir() as scratch, temp_dir() as home:
        folder = os.path.join(scratch, "app")
        os.makedirs(folder)
        program = os.path.join(folder, "quenmrk")
        shutil.copy2(os.path.join(build, "tools", "update_shell"), program)
        marker = os.path.join(scratch, "marker.txt")
        offer(svc, build, "tar", f"quenmark-{VERSION}-linux-x86_64.tar.gz", tar_gz(script(marker)))
        install_and_restart("tar", build, env, svc, home, [program], program, marker)
        check("tar: the restarted program ran in its folder",
              wait_for(lambda: os.path.exists(marker) and open(marker).read() == folder + "\n", 30))
        check("tar: mode 0755", stat.S_IMODE(os.stat(program).st_mode) == 0o755)
        check("tar: no download or .new left", os.listdir(folder) == ["quenmrk"], os.listdir(folder))


def appimage_kind(build, env, svc):
    with temp_dir() as scratch, temp_dir() as home:
        image = os.path.join(scratch, "Quenmark.AppImage")
        with open(image, "wb") as f:
            f.write(b"old image")
        marker = os.path.join(scratch, "marker.txt")
        # The family's name for the machine, as a release may write it, is this machine's too;
        # a package of 1.5 MiB is sized, fetched and checked under a locale with a decimal comma.
        size = 1572864
        offer(svc, build, "appimage", f"Quenmark-{VERSION}-x86.AppImage", script(marker, size), arch="x86")
        locales = os.path.join(home, "locales")
        os.makedirs(locales)
        install_and_restart("appimage", build, env, svc, home, [os.path.join(build, "tools", "update_shell")], image,
                            marker, {"APPIMAGE": image, **german(locales)}, size)
        check("appimage: the restarted image ran in its folder",
              wait_for(lambda: os.path.exists(marker) and open(marker).read() == scratch + "\n", 30))
        check("appimage: mode 0755", stat.S_IMODE(os.stat(image).st_mode) == 0o755)
        left = sorted(os.listdir(scratch))
        check("appimage: no download or .new left", left == ["Quenmark.AppImage", "marker.txt"], left)


PACKAGE = f"quenmark-{VERSION}-linux-x86_64.tar.gz"


def faults(build, env, svc):
    with temp_dir() as scratch:
        folder = os.path.join(scratch, "app")
        os.makedirs(folder)
        program = os.path.join(folder, "quenmrk")
        shutil.copy2(os.path.join(build, "tools", "update_shell"), program)
        before = open(program, "rb").read()
        package = tar_gz(b"#!/bin/sh\n")

        def unchanged(tag):
            check(f"{tag}: the program is unchanged", open(program, "rb").read() == before)
            check(f"{tag}: no download left", os.listdir(folder) == ["quenmrk"], os.listdir(folder))

        # Packages that must not be installed: the dialog ends on the failure.
        for tag, flags, rule in (("wrong digest", {"wrong_hash": True}, None),
                                 ("wrong size", {"wrong_size": True}, None),
                                 ("404", {}, {"status": 404, "html": "<html>gone</html>"}),
                                 ("cut short", {}, {"cut": 100}),
                                 ("redirected to http", {}, {"redirect": f"http://127.0.0.1:9/{PACKAGE}"})):
            svc.control("faults")
            offer(svc, build, "tar", PACKAGE, package, **flags)
            if rule:
                svc.control("fault", path="app/pkg/" + PACKAGE, **rule)
            faulty_package(tag, build, env, svc, program)
            unchanged(tag)
        # Releases whose manifest is not the signed one: only the download page.
        for tag, flags in (("changed manifest byte", {"bad_signature": True}),
                           ("version mismatch", {"manifest_version": "1.2.1"})):
            svc.control("faults")
            offer(svc, build, "tar", PACKAGE, package, **flags)
            download_page_only(tag, build, env, svc, program)
            unchanged(tag)
        # Failing checks at start show nothing.
        for tag, rule in (("500", {"status": 500, "html": "<html>down</html>"}),
                          ("not JSON", {"notjson": "<html>captive portal</html>"}),
                          ("an error member", {"status": 200, "json": {"error": "Updates are paused."}})):
            svc.control("faults")
            svc.control("fault", path="app/update.json", **rule)
            failed_check(tag, build, env, svc, program)
            unchanged(tag)


def faulty_package(tag, build, env, svc, program):
    with temp_dir() as home:
        w = start(build, env, svc, home, [program])
        try:
            check(f"{tag}: offered", w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1", "upd-2"]))
            w.click("upd-0")
            # Downloading shows one button, the failure two (Download Page, Close).
            check(f"{tag}: fails", w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1"], 60))
            time.sleep(0.5)
            w.shot(os.path.join(build, "update-shots", tag.replace(" ", "-") + ".png"))
        finally:
            w.close()


def download_page_only(tag, build, env, svc, program):
    with temp_dir() as home:
        opener = os.path.join(home, "bin")
        os.makedirs(opener)
        opened = os.path.join(home, "opened.txt")
        with open(os.path.join(opener, "xdg-open"), "w") as f:
            f.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{opened}'\n")
        os.chmod(os.path.join(opener, "xdg-open"), 0o755)
        w = start(build, env, svc, home, [program], {"PATH": opener + ":" + env["PATH"]})
        try:
            check(f"{tag}: announced", w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1", "upd-2"]))
            w.click("upd-0")
            check(f"{tag}: the first button is Download Page",
                  wait_for(lambda: os.path.exists(opened)
                           and open(opened).read() == "https://quenmark.example/download\n"))
        finally:
            w.close()


def failed_check(tag, build, env, svc, program):
    with temp_dir() as home:
        svc.control("log", clear=True)
        w = start(build, env, svc, home, [program], {"QUENMRK_TEST_FRAMES": "80"})
        seen = set()
        try:
            while w.proc.poll() is None:
                seen.update(buttons(w.widgets()))
                time.sleep(0.02)
            w.ended(5)
        finally:
            w.close()
        check(f"{tag} at start: asked the service",
              any(r["path"] == "app/update.json" for r in svc.requests()), svc.requests())
        check(f"{tag} at start: no dialog", not seen, seen)


def frame_gaps(w, until, timeout=300):
    """The longest time between two frames while `until` is false, read off
    the frame count the program writes with its widget list each frame."""
    last, last_at, longest = None, None, 0.0
    end = time.monotonic() + timeout
    while not until() and time.monotonic() < end:
        try:
            with open(w.listing) as f:
                frames = json.load(f)["framesOnPage"]
        except (OSError, ValueError, KeyError):
            continue
        now = time.monotonic()
        if frames != last:
            if last_at is not None:
                longest = max(longest, now - last_at)
            last, last_at = frames, now
        time.sleep(0.002)
    return longest


def big_package(build, env, svc):
    """Optional (--big): a 200 MB AppImage is checked and written on the
    worker while the window keeps drawing; reports the longest frame."""
    with temp_dir() as scratch, temp_dir() as home:
        image = os.path.join(scratch, "Quenmark.AppImage")
        with open(image, "wb") as f:
            f.write(b"old image")
        package = os.path.join(scratch, "package.bin")
        with open(package, "wb") as f:
            f.write(os.urandom(200 << 20))
        svc.control("update", key=os.path.join(build, "test-update-key.pem"), version=VERSION,
                    files=[{"file": "Quenmark-big.AppImage", "kind": "appimage", "path": package}])
        w = start(build, env, svc, home, [os.path.join(build, "tools", "update_shell")], {"APPIMAGE": image})
        try:
            check("big: offered", w.wait(lambda ws: buttons(ws) == ["upd-0", "upd-1", "upd-2"]))
            # The same frames with the download held back, for comparison.
            svc.control("fault", path="app/pkg/Quenmark-big.AppImage", stall=True)
            w.click("upd-0")
            end = time.monotonic() + 3
            idle = frame_gaps(w, lambda: time.monotonic() > end)
            print(f"big: longest frame while the download waits: {idle * 1000:.1f} ms")
            svc.control("release")
            size = os.path.getsize(package)
            longest = frame_gaps(w, lambda: os.path.getsize(image) == size)
            print(f"big: longest frame while downloading, checking and writing 200 MB: {longest * 1000:.1f} ms")
            check("big: installed", os.path.getsize(image) == size)
            # On a loaded machine frames stall for reasons of their own: the
            # work must add nothing to what the waiting frames show.
            check("big: no frame of 50 ms or more, or longer than while waiting",
                  longest < 0.05 or longest <= 1.2 * idle, (longest, idle))
        finally:
            w.close()


def main():
    build = sys.argv[1]
    with xvfb() as env, TestService() as svc:
        try:
            if "--big" in sys.argv:
                big_package(build, env, svc)
                finish()
                return
            tar_kind(build, env, svc)
            appimage_kind(build, env, svc)
            faults(build, env, svc)
        except BaseException:
            svc.failed = True
            raise
    finish()


if __name__ == "__main__":
    main()
