"""Drives the built program as a user would: starts it under the test's X
display, finds its widgets through the accessibility bus (AT-SPI), clicks
them, reads their state and the screen, and ends it by SIGINT or by closing
its window the way a window manager does.

Every wait polls its condition until a deadline; nothing sleeps blindly.
"""

import atexit
import ctypes
import ctypes.util
import fcntl
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

TITLE = "Generic Vellix Test Program"
START_COUNT_TEXT = "number of device: __ "
RESET_COUNT_TEXT = "number of device: __"

# How long one AT-SPI call may take before the program counts as hung.
CALL_TIMEOUT_MS = 5000
# Generous deadlines: the suite runs two tests at once on two cores.
STARTUP_DEADLINE = 20.0
STATE_DEADLINE = 5.0
EXIT_DEADLINE = 10.0

Atspi.set_timeout(CALL_TIMEOUT_MS, int(STARTUP_DEADLINE * 1000))

# Where the screenshots that tests take are kept for a person to look at
# (in the build tree when ctest runs the tests).
ARTIFACT_DIR = os.environ.get("VELLIX_E2E_ARTIFACTS", "/tmp/vellix-e2e")


def program_path():
    path = os.environ.get("VELLIX_PROGRAM")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("set VELLIX_PROGRAM to the built vellixtest (ctest does this)")
    return path


def require_display():
    if not os.environ.get("DISPLAY"):
        raise RuntimeError("no DISPLAY: run the tests under xvfb-run (scripts/test.sh does)")


# Started children get SIGKILL when this test process ends, however it ends
# (a ctest timeout included), so that nothing outlives a test. setpriv
# (util-linux) sets that up and then runs the command in its place, with
# the same process id.
_END_WITH_PARENT = ["setpriv", "--pdeathsig", "KILL", "--"]


_bus = None
A11Y_BUS_CONFIG = "/usr/share/defaults/at-spi2/accessibility.conf"


def _stop_private_bus():
    global _bus
    if _bus is None:
        return
    daemon, bus_dir = _bus
    _bus = None
    daemon.terminate()
    try:
        daemon.wait(timeout=EXIT_DEADLINE)
    except subprocess.TimeoutExpired:
        daemon.kill()
        daemon.wait()
    daemon.stdout.close()
    shutil.rmtree(bus_dir, ignore_errors=True)


