#!/usr/bin/env python3
"""What a screen reader is told: runs Kelmory on its own Xvfb display and
D-Bus session, opens the t-table and the credits window through the
accessibility interface, dumps the AT-SPI tree and checks the names.

Usage: accessibility_test.py PROGRAM
"""

import os
import socket
import subprocess
import sys
import time

DEADLINE_SECONDS = 40

# Controls a user reaches, by role, with the name each must be announced by.
# Qt shows a window as a filler, a frame as a panel and the list as a tree.
EXPECTED = [
    ("filler", "Kelmory"),
    ("text", "Instructions"),
    ("label", "(a)      Standard Error Of Mean:"),
    ("text", "(a) Standard Error Of Mean"),
    ("text", "(b) Total N"),
    ("text", "(c) Confidence Error"),
    ("panel", "Confidence Interval of Error"),
    ("radio button", "95%"),
    ("radio button", "Other ..."),
    ("panel", "z or t Value"),
    ("text", "z or t value prompt"),
    ("text", "z or t value"),
    ("push button", "t-Table"),
    ("push button", "Compute"),
    ("text", "Standard deviation"),
    ("label", "Working:"),
    ("text", "Working"),
    ("filler", "t Values For Confidence Intervals"),
    ("tree", "t values"),
    ("filler", "Programme Credits"),
    ("label", "Kelmory"),
    ("text", "Citation"),
    ("text", "Terms of use"),
    ("push button", "Close"),
]
# Roles that must never be announced without a name of their own.
NAMED_ROLES = {"push button", "radio button", "text", "label", "panel", "tree"}


def outer(program):
    """Starts Xvfb on a free display and reruns this script inside a fresh
    D-Bus session, so that nothing of the caller's desktop is touched."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as display_pipe:
            display = display_pipe.readline().strip()
        if not display:
            print("Xvfb did not start")
            return 1
        wait_for("Xvfb to take connections", lambda: accepts("/tmp/.X11-unix/X" + display))
        env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0")
        env.pop("WAYLAND_DISPLAY", None)
        return subprocess.run(
            ["dbus-run-session", "--", sys.executable, __file__, "--inner", program],
            env=env, timeout=DEADLINE_SECONDS + 20).returncode
    finally:
        xvfb.terminate()
        xvfb.wait()


def accepts(socket_path):
    with socket.socket(socket.AF_UNIX) as probe:
        try:
            probe.connect(socket_path)
            return True
        except OSError:
            return False


def wait_for(what, probe, process=None):
    end = time.monotonic() + DEADLINE_SECONDS / 2
    while time.monotonic() < end:
        if process is not None and process.poll() is not None:
            raise RuntimeError("Kelmory ended while waiting for " + what)
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    raise TimeoutError("waited in vain for " + what)


def walk(node, depth=0):
    yield node, depth
    if node.getRoleName() == "tree":
        return  # its cells are data, not controls
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def press(app, role, name):
    for node, _ in walk(app):
        if node.getRoleName() == role and node.name == name:
            action = node.queryAction()
            for i in range(action.nActions):
                if action.getName(i) in ("Press", "press", "Toggle", "toggle"):
                    action.doAction(i)
                    return
    raise LookupError("no %s %r to press" % (role, name))


def inner(program):
    import pyatspi

    kelmory = subprocess.Popen([program])
    try:
        desktop = pyatspi.Registry.getDesktop(0)

        def application():
            for app in desktop:
                if app is not None and app.name == "Kelmory" and app.childCount > 0:
                    return app
            return None

        app = wait_for("Kelmory on the accessibility bus", application, kelmory)
        press(app, "push button", "Credits")
        press(app, "radio button", "Other ...")
        wait_for("the t-Table button enabled", process=kelmory, probe=lambda: any(
            n.getRoleName() == "push button" and n.name == "t-Table"
            and n.getState().contains(pyatspi.STATE_ENABLED) for n, _ in walk(app)))
        press(app, "push button", "t-Table")
        wait_for("three windows", lambda: app.childCount >= 3, kelmory)

        seen = set()
        unnamed = []
        for node, depth in walk(app):
            role, name = node.getRoleName(), node.name
            if name or role not in ("filler", "scroll bar"):
                print("%s%s %r" % ("  " * depth, role, name))
            seen.add((role, name))
            if role in NAMED_ROLES and not name.strip():
                unnamed.append(role)
        missing = [entry for entry in EXPECTED if entry not in seen]
        for role, name in missing:
            print("MISSING: %s %r" % (role, name))
        for role in unnamed:
            print("UNNAMED: a %s" % role)
        return 1 if missing or unnamed else 0
    finally:
        kelmory.kill()
        kelmory.wait()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        sys.exit(inner(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outer(sys.argv[1]))
