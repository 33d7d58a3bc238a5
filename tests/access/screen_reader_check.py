#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The client as a player's screen reader sees it, over AT-SPI: the demo world's room text in the view, and a
# name on every control that takes the focus, in the main window and in each dialog its menus open.
# Run through run_on_display.sh (Xvfb, a D-Bus session, the accessibility bus); exit 77 when the tools are
# missing.
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("python3-pyatspi is missing (WREN_WITH_ACCESSIBILITY=1 bash scripts/setup.sh installs it): skipped")
    sys.exit(77)

CLIENT, DEMO = sys.argv[1], sys.argv[2]
FOCUSABLE = pyatspi.STATE_FOCUSABLE
failures = []


def wait_for(what, probe, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = probe()
        except Exception:  # the tree changes under a walk; try again
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit(f"timed out waiting for {what}")


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name and "wren" in app.name.lower():
            return app
    return None


def view_text(app, world):
    for node in walk(app):
        if node.name == f"Output of {world}":
            text = node.queryText()
            return text.getText(0, text.characterCount)
    return None


# Cells and list entries are named by what they hold: an empty one reads as blank.
ITEMS = (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TREE_ITEM)


def unnamed_focusable(root):
    missing = []
    for node in walk(root):
        if node.getRole() in ITEMS:
            continue
        states = node.getState()
        if states.contains(FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING) and not node.name.strip():
            missing.append(f"{node.getRoleName()} in {node.parent.getRoleName() if node.parent else '?'}")
    return missing


def press(keysym_name):
    keysyms = {"Return": 0xFF0D, "Escape": 0xFF1B}
    pyatspi.Registry.generateKeyboardEvent(keysyms[keysym_name], None, pyatspi.KEY_SYM)


def type_line(text):
    # Letters are their own key symbols (lower case); the bus's string synthesis fails without a keymap.
    for letter in text:
        pyatspi.Registry.generateKeyboardEvent(ord(letter), None, pyatspi.KEY_SYM)
    press("Return")


def dialogs(app):
    return [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
            if w is not None and w.getRole() == pyatspi.ROLE_DIALOG and w.getState().contains(pyatspi.STATE_SHOWING)]


def check_dialog(app, label, open_it):
    opener = open_it()
    dialog = wait_for(f"the {label} dialog", lambda: (dialogs(app) or [None])[0], 10)
    time.sleep(0.3)
    for name in unnamed_focusable(dialog):
        failures.append(f"{label} dialog: a focusable {name} has no name")
    press("Escape")
    end = time.monotonic() + 5
    while dialogs(app) and time.monotonic() < end:
        time.sleep(0.2)
    if dialogs(app):
        # No keyboard focus in the dialog: its Close or Cancel button, as a screen reader presses it.
        for node in walk(dialogs(app)[0]):
            if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name.replace("&", "") in ("Close", "Cancel", "OK"):
                background_action(node.name)
                break
    wait_for(f"the {label} dialog to close", lambda: not dialogs(app), 10)
    opener.wait(10)


def background_action(name):
    # An action that opens a modal dialog answers only when the dialog closes: it runs in a process of its own.
    code = (
        "import pyatspi, sys\n"
        "d = pyatspi.Registry.getDesktop(0)\n"
        "apps = [d.getChildAtIndex(i) for i in range(d.childCount)]\n"
        "app = [a for a in apps if a is not None and a.name and 'wren' in a.name.lower()][0]\n"
        "def walk(n, depth=0):\n"
        "    if n is None or depth > 40: return\n"
        "    yield n\n"
        "    for i in range(n.childCount): yield from walk(n.getChildAtIndex(i), depth + 1)\n"
        "node = next(n for n in walk(app) if n.name == sys.argv[1] and n.queryAction().nActions > 0)\n"
        "node.queryAction().doAction(0)\n")
    return subprocess.Popen([sys.executable, "-c", code, name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    folder = tempfile.mkdtemp(prefix="wren-a11y-")
    # A copy of the program keeps its files in its own folder, away from the build.
    program = os.path.join(folder, "wren")
    shutil.copy2(CLIENT, program)
    demo = subprocess.Popen([DEMO, "--port", str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
    client = subprocess.Popen([program, f"telnet://127.0.0.1:{port}"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        app = wait_for("the client on the accessibility bus", application, 30)
        world = "127.0.0.1"
        banner = wait_for("the demo world's name prompt in the view",
                          lambda: (view_text(app, world) or "") if "By what name" in (view_text(app, world) or "")
                          else None)
        print("The view reads:", banner.strip().splitlines()[-1])
        command = wait_for("the command box", lambda: next((n for n in walk(app) if n.name == "Command"), None))
        # Focus as a screen reader user moves it: the window takes the keyboard (no window manager here).
        command.queryComponent().grabFocus()
        time.sleep(0.5)
        type_line("reader")
        wait_for("the password prompt", lambda: "Password (" in (view_text(app, world) or ""), 15)
        type_line("secret")
        room = wait_for("the room text", lambda: "Exits" in (view_text(app, world) or "") or
                        "exits" in (view_text(app, world) or ""), 15)
        print("Room text found through AT-SPI")
        for name in unnamed_focusable(app):
            failures.append(f"main window: a focusable {name} has no name")
        # The menus' items, as a screen reader opens them through their actions.
        for label, item in (("connection manager", "New..."), ("options", "Settings..."),
                            ("automation editor", "Advanced..."), ("speech settings", "Speech settings...")):
            check_dialog(app, label, lambda item=item: background_action(item))
    finally:
        client.terminate()
        demo.terminate()
        for process in (client, demo):
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print("\n".join(failures))
        return 1
    print("Every focusable control has a name")
    return 0


if __name__ == "__main__":
    sys.exit(main())
