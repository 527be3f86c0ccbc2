"""What a user sees when the pad library says no: an empty provider list, a
select that fails, a provider without devices and an open that fails. The
window must stay usable and the program must still end cleanly."""

import unittest

from e2e_case import (DEFAULT_ROWS, SHOWING, E2ETestCase, clickable, ink_pixels, selection_line,
                      shown)
from vellix_app import START_COUNT_TEXT, has_state, is_frame_blue, wait_for


class LibraryRefusals(E2ETestCase):

    def test_select_that_gives_no_device_changes_nothing(self):
        cases = {
            "failing select": dict(SELECT="fail"),
            "no devices": dict(DEVICES=0),
            "negative device count": dict(DEVICES=-1),
        }
        for name, settings in cases.items():
            with self.subTest(name):
                app = self.start(**settings)
                app.click("Select")
                # A change of row after the click shows that the click has
                # been handled, and that the list can still be used.
                app.choose_row(1)
                line = selection_line(DEFAULT_ROWS[1], 1)
                wait_for(lambda: app.stdout == line, "the selection line", describe=app.describe)
                buttons = app.buttons()
                self.assertEqual(sorted(buttons), ["Clear", "Reset", "Select"], app.describe())
                self.assertTrue(clickable(buttons["Select"]))
                self.assertFalse(clickable(buttons["Reset"]))
                self.assertFalse(clickable(buttons["Clear"]))
                self.assertEqual(app.count_label().get_name(), START_COUNT_TEXT)
                # Selecting again is still offered and still changes nothing.
                app.click("Select")
                self.assertEqual(sorted(app.buttons()), ["Clear", "Reset", "Select"])
                app.interrupt()
                self.assertEndsCleanly(app, stdout=line)

    def test_empty_provider_list(self):
        app = self.start(PROVIDERS=0)
        self.assertStartState(app, rows=[])
        # The action's reply comes after the button's handler has run.
        app.click("Select")
        self.assertStartState(app, rows=[])
        app.close_window()
        self.assertEndsCleanly(app, stdout="")

    def test_failing_open_returns_to_select_with_row_zero(self):
        app = self.start(OPEN="fail")
        app.choose_row(1)
        self.select(app)
        app.click("Open")
        wait_for(lambda: "Select" in app.buttons(), "the button to read Select again",
                 describe=app.describe)
        why = app.describe()
        buttons = app.buttons()
        self.assertTrue(clickable(buttons["Select"]), why)
        self.assertFalse(clickable(buttons["Reset"]), why)
        self.assertFalse(clickable(buttons["Clear"]), why)
        combo = app.combo()
        self.assertEqual(combo.get_name(), DEFAULT_ROWS[0], why)
        # The list is left insensitive after a failed open.
        self.assertFalse(clickable(combo), why)
        self.assertFalse(has_state(app.size_label(), SHOWING), why)
        # The canvas never got its frame.
        shot = self.wait_for_canvas(app, lambda s: True, "a canvas screenshot", "failed-open")
        self.assertTrue(shown(app.canvas()))
        self.assertEqual(shot.count(is_frame_blue), 0)
        self.assertEqual(len(ink_pixels(shot)), 0)

        # The window is not stuck: Select works again, on row 0.
        self.select(app)
        app.interrupt()
        self.assertEndsCleanly(app, stdout=selection_line(DEFAULT_ROWS[1], 1)
                               + selection_line(DEFAULT_ROWS[0], 0))


if __name__ == "__main__":
    unittest.main()
