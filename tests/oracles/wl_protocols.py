"""The protocol descriptions built at run time against the XML that
wayland-protocols and libwayland-dev ship: opcodes, signatures with their
since-version digits, and argument interfaces. Interfaces or messages the
installed XML lacks (cursor-shape-v1, newer xdg-shell versions) are skipped."""
import glob
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

LETTERS = {"int": "i", "uint": "u", "fixed": "f", "string": "s", "object": "o", "new_id": "n", "array": "a",
           "fd": "h"}
DESCRIBED = {"xdg_wm_base", "xdg_surface", "xdg_toplevel", "zxdg_decoration_manager_v1",
             "zxdg_toplevel_decoration_v1", "xdg_activation_v1", "xdg_activation_token_v1", "wp_viewporter",
             "wp_viewport", "wp_fractional_scale_manager_v1", "wp_fractional_scale_v1", "wp_cursor_shape_manager_v1",
             "wp_cursor_shape_device_v1", "zwp_idle_inhibit_manager_v1", "zwp_idle_inhibitor_v1"}
# Argument interfaces the back end never creates, left undescribed.
UNDESCRIBED = {"xdg_positioner", "xdg_popup", "zwp_tablet_tool_v2"}


def xml_messages(node, tag):
    out = []
    for m in node.findall(tag):
        sig, types = m.get("since", ""), []
        if sig == "1":
            sig = ""
        for a in m.findall("arg"):
            t = a.get("type")
            if t == "new_id" and not a.get("interface"):
                sig += "sun"
                types += [None, None, None]
            sig += ("?" if a.get("allow-null") == "true" else "") + LETTERS[t]
            iface = a.get("interface")
            types.append(None if iface in UNDESCRIBED else iface)
        out.append([m.get("name"), sig, types])
    return out


def main():
    build = sys.argv[1]
    tables = json.loads(subprocess.run([os.path.join(build, "tools", "wl_tables")], capture_output=True,
                                       text=True, check=True).stdout)
    found, failures = set(), []
    # Stable first: unstable xdg-shell v5 reuses the name xdg_surface.
    paths = []
    for kind in ("stable", "staging", "unstable"):
        paths += sorted(glob.glob(f"/usr/share/wayland-protocols/{kind}/**/*.xml", recursive=True))
    for path in paths:
        for iface in ET.parse(path).getroot().findall("interface"):
            name = iface.get("name")
            if name not in DESCRIBED or name in found:
                continue
            found.add(name)
            ours = tables[name]
            for tag, key in (("request", "requests"), ("event", "events")):
                theirs = xml_messages(iface, tag)
                # Our descriptions may be of a newer version than the XML installed.
                mine = ours[key][:len(theirs)]
                if mine != theirs:
                    failures.append(f"{name} {key}: {mine} != {theirs}")
            if int(iface.get("version")) > ours["version"]:
                failures.append(f"{name}: XML version {iface.get('version')} above ours")
    print("compared:", ", ".join(sorted(found)))
    print("not in the installed XML:", ", ".join(sorted(DESCRIBED - found)))
    if len(found) < 12:
        failures.append("too few interfaces found in the XML")
    for f in failures:
        print("FAIL", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
