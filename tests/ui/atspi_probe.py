#!/usr/bin/python3
"""Reads, as a screen reader does through AT-SPI, one table of a running program.

Usage: atspi_probe.py APPLICATION TABLE_NAME CHILD_INDEX

Finds the application by its name on the accessibility bus, the first object with the role
"table" and the given name in it, and prints one JSON line: the table's role and name, its child
count, and the role, name and states of the child at CHILD_INDEX. Exits 2 when the application
or the table cannot be found within a few seconds.
"""
import json
import sys
import time

import pyatspi


def find(node, wanted, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if node.getRoleName() == "table" and node.name == wanted:
            return node
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            # The cells of other tables are no place to look for a table.
            if child is not None and child.getRoleName() in ("table cell", "column header"):
                continue
            found = find(child, wanted, depth + 1)
            if found is not None:
                return found
    except Exception:  # an object that went away meanwhile
        return None
    return None


def main():
    app_name, table_name, child_index = sys.argv[1], sys.argv[2], int(sys.argv[3])
    deadline = time.monotonic() + 20
    table = None
    while table is None and time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == app_name:
                table = find(app, table_name)
                if table is not None:
                    break
        if table is None:
            time.sleep(0.2)
    if table is None:
        print(json.dumps({"error": "no table %r in %r" % (table_name, app_name)}))
        return 2
    child = table.getChildAtIndex(child_index)
    states = child.getState()
    print(json.dumps({
        "role": table.getRoleName(),
        "name": table.name,
        "childCount": table.childCount,
        "childRole": child.getRoleName(),
        "childName": child.name,
        "childSelected": states.contains(pyatspi.STATE_SELECTED),
    }, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
