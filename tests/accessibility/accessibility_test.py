#!/usr/bin/env python3
"""What a screen reader is told: Kelmory on its own Xvfb display and D-Bus
session, its three windows opened through AT-SPI, the tree dumped and every
control's name, the windows' roles, the t-table's modal state and the
Working label's relation checked; or Kelmory Review's window, with which of
its cells can be edited.   Usage: accessibility_test.py PROGRAM"""

import difflib, os, subprocess, sys, tempfile, time

# What a screen reader is told, whole: the main window is a frame, the
# others dialogs; Qt shows a design's frame as a panel and the list as a
# tree. Labels are named without their runs of blanks.
EXPECTED_TREE = """application 'Kelmory'
  frame 'Kelmory'
    text 'Instructions'
    label '(a) Standard Error Of Mean:'
    text '(a) Standard Error Of Mean'
    label '(b) Total N:'
    text '(b) Total N'
    label '(c) Confidence Error:'
    text '(c) Confidence Error'
    panel 'Confidence Interval of Error'
      radio button '95%'
      radio button '99%'
      radio button 'Other ...'
      panel 'z or t Value'
        text 'z or t value prompt'
        text 'z or t value'
        push button 't-Table'
    push button 'Compute'
    push button 'Reset All'
    push button 'Exit'
    text 'Standard deviation'
    push button 'Credits'
    label 'Working:'
    text 'Working'
  dialog 'Programme Credits'
    label 'Kelmory'
    text 'Citation'
    push button 'Visit Varonel Website For More Software'
    text 'Terms of use'
    push button 'Close'
  dialog 't Values For Confidence Intervals' (modal)
    tree 't values'"""


# The review window: a frame whose table's cells are data (the window tests
# read them); the method is a pair of radio buttons, every tool button, the
# tool bar's overflow, the dividers and the size grip named. Qt lists the
# controls of the central panel before the menu bar.
EXPECTED_REVIEW_TREE = """application 'kelmory-review'
  frame 'Untitled — Kelmory Review'
      label 'Default level of intervals:'
      spin button 'Default level'
      label 'Divide intervals by:'
      radio button "Student's t"
      radio button 'Normal z'
      split pane ''
          label 'Working of the current row:'
          text 'Working of the current row'
        table 'Studies'
        unknown 'Divider between the table and the working'
        unknown 'Divider between the table and the working'
    menu bar ''
      menu item 'File'
        popup menu ''
          menu item 'New'
          menu item 'Open…'
          menu item 'Open Recent'
            popup menu ''
          menu item 'Reopen With…'
          separator ''
          menu item 'Save'
          menu item 'Save As…'
          menu item 'Export as .xlsx…'
          separator ''
          menu item 'Quit'
      menu item 'Edit'
        popup menu ''
          menu item 'Undo'
          menu item 'Redo'
          separator ''
          menu item 'Cut'
          menu item 'Copy'
          menu item 'Paste'
          menu item 'Clear Cells'
          separator ''
          menu item 'Insert Row'
          menu item 'Delete Rows'
      menu item 'Method'
        popup menu ''
          menu item "Student's t (n - 1 df)"
          menu item 'Normal z'
          separator ''
          menu item 'Medians: Normal Estimate'
          menu item 'Medians: Quantile Estimation (QE)'
          menu item 'Medians: Log-normal'
          menu item 'Medians: QE Where Skewed'
          separator ''
          menu item 'No Imputed Correlation'
          menu item 'Impute a Correlation…'
          menu item "Impute the Table's Mean Correlation"
      menu item 'Help'
        popup menu ''
          menu item 'Kelmory Review Guide'
          menu item 'About Kelmory Review'
    tool bar 'Tools'
      check box 'More tools'
      push button 'New'
      push button 'Open…'
      push button 'Save'
      push button 'Undo'
      push button 'Redo'
      push button 'Copy'
      push button 'Paste'
      push button 'Insert Row'
      push button 'Delete Rows'
    status bar ''
      unknown 'Resize the window'
      label '0 rows, 0 with a warning, 0 refused'
      label 'comma-separated, decimal point, UTF-8'"""


def wait_for(what, probe, process=None):
    end = time.monotonic() + 20
    while time.monotonic() < end:
        if process is not None and process.poll() is not None:
            raise RuntimeError("Kelmory ended while waiting for " + what)
        if found := probe():
            return found
        time.sleep(0.1)
    raise TimeoutError("waited in vain for " + what)


def outer(program):
    # Xvfb names its display once it listens; -noreset keeps it up between clients.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as pipe:
            display = pipe.readline().strip()
        if not display:
            return "Xvfb did not start"
        env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        return subprocess.run(["dbus-run-session", "--", sys.executable, __file__, "--inner", program],
                              env=env, timeout=60).returncode
    finally:
        xvfb.terminate()
        xvfb.wait()


def walk(node, depth=0):
    yield node, depth
    if node.getRoleName() not in ("tree", "table"):  # a list's cells are data, not controls
        for child in filter(None, (node.getChildAtIndex(i) for i in range(node.childCount))):
            yield from walk(child, depth + 1)


