"""Common ground of the end-to-end tests: starting the program for a test,
checks of the window's states as a user sees them, and of the screen."""

import unittest

from vellix_app import (START_COUNT_TEXT, TITLE, Atspi, VellixApp, has_state, is_frame_blue,
                        is_ink, save_artifact, tools_missing, wait_for)

SENSITIVE = Atspi.StateType.SENSITIVE
ENABLED = Atspi.StateType.ENABLED
SHOWING = Atspi.StateType.SHOWING
VISIBLE = Atspi.StateType.VISIBLE

DEFAULT_ROWS = ["{SIM0}-Simulated Pad 1", "{SIM1}-Simulated Pad 2"]

# The frame is a 5 px line along the canvas's edges, half of it inside the
# canvas: the outermost two pixel rows and columns are solid frame colour.
FRAME_INSET = 1
# Strokes are looked for this far inside the edges, clear of the frame.
INTERIOR_MARGIN = 5


def selection_line(row_text, index):
    return f"current selection : {row_text}, index = {index}\n"


def clickable(accessible):
    states = accessible.get_state_set()
    return states.contains(SENSITIVE) and states.contains(ENABLED)


def shown(accessible):
    states = accessible.get_state_set()
    return states.contains(SHOWING) and states.contains(VISIBLE)


def frame_edge_coverage(shot):
    """For each edge of a canvas screenshot, the share of its pixels (one
    pixel in from the edge, corners left out) that are frame blue."""
    w, h, i = shot.width, shot.height, FRAME_INSET
    edges = {
        "top": [(x, i) for x in range(10, w - 10)],
        "bottom": [(x, h - 1 - i) for x in range(10, w - 10)],
        "left": [(i, y) for y in range(10, h - 10)],
        "right": [(w - 1 - i, y) for y in range(10, h - 10)],
    }
    return {name: sum(is_frame_blue(*shot.at(x, y)) for x, y in points) / len(points)
            for name, points in edges.items()}


def ink_pixels(shot):
    """Positions of the stroke-black pixels inside the frame."""
    m = INTERIOR_MARGIN
    found = set()
    for y in range(m, shot.height - m):
        for x in range(m, shot.width - m):
            if is_ink(*shot.at(x, y)):
                found.add((x, y))
    return found


class E2ETestCase(unittest.TestCase):
    """Starts the program per test and ends it, whatever happened."""

    def setUp(self):
        missing = tools_missing()
        if missing:
            self.fail(f"missing tools {missing}: install imagemagick")
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.kill()

    def start(self, **settings):
        """Starts the program with these library settings and waits for its window."""
        app = VellixApp(**settings)
        self.apps.append(app)
        frame = app.wait_for_window()
        self.assertEqual(frame.get_name(), TITLE)
        return app

    # -- states --------------------------------------------------------------

    def assertStartState(self, app, count_text=START_COUNT_TEXT, rows=DEFAULT_ROWS):
        """Only the provider list and Select can be used, the list shows row
        0, the size line is hidden and the canvas is there but empty."""
        why = app.describe()
        buttons = app.buttons()
        self.assertEqual(sorted(buttons), ["Clear", "Reset", "Select"], why)
        self.assertTrue(clickable(buttons["Select"]), why)
        self.assertFalse(clickable(buttons["Clear"]), why)
        self.assertFalse(clickable(buttons["Reset"]), why)
        for b in buttons.values():
            self.assertTrue(shown(b), f"{b.get_name()} not shown\n{why}")

        combo = app.combo()
        self.assertTrue(clickable(combo), why)
        self.assertEqual(app.combo_rows(), rows, why)
        self.assertEqual(combo.get_name(), rows[0] if rows else "", why)

        provider = app.label("Provider List:")
        self.assertEqual(provider.get_name(), "Provider List:")
        self.assertTrue(shown(provider), why)
        count = app.count_label()
        self.assertEqual(count.get_name(), count_text, why)
        self.assertTrue(shown(count), why)
        self.assertFalse(has_state(app.size_label(), SHOWING), why)
        self.assertFalse(has_state(app.size_label(), VISIBLE), why)

    def assertProviderSelected(self, app, count_text):
        why = app.describe()
        buttons = app.buttons()
        self.assertEqual(sorted(buttons), ["Clear", "Open", "Reset"], why)
        self.assertTrue(clickable(buttons["Open"]), why)
        self.assertTrue(clickable(buttons["Reset"]), why)
        self.assertFalse(clickable(buttons["Clear"]), why)
        self.assertFalse(clickable(app.combo()), why)
        self.assertEqual(app.count_label().get_name(), count_text, why)
        self.assertFalse(has_state(app.size_label(), SHOWING), why)

    def assertDeviceOpen(self, app, size_text):
        why = app.describe()
        buttons = app.buttons()
        self.assertEqual(sorted(buttons), ["Clear", "Open", "Reset"], why)
        self.assertFalse(clickable(buttons["Open"]), why)
        self.assertTrue(clickable(buttons["Clear"]), why)
        self.assertTrue(clickable(buttons["Reset"]), why)
        self.assertFalse(clickable(app.combo()), why)
        size = app.size_label()
        self.assertTrue(shown(size), why)
        self.assertEqual(size.get_name(), size_text, why)
        self.assertTrue(shown(app.canvas()), why)

    def select(self, app, count_text="number of device:  1"):
        app.click("Select")
        wait_for(lambda: app.count_label().get_name() == count_text,
                 f"count label {count_text!r}", describe=app.describe)
        self.assertProviderSelected(app, count_text)

    def open(self, app, size_text="Device is 3.74 inches by 2.13 inches"):
        app.click("Open")
        wait_for(lambda: shown(app.size_label()), "the size line", describe=app.describe)
        self.assertDeviceOpen(app, size_text)

    # -- screen ----------------------------------------------------------------

    def wait_for_canvas(self, app, condition, what, name, deadline=5.0):
        """Takes canvas screenshots until condition(shot) holds; keeps the
        last one as name.png for a person to look at. Returns the shot."""
        last = [None]

        def check():
            last[0] = app.canvas_shot()
            return condition(last[0])

        try:
            wait_for(check, what, deadline=deadline, interval=0.1)
        except AssertionError as e:
            path = save_artifact(last[0], f"{self.id()}-{name}.png") if last[0] else "none"
            raise AssertionError(f"{e}\nlast screenshot: {path}\n{app.describe()}") from None
        save_artifact(last[0], f"{self.id()}-{name}.png")
        return last[0]

    def assertFramed(self, shot, app):
        coverage = frame_edge_coverage(shot)
        for edge, share in coverage.items():
            self.assertGreaterEqual(share, 0.98, f"frame blue along the {edge} edge: {coverage}\n"
                                    f"{app.describe()}")

    # -- ending ----------------------------------------------------------------

    def assertEndsCleanly(self, app, stdout=""):
        """The program exits with status 0 having printed exactly stdout."""
        status, out, err = app.wait_exit()
        self.assertEqual(status, 0, f"exit status {status}\n{app.describe()}")
        self.assertEqual(out, stdout, f"standard output\n--- stderr ---\n{err[-3000:]}")
