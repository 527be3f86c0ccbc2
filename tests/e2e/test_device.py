"""A device session as a user goes through it: Select shows the device
count, Open the size line and the framed canvas with the pen's strokes,
Clear wipes the strokes, Reset returns to the start state."""

import unittest

from e2e_case import (DEFAULT_ROWS, E2ETestCase, SHOWING, VISIBLE, frame_edge_coverage,
                      ink_pixels, selection_line)
from vellix_app import RESET_COUNT_TEXT, has_state, is_frame_blue, is_ink, save_artifact, wait_for

# Enough stroke pixels that a wiped canvas is told apart from a full one.
INK_BEFORE_CLEAR = 400


def framed(shot):
    return min(frame_edge_coverage(shot).values()) >= 0.98


class DeviceSession(E2ETestCase):

    def test_select_then_open_shows_count_size_and_framed_strokes(self):
        app = self.start()
        self.select(app, "number of device:  1")
        self.open(app, "Device is 3.74 inches by 2.13 inches")

        # The library delivers samples at once and the canvas polls every
        # 200 ms: framed strokes are on screen well within the deadline.
        shot = self.wait_for_canvas(app, lambda s: framed(s) and len(ink_pixels(s)) >= 50,
                                    "the framed canvas with strokes", "open")
        self.assertFramed(shot, app)
        # Strokes stay inside the frame: none of the black touches it.
        self.assertEqual(shot.count(is_ink, 0, 0, shot.width, 3), 0)
        self.assertEqual(shot.count(is_ink, 0, shot.height - 3, shot.width, shot.height), 0)
        # The canvas keeps redrawing as the pen moves on: the signature runs
        # left to right, its first stroke within the left third (about 0.8 s
        # of samples), so ink further right comes from later redraws.
        def past_first_stroke(s):
            return sum(1 for x, _ in ink_pixels(s) if x > s.width * 0.34) >= 50
        self.wait_for_canvas(app, past_first_stroke, "strokes past the first one", "open-later")

        app.close_window()
        self.assertEndsCleanly(app, stdout="")

    def test_clear_wipes_the_strokes_and_reset_restores_the_start_state(self):
        # A slow pen, so that few strokes come back right after Clear.
        app = self.start(RATE=20)
        app.choose_row(1)
        self.select(app)
        self.open(app)

        before = ink_pixels(self.wait_for_canvas(
            app, lambda s: framed(s) and len(ink_pixels(s)) >= INK_BEFORE_CLEAR,
            f"{INK_BEFORE_CLEAR} stroke pixels", "before-clear", deadline=15))

        app.click("Clear")
        # New strokes continue where the pen is; the old ones are gone.
        def wiped(shot):
            return len(ink_pixels(shot) & before) <= 0.15 * len(before)
        after = self.wait_for_canvas(app, lambda s: wiped(s) and framed(s),
                                     "the old strokes to be wiped", "after-clear")
        self.assertLess(len(ink_pixels(after)), len(before))
        self.assertDeviceOpen(app, "Device is 3.74 inches by 2.13 inches")
        # And the pen's strokes keep coming.
        self.wait_for_canvas(app, lambda s: len(ink_pixels(s) - before) >= 30,
                             "new strokes after Clear", "strokes-again")

        app.click("Reset")
        canvas = app.canvas()
        wait_for(lambda: not has_state(canvas, VISIBLE), "the canvas to be hidden",
                 describe=app.describe)
        self.assertFalse(has_state(canvas, SHOWING))
        self.assertStartState(app, count_text=RESET_COUNT_TEXT)
        # Nothing of the canvas is left in the window.
        window = app.window_shot()
        path = save_artifact(window, f"{self.id()}-after-reset.png")
        self.assertEqual(window.count(is_frame_blue), 0, path)

        # Reset put the list back on row 0, which is a change of row.
        app.interrupt()
        self.assertEndsCleanly(app, stdout=selection_line(DEFAULT_ROWS[1], 1)
                               + selection_line(DEFAULT_ROWS[0], 0))

    def test_library_settings_reach_the_window(self):
        app = self.start(PROVIDERS=3, ID_2="PAD-7", NAME_2="Counter pad", DEVICES=12,
                         SIZE="5.5,3.25")
        rows = DEFAULT_ROWS + ["{PAD-7}-Counter pad"]
        self.assertStartState(app, rows=rows)
        app.choose_row(2)
        wait_for(lambda: app.stdout == selection_line(rows[2], 2), "the selection line",
                 describe=app.describe)
        self.select(app, "number of device: 12")
        self.open(app, "Device is 5.50 inches by 3.25 inches")
        self.assertEqual(app.combo().get_name(), rows[2])
        self.wait_for_canvas(app, lambda s: framed(s) and len(ink_pixels(s)) >= 50,
                             "the framed canvas with strokes", "open")
        # SIGINT with the device open runs the same exit sequence.
        app.interrupt()
        self.assertEndsCleanly(app, stdout=selection_line(rows[2], 2))


if __name__ == "__main__":
    unittest.main()