def use_private_a11y_bus():
    """Gives this test process and the programs it starts an accessibility
    bus of their own, named to all of them by AT_SPI_BUS_ADDRESS.

    The bus that the session's launcher starts is found through the X
    root window or a socket named after the display, both shared with any
    other test on the same display or machine; two tests at once would
    then see each other's programs, or lose theirs when the other ends.
    Must run before the first AT-SPI call of the process."""
    global _bus
    if _bus is not None:
        return
    if not os.path.exists(A11Y_BUS_CONFIG):
        raise RuntimeError(f"{A11Y_BUS_CONFIG} is missing: install at-spi2-core")
    bus_dir = tempfile.mkdtemp(prefix="vellix-e2e-a11y-")
    address = f"unix:path={bus_dir}/bus"
    # The registry daemon that the bus starts on demand finds the bus the
    # same way as everyone else.
    env = dict(os.environ, AT_SPI_BUS_ADDRESS=address)
    daemon = subprocess.Popen(_END_WITH_PARENT + [
        "dbus-daemon", f"--config-file={A11Y_BUS_CONFIG}", "--nofork", f"--address={address}",
        "--print-address=1"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL)
    # The address is printed once the bus listens.
    if not daemon.stdout.readline().strip():
        daemon.kill()
        daemon.wait()
        raise RuntimeError("the accessibility bus did not start (dbus-daemon from dbus)")
    _bus = (daemon, bus_dir)
    atexit.register(_stop_private_bus)
    os.environ["AT_SPI_BUS_ADDRESS"] = address


def wait_for(condition, what, deadline=STATE_DEADLINE, interval=0.05, describe=None):
    """Polls condition() until it returns a true value or the deadline
    passes; returns that value or raises AssertionError naming what."""
    end = time.monotonic() + deadline
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except GLib.Error as e:  # a call into a busy or exiting program
            last_error = e
        if time.monotonic() >= end:
            detail = f" (last error: {last_error})" if last_error else ""
            extra = f"\n{describe()}" if describe else ""
            raise AssertionError(
                f"timed out after {deadline:.0f} s waiting for {what}{detail}{extra}")
        time.sleep(interval)


# --------------------------------------------------------------------------
# X11 through libX11 directly: raising the window before a screenshot and the
# window manager's close request. The server has no window manager.

class _ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE = 33

# Other tests' windows come and go on the same display: a window may be gone
# by the time its properties are read. Xlib's default handler would end this
# process on the resulting BadWindow; the failed request's result is
# checked instead.
_ERROR_HANDLER_TYPE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_ignore_x_errors = _ERROR_HANDLER_TYPE(lambda display, event: 0)
_XA_CARDINAL = 6
_ANY_PROPERTY_TYPE = 0


class X11:
    def __init__(self):
        lib = ctypes.util.find_library("X11")
        if not lib:
            raise RuntimeError("libX11 not found")
        x = ctypes.CDLL(lib)
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XQueryTree.restype = ctypes.c_int
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowProperty.restype = ctypes.c_int
        x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                         ctypes.c_long, ctypes.c_long, ctypes.c_int,
                                         ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                         ctypes.POINTER(ctypes.c_int),
                                         ctypes.POINTER(ctypes.c_ulong),
                                         ctypes.POINTER(ctypes.c_ulong),
                                         ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XSendEvent.restype = ctypes.c_int
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.POINTER(_XEvent)]
        x.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XMoveWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XSetErrorHandler.restype = ctypes.c_void_p
        x.XSetErrorHandler.argtypes = [_ERROR_HANDLER_TYPE]
        x.XSetErrorHandler(_ignore_x_errors)
        self._x = x
        self._dpy = x.XOpenDisplay(None)
        if not self._dpy:
            raise RuntimeError(f"cannot open X display {os.environ.get('DISPLAY')!r}")

    def close(self):
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None

    def _atom(self, name):
        return self._x.XInternAtom(self._dpy, name.encode(), False)

    def _property(self, window, name, kind=_ANY_PROPERTY_TYPE):
        """The property's items as (format, bytes), or None if it is not set."""
        actual = ctypes.c_ulong()
        fmt = ctypes.c_int()
        count = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        ok = self._x.XGetWindowProperty(self._dpy, window, self._atom(name), 0, 1024, False, kind,
                                        ctypes.byref(actual), ctypes.byref(fmt),
                                        ctypes.byref(count), ctypes.byref(after),
                                        ctypes.byref(data))
        try:
            if ok != 0 or not data or actual.value == 0:
                return None
            if fmt.value == 32:
                # Format-32 items come back as C longs.
                return fmt.value, [ctypes.cast(data, ctypes.POINTER(ctypes.c_long))[i]
                                   for i in range(count.value)]
            return fmt.value, ctypes.string_at(data, count.value * fmt.value // 8)
        finally:
            if data:
                self._x.XFree(data)

    def _pid_of(self, window):
        prop = self._property(window, "_NET_WM_PID", _XA_CARDINAL)
        return prop[1][0] if prop and prop[0] == 32 and len(prop[1]) == 1 else None

    def title_of(self, window):
        prop = self._property(window, "_NET_WM_NAME")
        return prop[1].decode("utf-8", errors="replace") if prop and prop[0] == 8 else None

    def toplevels_of(self, pid, title):
        """The top-level windows of process pid with that title (GTK's
        group-leader window, titled with the program's name, is left out)."""
        root_ret = ctypes.c_ulong()
        parent = ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        n = ctypes.c_uint()
        root = self._x.XDefaultRootWindow(self._dpy)
        if not self._x.XQueryTree(self._dpy, root, ctypes.byref(root_ret), ctypes.byref(parent),
                                  ctypes.byref(children), ctypes.byref(n)):
            return []
        try:
            windows = [children[i] for i in range(n.value)]
        finally:
            if children:
                self._x.XFree(children)
        return [w for w in windows if self._pid_of(w) == pid and self.title_of(w) == title]

    def raise_window(self, window):
        self._x.XRaiseWindow(self._dpy, window)
        self._x.XSync(self._dpy, False)

    def move_window(self, window, x, y):
        self._x.XMoveWindow(self._dpy, window, x, y)
        self._x.XSync(self._dpy, False)

    def request_close(self, window):
        """Sends WM_PROTOCOLS/WM_DELETE_WINDOW, as a window manager's close does."""
        event = _XEvent()
        event.xclient.type = _CLIENT_MESSAGE
        event.xclient.window = window
        event.xclient.message_type = self._atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = self._atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0  # CurrentTime
        if not self._x.XSendEvent(self._dpy, window, False, 0, ctypes.byref(event)):
            raise RuntimeError("XSendEvent failed")
        self._x.XSync(self._dpy, False)


# --------------------------------------------------------------------------
# A place on the screen of its own for this test's window. Without a window
# manager every window opens at the top left corner, and ctest runs other
# GUI tests on the same display meanwhile; screenshots must show only our
# window. Each test process holds one slot (a lock file per display) for its
# life; the top left corner is left to the other tests.

SLOTS = [(450, 0), (0, 515), (450, 515)]
_slot = None


def screen_slot():
    """The (x, y) of the slot this process holds, taken on first use."""
    global _slot
    if _slot is None:
        display = os.environ.get("DISPLAY", "").replace("/", "_")
        lock_dir = os.path.join(tempfile.gettempdir(), "vellix-e2e-slots")
        os.makedirs(lock_dir, exist_ok=True)

        def take():
            for i, place in enumerate(SLOTS):
                f = open(os.path.join(lock_dir, f"display{display}-slot{i}.lock"), "w")
                try:
                    fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
                    return f, place
                except OSError:
                    f.close()
            return None

        _slot = wait_for(take, "a free place on the screen", deadline=STARTUP_DEADLINE * 3,
                         interval=0.2)
        atexit.register(_slot[0].close)
    return _slot[1]


# --------------------------------------------------------------------------
# Screenshots, read back as RGB rows.

class Shot:
    def __init__(self, x, y, width, height, rgb):
        self.x, self.y, self.width, self.height = x, y, width, height
        self.rgb = rgb

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def count(self, predicate, x0=0, y0=0, x1=None, y1=None):
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        rgb = self.rgb
        n = 0
        for y in range(y0, y1):
            row = 3 * y * self.width
            for x in range(x0, x1):
                i = row + 3 * x
                if predicate(rgb[i], rgb[i + 1], rgb[i + 2]):
                    n += 1
        return n

    def save_png(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8",
                        "rgb:-", path], input=self.rgb, check=True, timeout=30)
        return path


