"""Screenshots of every page of the UI gallery in the light and dark themes
at scale 1 and 2, with pixel probes: the page background, a primary
button's fill, a modal form's backdrop (the background darkened to 0.75)
and its centring, and an open list below its bar. The pictures go to
BUILD/ui-shots; the reviewed copies live in tests/ui/screenshots (refresh
them with --update)."""
import os
import shutil
import sys

from _gallery import check, close, finish, hex_rgb, pixel, run_gallery, widgets, xvfb

BACKGROUND = {"light": 0xf9fafc, "dark": 0x101316}
PRIMARY = {"light": 0x2a68b7, "dark": 0x4687db}
# Window sizes in dp; the window is scale times larger in pixels.
PAGES = {"labels": (1000, 560), "icons": (1000, 760), "forms": (900, 640), "dialogs": (900, 640)}


def shoot(build, env, out_dir, page, theme, scale, opening=None):
    w, h = PAGES[page]
    if scale == 2:
        w, h = w * 3 // 4, h * 3 // 4
    tag = f"{page}-{theme}-x{scale}" + (f"-{opening}" if opening else "")
    shot = os.path.join(out_dir, tag + ".png")
    extra = {"QUENMRK_WINDOW": f"{w}x{h}", "QUENMRK_THEME": theme, "QUENMRK_SCALE": str(scale),
             "QUENMRK_SHOT": shot, "QUENMRK_TEST_FRAMES": "4"}
    if opening:
        extra["QUENMRK_OPEN"] = opening
    code, lines = run_gallery(build, env, page, extra)
    check(f"{tag} runs", code == 0 and os.path.exists(shot), code)
    return shot if code == 0 else None, widgets(lines), (w * scale, h * scale), tag


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    out_dir = os.path.join(build, "ui-shots")
    os.makedirs(out_dir, exist_ok=True)
    taken = []
    with xvfb("1600x1200x24") as env:
        for page in PAGES:
            for theme in ("light", "dark"):
                for scale in (1, 2):
                    opening = "form" if page == "dialogs" else None
                    shot, rects, (pw, ph), tag = shoot(build, env, out_dir, page, theme, scale, opening)
                    if not shot:
                        continue
                    taken.append(shot)
                    bg = hex_rgb(BACKGROUND[theme])
                    if page == "dialogs":
                        dimmed = tuple(round(c * 0.75) for c in bg)
                        probe = pixel(shot, pw - 4, ph // 2)
                        check(f"{tag} backdrop is the background at 0.75", close(probe, dimmed), (probe, dimmed))
                        drag = rects.get("windragform")
                        if drag:
                            width = drag[2] + 36 * scale
                            check(f"{tag} dialog centred", abs(drag[0] + width / 2 - pw / 2) <= 1, drag)
                        else:
                            check(f"{tag} dialog found", False)
                    else:
                        probe = pixel(shot, pw - 3, ph - 3)
                        check(f"{tag} background", close(probe, bg), probe)
                    if page == "labels" and "Primary" in rects:
                        x, y, w, h = rects["Primary"]
                        probe = pixel(shot, x + 8 * scale, y + h / 2)
                        check(f"{tag} primary fill", close(probe, hex_rgb(PRIMARY[theme])), probe)
        shot, rects, _, tag = shoot(build, env, out_dir, "dialogs", "light", 1, "list")
        if shot:
            taken.append(shot)
            bar, first = rects.get("Category"), rects.get("cmbitem#0")
            check("open list below its bar", bar and first and first[1] >= bar[1] + bar[3], (bar, first))
    if update:
        dest = os.path.join(source, "tests", "ui", "screenshots")
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        from PIL import Image
        for shot in taken:
            # The program writes stored (uncompressed) PNGs; the reviewed
            # copies are squeezed to keep the repository small.
            with Image.open(shot) as im:
                im.convert("RGB").save(os.path.join(dest, os.path.basename(shot)), optimize=True)
    finish()


main()
