"""The widget kit's gallery in a private Xvfb server: every widget and the
styled buttons in the light and dark themes, wide and compact, at scale 1
and 2, with each popover open in turn and a dialog with a footer note. The
pictures go to BUILD/kit-shots for review; pixel probes check the page
background, the primary button's fill, the chosen day's disc and the
select popover's panel."""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "platform", "xvfb"))
from _xvfb import xvfb  # noqa: E402

BACKGROUND = {"light": 0xf9fafc, "dark": 0x101316}
ACCENT = {"light": 0x2a68b7, "dark": 0x4687db}
LAYOUTS = {"wide": (1000, 760), "compact": (420, 900)}
OPENINGS = ("date", "select", "icons", "dialog")
failures = []


def check(name, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + str(detail)))
    if not ok:
        failures.append(name)


def rgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def close(a, b, tolerance=3):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def main():
    from PIL import Image
    build = sys.argv[1]
    out_dir = os.path.join(build, "kit-shots")
    os.makedirs(out_dir, exist_ok=True)
    with xvfb("2200x2000x24") as env:
        for layout, (w, h) in LAYOUTS.items():
            for theme in ("light", "dark"):
                for scale in (1, 2):
                    for opening in OPENINGS:
                        tag = f"{layout}-{theme}-x{scale}-{opening}"
                        shot = os.path.join(out_dir, tag + ".png")
                        e = dict(env, ASAN_OPTIONS="detect_leaks=0", LIBGL_ALWAYS_SOFTWARE="1",
                                 QUENMRK_WINDOW=f"{w}x{h}", QUENMRK_SCALE=str(scale), QUENMRK_THEME=theme,
                                 QUENMRK_SHOT=shot, QUENMRK_TEST_FRAMES="4")
                        r = subprocess.run([os.path.join(build, "tools", "kit_gallery"), layout, opening], env=e,
                                           capture_output=True, text=True, timeout=120)
                        ok = r.returncode == 0 and os.path.exists(shot)
                        check(f"{tag} runs", ok, r.stderr[-2000:])
                        if not ok:
                            continue
                        rects = {}
                        for line in r.stdout.splitlines():
                            if line.startswith("{"):
                                rects = {x["label"]: x["rect"] for x in json.loads(line).get("widgets", [])}
                        with Image.open(shot) as im:
                            img = im.convert("RGB")
                        check(f"{tag} size", img.size == (w * scale, h * scale), img.size)
                        px = img.getpixel((w * scale - 3, 3))
                        check(f"{tag} background", close(px, rgb(BACKGROUND[theme])), px)
                        b = rects.get("kb-primary")
                        if b:
                            px = img.getpixel((int(b[0] + 3 * scale), int(b[1] + b[3] / 2)))
                            check(f"{tag} primary fill", close(px, rgb(ACCENT[theme])), px)
                        else:
                            check(f"{tag} primary found", False)
                        if opening == "date":
                            cells = [k for k in rects if k.startswith("cpdstart#")]
                            check(f"{tag} grid of 6 weeks", len(cells) == 42, len(cells))
                            # March 2025 starts on a Saturday. 12 March, today and the chosen date: an accent disc.
                            c = rects.get("cpdstart#20159")
                            if c:
                                cx, cy = c[0] + c[2] / 2, c[1] + c[3] / 2
                                px = img.getpixel((int(cx + 0.36 * c[2]), int(cy)))
                                check(f"{tag} chosen day disc", close(px, rgb(ACCENT[theme]), 12), px)
                            else:
                                check(f"{tag} chosen day found", False)
                        if opening == "select":
                            entries = [k for k in rects if k.startswith("piaccount")]
                            check(f"{tag} select entries", len(entries) == 4, entries)
                            check(f"{tag} none and action", "pnaccount" in rects and "pmaccount" in rects)
                        if opening == "icons":
                            cells = [k for k in rects if k.startswith("iccat#")]
                            check(f"{tag} icon cells", len(cells) == 8 and "iccatnone" in rects, len(cells))
        # The OFX export section, hosted here until the account page has it.
        for layout, (w, h) in LAYOUTS.items():
            shot = os.path.join(out_dir, f"{layout}-ofx.png")
            e = dict(env, ASAN_OPTIONS="detect_leaks=0", LIBGL_ALWAYS_SOFTWARE="1", QUENMRK_WINDOW=f"{w}x{h}",
                     QUENMRK_SCALE="1", QUENMRK_THEME="light", QUENMRK_SHOT=shot, QUENMRK_TEST_FRAMES="4")
            r = subprocess.run([os.path.join(build, "tools", "kit_gallery"), layout, "ofx"], env=e,
                               capture_output=True, text=True, timeout=120)
            labels = [x["label"] for line in r.stdout.splitlines() if line.startswith("{")
                      for x in json.loads(line).get("widgets", [])]
            check(f"{layout} OFX section runs", r.returncode == 0 and os.path.exists(shot), r.stderr[-2000:])
            check(f"{layout} OFX section shows its fields and button",
                  "ie-download" in labels and any(x.endswith("ie-from") for x in labels)
                  and any(x.endswith("ie-to") for x in labels), labels)
    if failures:
        print(f"{len(failures)} check(s) failed")
        sys.exit(1)
    print("all checks passed")


main()
