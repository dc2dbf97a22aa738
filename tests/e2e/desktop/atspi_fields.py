#!/usr/bin/python3
"""Reads the monitor window through AT-SPI, as a screen reader does, and checks that the named
fields carry their labels as accessible names and the window reports a window role.

Run inside a D-Bus session with the AT-SPI bus up and the program started with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 (tests/e2e/desktop/atspi-check.sh does all of it).
Usage: atspi_fields.py PROGRAM_NAME FIELD... ; exit status 0 when every field was found."""
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def main():
    program, fields = sys.argv[1], sys.argv[2:]
    deadline = time.time() + 20
    found = {}
    window_roles = set()
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name.lower() != program.lower():
                continue
            for node in walk(app):
                role = node.getRoleName()
                if node.parent == app:
                    window_roles.add(role)
                if role not in ("text", "entry", "label"):
                    continue
                for field in fields:
                    if field in node.name and field not in found:
                        found[field] = (node.name, role)
        if len(found) == len(fields) and window_roles:
            break
        time.sleep(0.5)
    for field in fields:
        print("%-8s %s" % (field, found.get(field, "MISSING")))
    print("window roles:", ", ".join(sorted(window_roles)) or "none")
    ok = len(found) == len(fields) and bool(window_roles & {"frame", "dialog", "window"})
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
