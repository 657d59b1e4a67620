#!/usr/bin/python3
"""Reads a running program's widget tree over the accessibility bus and checks that every
control a user can reach is named and lies inside the screen.

  a11y_tree.py APP_NAME SCREEN_WIDTH SCREEN_HEIGHT [TIMEOUT_SECONDS]

A11Y_VERBOSE=1 lists every control read.

Exits 0 when every control passes, 1 when one fails, 2 when the program never appears.
"""
import os
import sys
import time

import pyatspi

VERBOSE = os.environ.get("A11Y_VERBOSE") == "1"

# Roles a user acts on; their contents (list entries, table cells) are checked as one.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TABLE,
    pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST,
}


def find_app(name, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    return None


def controls(node, depth=0):
    """Showing controls under node, not descending into a control."""
    if depth > 40:
        return
    for child in node:
        if child is None:
            continue
        states = child.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            continue
        if child.getRole() in CONTROL_ROLES:
            yield child
        else:
            yield from controls(child, depth + 1)


def main():
    name, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    timeout = float(sys.argv[4]) if len(sys.argv) > 4 else 30.0
    app = find_app(name, timeout)
    if app is None:
        print(f"a11y: {name} is not on the accessibility bus")
        return 2
    # The main window needs a moment to lay itself out after it appears.
    time.sleep(2)
    failures, count = [], 0
    for control in controls(app):
        count += 1
        role = control.getRoleName()
        label = control.name or ""
        box = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        where = f"{role} '{label}' at {box.x},{box.y} {box.width}x{box.height}"
        if VERBOSE:
            print("a11y:", where)
        if not label.strip():
            failures.append("no name: " + where)
        if box.width <= 0 or box.height <= 0 or box.x < 0 or box.y < 0 or \
                box.x + box.width > width or box.y + box.height > height:
            failures.append("outside the screen: " + where)
    for f in failures:
        print("a11y:", f)
    print(f"a11y: {count} controls of {name} on a {width}x{height} screen,"
          f" {len(failures)} failures")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
