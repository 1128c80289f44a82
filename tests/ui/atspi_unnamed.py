#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the controls of a running program that the accessibility bus shows
without a name. Argument: the program's process id. Prints one line
"unnamed: PATH" per such control, then "controls seen: N"."""
import sys
import time

import pyatspi

# Roles a screen reader announces as controls of their own, by their name.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT,
    pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TREE,
    pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST,
    pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_SPLIT_PANE,
}
# Parts of a control that the control names (cells, headers, a combo box's list).
SKIP_BELOW = {pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE,
              pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_COMBO_BOX,
              pyatspi.ROLE_MENU_BAR}


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(100):
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.1)
    return None


def walk(node, path, found):
    try:
        role = node.getRole()
        name = node.name or ""
        states = node.getState()
    except Exception:
        return
    if not states.contains(pyatspi.STATE_SHOWING) and role != pyatspi.ROLE_APPLICATION:
        return
    here = f"{path}/{node.getRoleName()}:{name}"
    if role in CONTROL_ROLES:
        found["controls"] += 1
        if not name.strip():
            found["unnamed"].append(here)
    if role in SKIP_BELOW:
        return
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            walk(child, here, found)


def main():
    app = find_application(int(sys.argv[1]))
    if app is None:
        print("the program is not on the accessibility bus", file=sys.stderr)
        return 1
    found = {"controls": 0, "unnamed": []}
    walk(app, "", found)
    for path in found["unnamed"]:
        print("unnamed: " + path)
    print(f"controls seen: {found['controls']}")
    return 0


sys.exit(main())