def inner(program):
    import pyatspi
    # Under AddressSanitizer: libxkbcommon-x11 strndup()s keymap names past
    # their end, which strict string checks would stop in that library.
    asan = os.environ.get("ASAN_OPTIONS", "") + ":strict_string_checks=0"
    kelmory = subprocess.Popen([program], env=dict(os.environ, ASAN_OPTIONS=asan))
    try:
        app = wait_for("Kelmory on the accessibility bus", lambda: next(
            (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Kelmory" and a.childCount),
            None), kelmory)

        def control(role, name):
            return next((n for n, _ in walk(app) if n.getRoleName() == role and n.name == name), None)

        def press(role, name):
            action = wait_for(name, lambda: control(role, name), kelmory).queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
            action.doAction(next(i for i, n in enumerate(names) if n in ("press", "toggle")))

        press("push button", "Credits")
        press("radio button", "Other ...")
        wait_for("t-Table enabled", lambda: control("push button", "t-Table").getState().contains(
            pyatspi.STATE_ENABLED), kelmory)
        press("push button", "t-Table")
        wait_for("three windows", lambda: app.childCount >= 3, kelmory)

        tree = []
        for node, depth in walk(app):
            role, name = node.getRoleName(), node.name
            if name or role not in ("filler", "scroll bar"):
                modal = " (modal)" if node.getState().contains(pyatspi.STATE_MODAL) else ""
                tree.append("%s%s %r%s" % ("  " * depth, role, name, modal))
        print("\n".join(tree))
        failures = []
        if tree != EXPECTED_TREE.splitlines():
            failures.append("TREE: not as expected:\n" + "\n".join(difflib.unified_diff(
                EXPECTED_TREE.splitlines(), tree, "expected", "seen", lineterm="")))

        def related(node, kind):
            return [(t.getRoleName(), t.name) for r in node.getRelationSet()
                    if r.getRelationType() == kind
                    for t in (r.getTarget(i) for i in range(r.getNTargets()))]
        label, box = control("label", "Working:"), control("text", "Working")
        if not label or related(label, pyatspi.RELATION_LABEL_FOR) != [("text", "Working")]:
            failures.append("RELATION: 'Working:' is no LABEL_FOR the working box")
        if not box or related(box, pyatspi.RELATION_LABELLED_BY) != [("label", "Working:")]:
            failures.append("RELATION: the working box is not LABELLED_BY 'Working:'")
        print("\n".join(failures))
        return 1 if failures else 0
    finally:
        kelmory.kill()
        kelmory.wait()


def dump(app):
    tree = []
    for node, depth in walk(app):
        role, name = node.getRoleName(), node.name
        if name or role not in ("filler", "scroll bar", "panel"):
            modal = " (modal)" if node.getState().contains(pyatspi.STATE_MODAL) else ""
            tree.append("%s%s %r%s" % ("  " * depth, role, name, modal))
    return tree


def review_inner(program):
    global pyatspi
    import pyatspi
    # Its settings and recent files stay in a folder of its own.
    settings = tempfile.TemporaryDirectory()
    asan = os.environ.get("ASAN_OPTIONS", "") + ":strict_string_checks=0"
    review = subprocess.Popen([program], env=dict(os.environ, XDG_CONFIG_HOME=settings.name,
                                                  ASAN_OPTIONS=asan))
    try:
        app = wait_for("Kelmory Review on the accessibility bus", lambda: next(
            (a for a in pyatspi.Registry.getDesktop(0)
             if a and a.name == "kelmory-review" and a.childCount), None), review)
        wait_for("its window", lambda: app.getChildAtIndex(0).childCount, review)
        time.sleep(0.5)
        tree = dump(app)
        print("\n".join(tree))
        failures = []
        if tree != EXPECTED_REVIEW_TREE.splitlines():
            failures.append("TREE: not as expected:\n" + "\n".join(difflib.unified_diff(
                EXPECTED_REVIEW_TREE.splitlines(), tree, "expected", "seen", lineterm="")))
        # The row to type a new study into: its study cell takes typing, its sd does not.
        table = next(n for n, _ in walk(app) if n.getRoleName() == "table").queryTable()
        header = [table.getColumnDescription(c) for c in range(table.nColumns)]
        for column, editable in (("study", True), ("sd", False)):
            cell = table.getAccessibleAt(0, header.index(column))
            if cell.getState().contains(pyatspi.STATE_EDITABLE) != editable:
                failures.append("CELL: %s is %seditable" % (column, "not " if editable else ""))
        print("\n".join(failures))
        return 1 if failures else 0
    finally:
        review.kill()
        review.wait()
        settings.cleanup()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inner" and sys.argv[2].endswith("kelmory-review"):
        sys.exit(review_inner(sys.argv[2]))
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        sys.exit(inner(sys.argv[2]))
    sys.exit(outer(sys.argv[1]) if len(sys.argv) == 2 else __doc__)
