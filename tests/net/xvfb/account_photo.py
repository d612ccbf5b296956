"""The Account page's profile photo and account deletion under Xvfb against
the functional test service: files handed over as the photo dialog's choice
(QUENMRK_TEST_AVATAR) either arrive byte for byte or give their toast and
send nothing; an RGBA PNG of known colours comes back through the avatar
fetch into the circle (pixels probed in a screenshot); "Remove photo" shows
only with an avatar; "DELETE" typed exactly, and confirmed, deletes."""
import hashlib
import os

from _account import absent, budgets, check, replace_text, run, shows, signed_in, temp_dir, to_page_end, wait_for

EMAIL = "pic@example.test"
TOP, BOTTOM = (200, 40, 90), (30, 120, 220)


def two_colour_png(path):
    """64 x 64 RGBA, opaque: the top half one colour, the bottom another, so
    a flipped or channel-swapped picture shows."""
    from PIL import Image
    image = Image.new("RGBA", (64, 64), TOP + (255,))
    image.paste(Image.new("RGBA", (64, 32), BOTTOM + (255,)), (0, 32))
    image.save(path)


def near(px, colour):
    return all(abs(a - b) <= 6 for a, b in zip(px, colour))


def avatar_colours(shot, button):
    """Pixels of the two colours in the avatar's square above the upload
    button: (count, mean row) for each."""
    from PIL import Image
    x, y, _, _ = button
    image = Image.open(shot).convert("RGB")
    found = {TOP: [], BOTTOM: []}
    for j in range(int(y) - 90, int(y)):
        for i in range(int(x), int(x) + 60):
            px = image.getpixel((i, j))
            for colour in found:
                if near(px, colour):
                    found[colour].append(j)
    return {c: (len(rows), sum(rows) / len(rows) if rows else 0) for c, rows in found.items()}


def sent_nothing(build, env, svc, home, path, toast, prefix=()):
    svc.requests(clear=True)
    p = signed_in(build, env, svc, home, EMAIL, {"QUENMRK_TEST_AVATAR": path}, prefix)
    try:
        name = os.path.basename(path)
        check(f"{name}: the toast says {toast!r}", shows(p, toast))
        check(f"{name}: nothing is sent", svc.requests("me/avatar/upload") == [])
        check(f"{name}: no avatar, no 'Remove photo'", absent(p, "ac-photo-rm"))
    finally:
        p.close()


def sent(build, env, svc, home, path):
    """The photo arrives byte for byte under its bare name; the program
    stays up for the caller to look at."""
    svc.requests(clear=True)
    p = signed_in(build, env, svc, home, EMAIL, {"QUENMRK_TEST_AVATAR": path})
    digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
    name = os.path.basename(path)
    check(f"{name}: arrives byte for byte under its bare name",
          wait_for(lambda: svc.control("avatar", email=EMAIL) == {"sha256": digest, "name": name}))
    check(f"{name}: 'Remove photo' shows once there is an avatar", p.wait("ac-photo-rm"))
    return p


def photo(build, env, svc, shots):
    with temp_dir() as home:
        folder = os.path.join(home, "pics")
        os.makedirs(folder)

        def made(name, data):
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write(data)
            return path

        fifo = os.path.join(folder, "fifo.png")
        os.mkfifo(fifo)
        locked = made("locked.png", b"\x89PNG")
        os.chmod(locked, 0)
        # Root reads any file; without the two capabilities that let it, the
        # program reads as any other user would.
        no_override = ("setpriv", "--bounding-set", "-dac_override,-dac_read_search")
        for path, toast, prefix in (
                (made("over.png", b"x" * (2 * 1024 * 1024 + 1)), "The image is too large: 2 MB at most", ()),
                (made("empty.png", b""), "That file is empty", ()),
                (fifo, "Could not read fifo.png", ()),
                (folder, "Could not read pics", ()),
                (locked, "Could not read locked.png", no_override)):
            sent_nothing(build, env, svc, home, path, toast, prefix)

        sent(build, env, svc, home, made("exact.png", b"\x89PNG" + os.urandom(2 * 1024 * 1024 - 4))).close()

        colours = os.path.join(folder, "colours.png")
        two_colour_png(colours)
        p = sent(build, env, svc, home, colours)
        try:
            shot = os.path.join(shots, "account-avatar.png")

            # The button's place in the frame the shot shows: a frame whose
            # listing is being replaced reads as none.
            button = []

            def in_circle():
                rect = p.widgets().get("ac-photo")
                if rect is None:
                    return False
                p.shot(shot)
                button[:] = [rect]
                seen = avatar_colours(shot, rect)
                return seen[TOP][0] > 300 and seen[BOTTOM][0] > 300 and seen[TOP][1] < seen[BOTTOM][1]

            check("the fetched picture fills the circle, the right way up", wait_for(in_circle, 20),
                  avatar_colours(shot, button[0]) if button else sorted(p.widgets()))
            check("the circle's corners stay clear", bool(button) and avatar_corner_clear(shot, button[0]))
            svc.requests(clear=True)
            p.click("ac-photo-rm")
            check("'Remove photo' sends the delete", wait_for(lambda: len(svc.requests("me/avatar/delete")) == 1))
            check("without an avatar 'Remove photo' goes", p.wait("ac-photo-rm", gone=True))
        finally:
            p.close()


def avatar_corner_clear(shot, button):
    """The square's top-left corner lies outside the circle: neither colour."""
    from PIL import Image
    x, y, _, _ = button
    image = Image.open(shot).convert("RGB")
    top = next((j for j in range(int(y) - 90, int(y))
                if any(near(image.getpixel((i, j)), TOP) for i in range(int(x), int(x) + 60))), None)
    return top is not None and not any(near(image.getpixel((int(x) + 1, top + k)), TOP) for k in range(4))


def delete_account(build, env, svc, shots):
    with temp_dir() as home:
        p = signed_in(build, env, svc, home, "del@example.test")
        try:
            check("the page scrolls to its end", to_page_end(p, "ac-delete"))
            for typed in ("delete", " DELETE", "DELETE "):
                replace_text(p, "ac-delete", typed)
                check(f"{typed!r}: the button stays disabled", absent(p, "ac-delete-btn"))
            replace_text(p, "ac-delete", "DELETE")
            p.click("ac-delete-btn")
            check("the confirm box asks", p.click("qmconfirm-yes"))
            check("me/delete goes out with the confirmation",
                  wait_for(lambda: [r["body"].get("confirm") for r in svc.requests("me/delete")] == ["DELETE"]))
            check("the account's budget folder goes, the device's stays",
                  wait_for(lambda: budgets(home) == ["local"]), budgets(home))
            check("the welcome page shows", p.wait("wl-signin"))
        finally:
            p.close()


if __name__ == "__main__":
    run([("photo", photo), ("delete", delete_account)])
