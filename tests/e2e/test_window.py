"""The program's window from start to end: it comes up, shows its start
state, reports provider choices on standard output, and ends with status 0
on SIGINT or when its window is closed."""

import unittest

from e2e_case import (DEFAULT_ROWS, E2ETestCase, clickable, ink_pixels, selection_line, shown)
from vellix_app import TITLE, is_frame_blue, wait_for


class WindowLife(E2ETestCase):

    def test_window_comes_up_and_sigint_ends_the_program_quietly(self):
        app = self.start()
        # The X window is there under its title too, not only its
        # accessible frame.
        self.assertEqual(app.x11.title_of(app.x_window()), TITLE)
        app.interrupt()
        self.assertEndsCleanly(app, stdout="")

    def test_start_state_then_closing_the_window(self):
        app = self.start()
        self.assertStartState(app)
        canvas = app.canvas()
        self.assertTrue(shown(canvas), app.describe())
        # The canvas spans the window's width below the buttons, 340 px high.
        _, cy, cw, ch = app.extents(canvas)
        _, by, _, bh = app.extents(app.button("Select"))
        _, _, fw, _ = app.extents(app.frame)
        self.assertEqual(ch, 340)
        self.assertGreater(cy, by + bh - 1)
        self.assertGreater(cw, fw * 0.9)
        # Empty: no frame and no strokes before a device is open.
        shot = self.wait_for_canvas(app, lambda s: True, "a canvas screenshot", "start")
        self.assertEqual(shot.count(is_frame_blue), 0, "frame drawn before Open")
        self.assertEqual(len(ink_pixels(shot)), 0, "strokes drawn before Open")

        app.close_window()
        self.assertEndsCleanly(app, stdout="")

    def test_each_change_of_provider_row_prints_one_line(self):
        app = self.start()
        app.choose_row(1)
        first = selection_line(DEFAULT_ROWS[1], 1)
        wait_for(lambda: app.stdout == first, "the selection line for row 1", describe=app.describe)
        self.assertEqual(app.combo().get_name(), DEFAULT_ROWS[1])
        # Choosing the row that is already active changes nothing and prints
        # nothing; the next real change prints its own line.
        app.choose_row(1)
        app.choose_row(0)
        both = first + selection_line(DEFAULT_ROWS[0], 0)
        wait_for(lambda: app.stdout == both, "the selection line for row 0", describe=app.describe)
        self.assertTrue(clickable(app.combo()))
        app.interrupt()
        self.assertEndsCleanly(app, stdout=both)


if __name__ == "__main__":
    unittest.main()
