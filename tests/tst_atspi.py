#!/usr/bin/python3
"""The built program as a screen reader finds it, over the AT-SPI bus.

Run on an X server inside a D-Bus session of its own (CTest runs it as
scripts/with-xserver.sh dbus-run-session -- tst_atspi.py ORVO), it starts the
program, reads its accessible tree with pyatspi and works it through the
accessibility actions alone: the main window's controls are named, the hidden
button and the unnamed filler are not there, nor the lamps, which are the toggles'
pictures; the style toggles are checked as their lamps show, the font displays are
read as text, actions carry French names beside the
standard ones, and the two prompts are named by their question with one button for
each answer.
"""

import os
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

import pyatspi  # noqa: E402

FORM2_QUESTION = "Voulez-vous enregsiter le document en cours ?"
FORM3_QUESTION = "Voulez-vous  enregistrer le document en cours ? avant de quitter"
TOGGLES = ["Gras", "Italique", "Souligné", "Barré"]
PATIENCE = 30.0  # seconds: a bound for a loaded machine, not a speed goal


def wait_for(what, probe):
    """The first true value probe() gives, asked again until PATIENCE runs out."""
    deadline = time.monotonic() + PATIENCE
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(0.05)


def children(accessible):
    """The children still there: a window that just closed reads as None."""
    found = [accessible.get_child_at_index(i) for i in range(accessible.get_child_count())]
    return [child for child in found if child is not None]


def states(accessible):
    return accessible.get_state_set()


def described(accessible):
    return "%s %r" % (accessible.get_role_name(), accessible.get_name())


def child_named(parent, name):
    for child in children(parent):
        if child.get_name() == name:
            return child
    raise AssertionError("no child named %r among %s" % (name, [described(c) for c in children(parent)]))


def descendants(accessible, depth=8):
    """Every accessible below, breadth first, to a bounded depth."""
    found, level = [], [accessible]
    for _ in range(depth):
        level = [child for parent in level for child in children(parent)]
        found.extend(level)
    return found


def text_of(accessible):
    return accessible.get_text(0, accessible.get_character_count())


def press(accessible):
    assert accessible.get_n_actions() > 0, described(accessible) + " has no action"
    assert accessible.do_action(0), described(accessible) + " did not take its action"


def window_named(app, name):
    for window in children(app):
        if window.get_name() == name and states(window).contains(pyatspi.STATE_SHOWING):
            return window
    return None


def check_prompt(app, question):
    prompt = wait_for("the prompt " + repr(question), lambda: window_named(app, question))
    buttons = [c.get_name() for c in children(prompt) if c.get_role() == pyatspi.ROLE_PUSH_BUTTON]
    assert buttons == ["Oui", "Non", "Annuler"], buttons
    labels = [c.get_name() for c in children(prompt) if c.get_role() == pyatspi.ROLE_LABEL]
    assert labels == [question], labels
    return prompt


