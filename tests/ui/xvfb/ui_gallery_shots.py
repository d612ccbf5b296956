"""Screenshots of the UI gallery's pages in the light and dark themes, with
pixel probes of the page background and a primary button's fill. The
pictures are written to BUILD/ui-shots; the reviewed copies live in
tests/ui/screenshots (refresh them with --update)."""
import os
import shutil
import sys

from _gallery import check, close, finish, hex_rgb, pixel, run_gallery, temp_dir, widgets, xvfb

BACKGROUND = {"light": 0xf9fafc, "dark": 0x101316}
PRIMARY = {"light": 0x2a68b7, "dark": 0x4687db}
PAGES = {"labels": "1000x560", "icons": "1000x760"}


def main():
    build, source = sys.argv[1], sys.argv[2]
    update = "--update" in sys.argv
    out_dir = os.path.join(build, "ui-shots")
    os.makedirs(out_dir, exist_ok=True)
    with xvfb() as env:
        for page, size in PAGES.items():
            for theme in ("light", "dark"):
                shot = os.path.join(out_dir, f"{page}-{theme}.png")
                code, lines = run_gallery(build, env, page, {"QUENMRK_WINDOW": size, "QUENMRK_THEME": theme,
                                                             "QUENMRK_SHOT": shot, "QUENMRK_TEST_FRAMES": "4"})
                check(f"{page} {theme} runs", code == 0 and os.path.exists(shot), code)
                if code != 0:
                    continue
                w, h = map(int, size.split("x"))
                check(f"{page} {theme} background", close(pixel(shot, w - 3, h - 3), hex_rgb(BACKGROUND[theme])),
                      pixel(shot, w - 3, h - 3))
                if page == "labels":
                    rect = widgets(lines).get("Primary")
                    check(f"{theme} primary button found", rect is not None)
                    if rect:
                        probe = pixel(shot, rect[0] + 8, rect[1] + rect[3] / 2)
                        check(f"{theme} primary fill", close(probe, hex_rgb(PRIMARY[theme])), probe)
                if update:
                    dest = os.path.join(source, "tests", "ui", "screenshots")
                    os.makedirs(dest, exist_ok=True)
                    shutil.copy(shot, dest)
    finish()


main()