def is_frame_blue(r, g, b):
    """The canvas frame's colour, RGB(0, 0, 0.5)."""
    return r < 30 and g < 30 and 100 <= b <= 155


def is_ink(r, g, b):
    """The strokes' black, including the dark core of anti-aliased lines."""
    return r < 70 and g < 70 and b < 70


def screenshot(x, y, width, height):
    """The screen's pixels in the given rectangle, from the root window."""
    if width <= 0 or height <= 0:
        raise AssertionError(f"empty screenshot area {width}x{height}")
    out = subprocess.run(["import", "-silent", "-window", "root", "-crop",
                          f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    if out.returncode != 0:
        raise AssertionError(f"import failed: {out.stderr.decode(errors='replace')}")
    if len(out.stdout) != 3 * width * height:
        raise AssertionError(
            f"screenshot has {len(out.stdout)} bytes, expected {3 * width * height}")
    return Shot(x, y, width, height, out.stdout)


# --------------------------------------------------------------------------
# The program.

def _clean_env(settings):
    env = {k: v for k, v in os.environ.items() if not k.startswith("VELLIX_SIM_")}
    # The program must talk to the accessibility bus.
    env.pop("NO_AT_BRIDGE", None)
    env.pop("GTK_MODULES", None)
    env["LC_ALL"] = "C.UTF-8"
    env.pop("VELLIX_PROGRAM", None)
    env.update({f"VELLIX_SIM_{k}": str(v) for k, v in settings.items()})
    return env


class _Reader(threading.Thread):
    """Collects one output stream of the program as it comes."""

    def __init__(self, stream):
        super().__init__(daemon=True)
        self._stream = stream
        self._chunks = []
        self._lock = threading.Lock()

    def run(self):
        for chunk in iter(lambda: self._stream.read1(65536), b""):
            with self._lock:
                self._chunks.append(chunk)

    def text(self):
        with self._lock:
            return b"".join(self._chunks).decode("utf-8", errors="replace")


class VellixApp:
    """One run of the program with the given library settings
    (VELLIX_SIM_<key>=<value>)."""

    def __init__(self, **settings):
        require_display()
        use_private_a11y_bus()
        self.proc = subprocess.Popen(_END_WITH_PARENT + [program_path()],
                                     env=_clean_env(settings), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self._out = _Reader(self.proc.stdout)
        self._err = _Reader(self.proc.stderr)
        self._out.start()
        self._err.start()
        self._x11 = None
        self.app = None
        self.frame = None

    # -- output and life ---------------------------------------------------

    @property
    def stdout(self):
        return self._out.text()

    @property
    def stderr(self):
        return self._err.text()

    def describe(self):
        status = self.proc.poll()
        return (f"program {'running' if status is None else f'exited with {status}'}\n"
                f"--- stdout ---\n{self.stdout}--- stderr ---\n{self.stderr[-3000:]}")

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, deadline=EXIT_DEADLINE):
        """Waits for the program to end; returns (status, stdout, stderr)."""
        try:
            status = self.proc.wait(timeout=deadline)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"program did not exit within {deadline:.0f} s\n{self.describe()}")
        self._out.join(deadline)
        self._err.join(deadline)
        return status, self.stdout, self.stderr

    def interrupt(self):
        self.proc.send_signal(signal.SIGINT)

    def kill(self):
        """Ends the program if it still runs and lets go of its pipes and
        the X connection (for tearDown)."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=EXIT_DEADLINE)
        for reader, stream in ((self._out, self.proc.stdout), (self._err, self.proc.stderr)):
            reader.join(EXIT_DEADLINE)
            stream.close()
        if self._x11:
            self._x11.close()
            self._x11 = None

    @property
    def x11(self):
        if self._x11 is None:
            self._x11 = X11()
        return self._x11

    def x_window(self):
        windows = wait_for(lambda: self.x11.toplevels_of(self.proc.pid, TITLE),
                           f"the program's X window titled {TITLE!r}", describe=self.describe)
        if len(windows) != 1:
            raise AssertionError(f"expected one top-level window, found {len(windows)}")
        return windows[0]

    def close_window(self):
        """Asks the window to close, as a window manager's close button does."""
        self.x11.request_close(self.x_window())

    # -- accessibility tree --------------------------------------------------

    def _find_app(self):
        if not self.running():
            raise AssertionError(f"program ended early\n{self.describe()}")
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.proc.pid:
                return app
        return None

    def _showing_frame(self):
        app = self._find_app()
        if app is None:
            return None
        for i in range(app.get_child_count()):
            child = app.get_child_at_index(i)
            if (child is not None and child.get_role() == Atspi.Role.FRAME
                    and has_state(child, Atspi.StateType.SHOWING)):
                self.app = app
                return child
        return None

    def wait_for_window(self):
        """Waits until the program's window is on screen; returns its frame."""
        self.frame = wait_for(self._showing_frame, "the program's window on the accessibility bus",
                              deadline=STARTUP_DEADLINE, interval=0.1, describe=self.describe)
        # Reads go to the program every time, never to a local copy that
        # its change events may not have refreshed yet.
        self.app.set_cache_mask(Atspi.Cache.NONE)
        x, y = screen_slot()
        self.x11.move_window(self.x_window(), x, y)
        wait_for(lambda: self.extents(self.frame)[:2] == (x, y),
                 f"the window to move to {x},{y}", describe=self.describe)
        return self.frame

    def widgets(self, role):
        found = []

        def walk(node):
            for i in range(node.get_child_count()):
                child = node.get_child_at_index(i)
                if child is None:
                    continue
                if child.get_role() == role:
                    found.append(child)
                # The combo's popup menu is not part of the window's controls.
                if child.get_role() not in (Atspi.Role.COMBO_BOX,):
                    walk(child)

        walk(self.frame)
        return found

    def widget(self, role, name=None, startswith=None):
        matches = [w for w in self.widgets(role)
                   if (name is None or w.get_name() == name)
                   and (startswith is None or w.get_name().startswith(startswith))]
        if len(matches) != 1:
            names = [w.get_name() for w in self.widgets(role)]
            raise AssertionError(f"expected one {role.value_nick} named {name or startswith!r}, "
                                 f"found {len(matches)} among {names}\n{self.describe()}")
        return matches[0]

    def button(self, name):
        return self.widget(Atspi.Role.PUSH_BUTTON, name)

    def buttons(self):
        return {b.get_name(): b for b in self.widgets(Atspi.Role.PUSH_BUTTON)}

    def combo(self):
        return self.widget(Atspi.Role.COMBO_BOX)

    def canvas(self):
        return self.widget(Atspi.Role.DRAWING_AREA)

    def label(self, startswith):
        return self.widget(Atspi.Role.LABEL, startswith=startswith)

    def count_label(self):
        return self.label("number of device:")

    def size_label(self):
        return self.label("Device is ")

    # -- actions ---------------------------------------------------------------

    def click(self, name):
        """Clicks the push button with that label through its action."""
        b = self.button(name)
        if not has_state(b, Atspi.StateType.SENSITIVE):
            raise AssertionError(f"button {name!r} is not clickable\n{self.describe()}")
        # A GTK button has one action, "click".
        if b.get_n_actions() < 1:
            raise AssertionError(f"button {name!r} offers no action")
        if not b.do_action(0):
            raise AssertionError(f"click on {name!r} was refused")

    def choose_row(self, index):
        """Makes row index of the provider list the active one."""
        if not self.combo().select_child(index):
            raise AssertionError(f"the provider list refused row {index}")

    def combo_rows(self):
        menu = self.combo().get_child_at_index(0)
        return [menu.get_child_at_index(i).get_name() for i in range(menu.get_child_count())]

    # -- screen ----------------------------------------------------------------

    def extents(self, accessible):
        e = accessible.get_extents(Atspi.CoordType.SCREEN)
        return e.x, e.y, e.width, e.height

    def canvas_shot(self):
        """The canvas as it is on screen, with our window raised first so that
        another test's window cannot cover it."""
        self.x11.raise_window(self.x_window())
        x, y, w, h = self.extents(self.canvas())
        return screenshot(x, y, w, h)

    def window_shot(self):
        self.x11.raise_window(self.x_window())
        x, y, w, h = self.extents(self.frame)
        return screenshot(x, y, w, h)


def has_state(accessible, state):
    return accessible.get_state_set().contains(state)


def save_artifact(shot, name):
    """Keeps a screenshot for a person to look at; returns its path."""
    return shot.save_png(os.path.join(ARTIFACT_DIR, name))


def tools_missing():
    return [t for t in ("import", "convert") if shutil.which(t) is None]