def main():
    program = sys.argv[1]
    env = dict(os.environ)
    # The bridge speaks on the bus although no screen reader announced itself.
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    process = subprocess.Popen([program], env=env)
    try:
        desktop = Atspi.get_desktop(0)

        def found_app():
            for app in children(desktop):
                if app is not None and app.get_process_id() == process.pid:
                    return app
            return None

        app = wait_for("the program on the bus", found_app)
        # Every answer straight from the program, nothing from the client's cache.
        app.set_cache_mask(Atspi.Cache.NONE)
        main_window = wait_for("the main window", lambda: window_named(app, "Orvo..."))

        controls = children(main_window)
        names = [c.get_name() for c in controls]
        assert "Command1" not in names, names
        for control in controls:
            assert control.get_name(), "an unnamed control: " + described(control)
        for name in ["Nouveau document", "Ouvrir", "Enregistrer", "Fermer", "Document", "Texte à rechercher",
                     "Police", "Couleur", "Rechercher", "Réduire", "Agrandir", "Restaurer"]:
            child_named(main_window, name)
        # No control twice: the lamps are the toggles' pictures, not controls.
        assert len(names) == len(set(names)), names
        assert not [name for name in names if name.startswith("Témoin")], names

        # Actions: the standard name to work them by, and a French description to
        # hear (the bridge tells the localised name through the description).
        opener = child_named(main_window, "Ouvrir")
        assert opener.get_action_name(0) == "Press", opener.get_action_name(0)
        assert opener.get_action_description(0) == "Actionne la commande", opener.get_action_description(0)
        bold = child_named(main_window, "Gras")
        described_actions = [bold.get_action_description(i) for i in range(bold.get_n_actions())]
        assert described_actions == ["Active ou désactive le style", "Actionne la commande"], described_actions
        swatch = child_named(main_window, "Couleur : noir")
        described_actions = [swatch.get_action_description(i) for i in range(swatch.get_n_actions())]
        assert "Actionne la commande" in described_actions, described_actions
        assert "Donne le focus clavier à la commande" in described_actions, described_actions

        # The displays read their text.
        font_display = child_named(main_window, "Police de la sélection")
        size_display = child_named(main_window, "Taille de la sélection")
        assert font_display.get_role() == pyatspi.ROLE_LABEL, described(font_display)
        assert text_of(font_display), "the font display reads nothing"
        assert text_of(size_display), "the size display reads nothing"

        # A document in another font, opened through the open dialog as a screen
        # reader's user would: the font display's new text is heard.
        heard = []
        listener = Atspi.EventListener.new(lambda event: heard.append((event.type, event.source.get_name())))
        listener.register("object:text-changed")
        with tempfile.NamedTemporaryFile("w", suffix=".rtf", delete=False) as rtf:
            rtf.write("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Serif;}}\\f0\\fs28 Serif\\par}")
        try:
            press(child_named(main_window, "Ouvrir"))
            dialog = wait_for("the open dialog", lambda: window_named(app, "Ouvrir"))
            fields = [c for c in descendants(dialog) if c.get_role() == pyatspi.ROLE_TEXT
                      and states(c).contains(pyatspi.STATE_EDITABLE) and states(c).contains(pyatspi.STATE_SHOWING)]
            assert fields, "no file name field in the open dialog"
            fields[-1].set_text_contents(rtf.name)
            buttons = [c for c in descendants(dialog) if c.get_role() == pyatspi.ROLE_PUSH_BUTTON
                       and c.get_name() == "Ouvrir"]
            assert buttons, [described(c) for c in descendants(dialog)]
            press(buttons[0])

            def heard_font():
                GLib.MainContext.default().iteration(False)
                return text_of(font_display) == "DejaVu Serif" and \
                    ("object:text-changed:insert", "Police de la sélection") in heard
            wait_for("the font display to read and tell DejaVu Serif", heard_font)
        finally:
            listener.deregister("object:text-changed")
            os.unlink(rtf.name)

        toggles = [child_named(main_window, name) for name in TOGGLES]
        # Buttons that stay pressed, shown as Qt shows them: check boxes.
        for toggle in toggles:
            assert toggle.get_role() == pyatspi.ROLE_CHECK_BOX, described(toggle)
            assert not states(toggle).contains(pyatspi.STATE_CHECKED), described(toggle)

        # Text typed and selected through the document's own interfaces, then made
        # bold through the toggle: the toggle and its lamp are checked.
        document = child_named(main_window, "Document")
        assert document.insert_text(0, "Bonjour", 7)
        assert document.add_selection(0, 7)
        press(toggles[0])
        wait_for("Gras checked", lambda: states(toggles[0]).contains(pyatspi.STATE_CHECKED))
        for toggle in toggles[1:]:
            assert not states(toggle).contains(pyatspi.STATE_CHECKED), described(toggle)

        # The document is modified: New asks first.
        press(child_named(main_window, "Nouveau document"))
        prompt = check_prompt(app, FORM2_QUESTION)
        press(child_named(prompt, "Annuler"))
        wait_for("the prompt to close", lambda: window_named(app, FORM2_QUESTION) is None)

        press(child_named(main_window, "Fermer"))
        prompt = check_prompt(app, FORM3_QUESTION)
        press(child_named(prompt, "Non"))
        status = process.wait(timeout=PATIENCE)
        assert status == 0, "the program ended with %d" % status
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    print("tst_atspi: the accessible tree is as a screen reader needs it")


if __name__ == "__main__":
    main()
