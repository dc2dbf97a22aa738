#!/usr/bin/python3
"""Reads a program's windows the way a screen reader does, through AT-SPI.

atspi_tree.py dump TITLE-PREFIX   every object of the first window whose name starts with the
                                  prefix, one line each: role, name, text (as Orca reads them)
atspi_tree.py cell NAME ROW COL   the screen rectangle "x y w h" of a table cell; the table is
                                  found by its accessible name
Exits with 1 when the window or table is not there (yet); the caller tries again.
"""
import sys

import pyatspi

MAX_OBJECTS = 20000


def windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is not None:
                yield window


def descendants(root):
    stack = [root]
    seen = 0
    while stack and seen < MAX_OBJECTS:
        obj = stack.pop()
        if obj is None:
            continue
        seen += 1
        yield obj
        try:
            stack.extend(reversed([obj.getChildAtIndex(i) for i in range(obj.childCount)]))
        except Exception:  # an object that went away while it was read
            pass


def text_of(obj):
    try:
        text = obj.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return ""
    except Exception:
        return ""


def line(text):
    return " ".join(text.split())


def dump(prefix):
    for window in windows():
        if window.name.startswith(prefix):
            print("window|%s|%s" % (window.getRoleName(), line(window.name)))
            for obj in descendants(window):
                print("%s|%s|%s" % (obj.getRoleName(), line(obj.name), line(text_of(obj))))
            return 0
    return 1


def cell(name, row, column):
    for window in windows():
        for obj in descendants(window):
            if obj.name != name:
                continue
            try:
                table = obj.queryTable()
            except NotImplementedError:
                continue
            item = table.getAccessibleAt(row, column)
            if item is None:
                return 1
            box = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print("%d %d %d %d" % (box.x, box.y, box.width, box.height))
            return 0
    return 1


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "dump":
        sys.exit(dump(sys.argv[2]))
    if len(sys.argv) == 5 and sys.argv[1] == "cell":
        sys.exit(cell(sys.argv[2], int(sys.argv[3]), int(sys.argv[4])))
    sys.stderr.write(__doc__)
    sys.exit(2)
