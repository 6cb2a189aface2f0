"""Runs the real installer under Wine for end-to-end tests.

A Session is one private copy of the project's Wine prefix: the installer,
the window probe and any helper program run in it, inside this process's own
Xvfb display, and the copy is removed afterwards. The installer asks a
vendor server port of this process's own (VELMORA_TEST_SERVER), so test
processes run side by side. Paths come from the environment CTest sets:
VELMORA_BUILD, VELMORA_SOURCE, VELMORA_SERVER (the compiled-in server).
"""
import atexit
import ctypes
import glob
import hashlib
import json
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import types
import unittest

BUILD = os.environ.get("VELMORA_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
BUILD = os.path.abspath(BUILD)
SOURCE = os.path.abspath(os.environ.get("VELMORA_SOURCE", os.path.join(os.path.dirname(__file__), "..", "..")))
COMPILED_SERVER = os.environ.get("VELMORA_SERVER", "")


_reserved = []


def reserve(port):
    """Holds port for this process until it ends, so that no other test
    process takes it while this one's servers come and go: bound first
    without SO_REUSEADDR, which fails while another process holds it; then
    marked reusable, so that a server here (with SO_REUSEADDR, as
    socketserver and nginx set it) can still listen on it. Bound but not
    listening, it refuses connections."""
    sock = socket.socket()
    try:
        sock.bind(("127.0.0.1", port))
    except OSError:
        sock.close()
        return False
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    _reserved.append(sock)
    return True


def private_port():
    """A free port on 127.0.0.1 outside the range the system picks the local
    ports of outgoing connections from: a test's servers come and go on it,
    and no connection of another test may take it in between. Where the
    search starts follows the process ID, so test processes started one
    after another try different ports; the port found stays reserved."""
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            low, high = map(int, f.read().split())
    except (OSError, ValueError):
        low, high = 32768, 60999
    start, span = (10000, low - 10000) if low - 10000 >= 1000 else (high + 1, 65535 - high)
    for i in range(span):
        port = start + (os.getpid() * 7 + i) % span
        if reserve(port):
            return port
    raise RuntimeError("no free port outside %d-%d" % (low, high))


# The vendor server this process's installers ask.
SERVER = "127.0.0.1:%d" % private_port()
SCRIPTS = os.path.join(SOURCE, "scripts")
sys.path.insert(0, SCRIPTS)
import pngfile  # noqa: E402
import seats  # noqa: E402
INSTALLER = os.path.join(BUILD, "VelmoraInstaller.exe")
# The executable as the release is built (32-bit, no test seams), kept
# current beside the test build.
RELEASE_INSTALLER = os.path.join(BUILD, "release-size", "VelmoraInstaller.exe")
WINPROBE = os.path.join(BUILD, "tests", "winprobe.exe")
TRUST_CA = os.path.join(BUILD, "tests", "trust_ca.exe")
LIMITED_START = os.path.join(BUILD, "tests", "limited_start.exe")

# Wine's own programs by their full names: a bare name ("reg") is looked up
# through one more program (start.exe /exec).
SYSTEM32 = "C:\\windows\\system32\\"

# The installer's network times in the tests, in percent of the real ones:
# back-offs of 0.1 to 1.6 s, a 3-second receive time-out.
TIME_SCALE = 10

# The installer window's title.
WINDOW_TITLE = "Velmora安装向导"
FAILED_TITLE = "安装失败"
IDCANCEL, IDRETRY = 2, 4  # the failure box's buttons


def resource_ids(path=os.path.join(SOURCE, "res", "resource.h")):
    """{NAME: number} of the header's `#define NAME number` lines."""
    with open(path, encoding="utf-8") as f:
        return {name: int(number) for name, number in re.findall(r"^\s*#define\s+(\w+)\s+(\d+)\b", f.read(), re.M)}


# The installer's resource and control IDs by their names in the header,
# e.g. RES.IDC_BTN_INSTALL: the tests follow the header instead of copies.
RES = types.SimpleNamespace(**resource_ids())


def windows_path(path):
    """A file of this machine as programs in a prefix name it (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def test_arch():
    """The test build's architecture: "i686" or "x86_64"."""
    return seats.wine_setup(BUILD)["arch"]


def prefix_kind():
    """The test prefix's kind: "win32", a 32-bit Windows with one registry
    view, or "win64", a 64-bit Windows, where the shipped 32-bit installer
    runs under WOW64 (VELMORA_PREFIX_KIND; an i686 build runs in either)."""
    return seats.wine_setup(BUILD)["kind"]


def hklm_software(path, view32=True):
    """HKLM\\SOFTWARE\\path as reg.exe in the prefix names it in the registry's
    32-bit view, where the 32-bit setup and installer keep their keys (under
    Wow6432Node in a 64-bit prefix), or with view32 False in the other: a
    64-bit prefix's own, or in a 32-bit one a Wow6432Node branch that a test
    creates as a decoy."""
    wow = (prefix_kind() == "win64") == view32
    return "HKLM\\SOFTWARE\\" + ("Wow6432Node\\" if wow else "") + path


def test_ca_folder():
    """The tests' own certificate authority and server certificates
    (tests/servers/test_ca.py), made on first use for the whole build."""
    sys.path.insert(0, os.path.join(SOURCE, "tests", "servers"))
    import test_ca
    return test_ca.make(os.path.join(BUILD, "tls"))


def server_port():
    return int(SERVER.rsplit(":", 1)[1])


def compiled_server_port():
    """The port of the server built into the installer, which it asks when
    VELMORA_TEST_SERVER is not set."""
    return int(COMPILED_SERVER.rsplit(":", 1)[1]) if ":" in COMPILED_SERVER else 80


_display = None


def display():
    """This process's own Xvfb display (started on first use, ended with the
    process, even when it is killed): the pointer, focus and windows of one
    test are not another's."""
    global _display
    if _display is None:
        read_end, write_end = os.pipe()

        def die_with_parent():
            ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG

        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), *seats.XVFB_ARGS], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
        os.close(write_end)
        number = seats.read_display(read_end)
        if number is None:
            xvfb.kill()
            raise RuntimeError("Xvfb gave no display")
        atexit.register(stop_process, xvfb)
        _display = number
    return _display


# Clean-up that only waits runs in the background while the tests go on;
# the process waits for it before it ends.
_later = []


def later(work):
    t = threading.Thread(target=work)
    t.start()
    _later.append(t)


atexit.register(lambda: [t.join() for t in _later])


# Sessions are borrowed warm (tests/e2e/seats.py) unless VELMORA_SEATS=0.
USE_SEATS = os.environ.get("VELMORA_SEATS", "1") != "0"


class Session:
    """A private Wine prefix with helpers to run and inspect programs in it:
    a warm seat's (seats.py), put back as it was when the session closes, or
    with fresh=True a throw-away copy of the project's prefix whose Wine
    session starts with its first program (for a test of what a session's
    start does, or of what Wine reads only then, such as its drives)."""

    seat = None
    limited_desktop = False  # also for sessions made otherwise (scripts/demo.py)

    def __init__(self, fresh=False, limited_desktop=False):
        """limited_desktop (a fresh session only): the session's desktop is
        brought up by a program with the limited half of the token
        (limited_start.exe), as a person's logon brings it up with UAC on;
        otherwise by an elevated one, as every program Wine starts is."""
        self.seat = None
        self.display = None
        self.limited_desktop = limited_desktop
        if limited_desktop:
            fresh = True
        if USE_SEATS and not fresh:
            self.seat = seats.acquire(BUILD)
            self.prefix, self.display = self.seat.prefix, self.seat.info["display"]
        else:
            seats.make_prefix(BUILD)
            self.prefix = tempfile.mkdtemp(prefix="e2e.", dir=os.path.join(BUILD, "wine"))
            subprocess.run(["bash", os.path.join(SCRIPTS, "prefix-copy.sh"), seats.wine_setup(BUILD)["base"],
                            self.prefix], check=True)
            # The tests that run in the shared prefix leave a support log
            # there; a session starts as a first run does, without one.
            for log in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "Temp",
                                              "VelmoraInstaller*.log")):
                os.remove(log)
        self.procs = []
        self.prober = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def session_env(self):
        """What the session gives its programs: its prefix, the display and
        the vendor server to ask."""
        return {"VELMORA_PREFIX": self.prefix, "VELMORA_DISPLAY": self.display or display(),
                "VELMORA_TEST_SERVER": SERVER}

    def env(self, extra=None):
        """The environment of the session's programs: extra's variables on
        top, a value of None taking a variable out."""
        env = dict(os.environ, **self.session_env())
        env.update(extra or {})
        return {k: v for k, v in env.items() if v is not None}

    def wine(self, program, args, env=None):
        """The command line and environment that run a Windows program in the
        session: Wine's loader started directly (a shell wrapper around each
        program cost the tests more CPU than the installer did), the session's
        server and services brought up first when they are not running."""
        env = self.env(env)
        prefix = env["VELMORA_PREFIX"]
        setup = seats.wine_setup(BUILD)
        wineloader, wineserver = setup["loader"], setup["server"]
        overrides = env.get("VELMORA_DLL_OVERRIDES")
        env.update(WINEPREFIX=prefix, DISPLAY=env["VELMORA_DISPLAY"], WINELOADER=wineloader, WINESERVER=wineserver,
                   WINEDEBUG=env.get("VELMORA_WINEDEBUG", "-all"), LANG="C.UTF-8", LC_ALL="C.UTF-8",
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" + (";" + overrides if overrides else ""))
        if not self.seat:
            # The window probe needs the desktop, which then takes its token.
            first = (LIMITED_START, windows_path(WINPROBE), "count", WINDOW_TITLE) if self.limited_desktop \
                else ("rundll32.exe",)
            seats.warm_up_session(wineloader, wineserver, env, first)
        return [wineloader, program, *args], env

    def start(self, program, *args, env=None):
        """Starts a Windows program in the prefix (env: extra variables, which
        the programs it starts inherit); returns the Popen."""
        argv, env = self.wine(program, args, env)
        p = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def run(self, program, *args, timeout=60, env=None):
        """Runs a Windows program to its end (env: extra variables); returns
        (exit code, stdout text)."""
        argv, env = self.wine(program, args, env)
        p = subprocess.run(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return p.returncode, p.stdout.decode("utf-8", "replace")

    def start_installer(self, env=None, program=INSTALLER):
        """Starts the installer (or program, another build of it); its network
        times run at TIME_SCALE percent unless env sets VELMORA_TIME_SCALE
        itself (100: the real figures)."""
        return self.start(program, env={"VELMORA_TIME_SCALE": str(TIME_SCALE), **(env or {})})

    def staging(self, *parts):
        """The folder the installer downloads the package into and runs it
        from: %ProgramData%\\CorvaneVelmora."""
        return self.c_drive("ProgramData", "CorvaneVelmora", *parts)

    def trust_test_ca(self):
        """Makes the tests' own certificate authority (test_ca) trusted in this
        session's prefix, and only there; True when it is."""
        ca = os.path.join(test_ca_folder(), "ca.der")
        return self.run(TRUST_CA, windows_path(ca))[0] == 0

    def set_winver(self, version):
        """Makes the prefix report another Windows version, e.g. winxp (major
        5; winxp64 in a 64-bit prefix). True when it does."""
        return self.run(SYSTEM32 + "winecfg.exe", "-v", seats.winver(version, BUILD))[0] == 0

    def reg(self, *args):
        """Runs Wine's reg.exe in the prefix: (exit code, output)."""
        return self.run(SYSTEM32 + "reg.exe", *args)

    def reg_value(self, key, name):
        """The data of a registry value as reg.exe prints it, or None."""
        rc, out = self.reg("query", key, "/v", name)
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[0] == name:
                return parts[2]
        return None

    def click(self, target, title=WINDOW_TITLE):
        """Left click by real mouse input: a control ID, or "x,y" in client pixels."""
        return self.probe("click", title, str(target))[0] == 0

    def command(self, control_id, title=WINDOW_TITLE):
        """A button's click sent as WM_COMMAND, as any program may, even to a disabled button."""
        return self.probe("command", title, str(control_id))[0] == 0

    def type_text(self, control_id, text, title=WINDOW_TITLE):
        return self.probe("type", title, str(control_id), text)[0] == 0

    def key(self, vk, title=WINDOW_TITLE):
        return self.probe("key", title, str(vk))[0] == 0

    def wait_visible(self, control_id, visible=True, timeout_ms=20000, title=WINDOW_TITLE):
        return self.probe("waitvis", title, str(control_id), "1" if visible else "0", str(timeout_ms))[0] == 0

    def wait_gone(self, title=WINDOW_TITLE, timeout_ms=20000):
        return self.probe("gone", title, str(timeout_ms))[0] == 0

    def count(self, title=WINDOW_TITLE):
        """How many visible top-level windows have this title."""
        rc, out = self.probe("count", title)
        return int(out) if rc == 0 else 0

    def controls(self, title=WINDOW_TITLE):
        """{control ID: child record} of the window, or {} when it is not there."""
        tree = self.tree(title)
        return {c["id"]: c for c in tree["children"]} if tree else {}

    def probe(self, *args, timeout=60):
        """Runs a window probe command: (exit code, output). One probe
        process serves the whole session (winprobe serve): a seat's own,
        which the tests that borrow it share."""
        if self.seat:
            try:
                return seats.Channel(self.seat.folder, "probe").call(args, timeout)
            except seats.ChannelError:
                # An answer may still come: no later borrower may read it.
                self.seat.dead = True
                raise subprocess.TimeoutExpired(WINPROBE, timeout)
        if self.prober is None or self.prober.poll() is not None:
            argv, env = self.wine(WINPROBE, ["serve"])
            self.prober = subprocess.Popen(argv, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           stderr=subprocess.DEVNULL)
            self.procs.append(self.prober)
        try:
            self.prober.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
            self.prober.stdin.flush()
        except BrokenPipeError:
            return 1, ""
        out, deadline = b"", time.monotonic() + timeout
        while not re.search(rb"\x04(-?\d+)\r?\n", out):
            ready, _, _ = select.select([self.prober.stdout], [], [], max(0, deadline - time.monotonic()))
            if not ready:
                raise subprocess.TimeoutExpired(WINPROBE, timeout)
            chunk = os.read(self.prober.stdout.fileno(), 65536)
            if not chunk:
                return 1, ""  # the session was stopped under it
            out += chunk
        end = re.search(rb"\x04(-?\d+)\r?\n", out)
        return int(end.group(1)), out[:end.start()].decode("utf-8", "replace")

    def lifetime(self, program=INSTALLER, timeout_ms=10000):
        """Starts program from the session's probe and waits for its end:
        (exit code, its own lifetime in seconds), or None when it did not
        end in time. The lifetime is the Windows process's own, so a loaded
        machine's cost of starting a wrapper and Wine is not counted."""
        rc, out = self.probe("lifetime", windows_path(program), str(timeout_ms), timeout=timeout_ms / 1000 + 30)
        if rc != 0:
            return None
        record = json.loads(out)
        return record["exit"], record["ms"] / 1000

    def wait_window(self, title=WINDOW_TITLE, timeout_ms=20000):
        """Seconds until the window was visible, or None."""
        t0 = time.monotonic()
        rc, _ = self.probe("find", title, str(timeout_ms))
        return time.monotonic() - t0 if rc == 0 else None

    def tree(self, title=WINDOW_TITLE):
        rc, out = self.probe("tree", title)
        if rc != 0:
            return None
        data = json.loads(out)
        data["children"] = [c for c in data["children"] if c]
        return data

    def region(self, title=WINDOW_TITLE):
        rc, out = self.probe("region", title)
        return json.loads(out) if rc == 0 else None

    def shot(self, title=WINDOW_TITLE):
        """The window as it is on the screen: an Image."""
        rc, _ = self.probe("shot", title, "C:\\shot.bmp")
        if rc != 0:
            return None
        return read_bmp(self.c_drive("shot.bmp"))

    def shot_showing(self, drawn, timeout=5, title=WINDOW_TITLE):
        """The window once drawn(image) holds, as a page's texts are painted
        a moment after it shows, or as it is after timeout seconds."""
        images = []
        wait_for(lambda: images.append(self.shot(title)) or (images[-1] and drawn(images[-1])), timeout)
        return images[-1]

    def c_drive(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def user_folder(self, *parts):
        """C:\\users\\<user> of the prefix, and parts below it."""
        users = self.c_drive("users")
        user = next(u for u in os.listdir(users) if u.lower() != "public")
        return os.path.join(users, user, *parts)

    def documents(self, *parts):
        return self.user_folder("Documents", *parts)

    def temp(self, *parts):
        """%TEMP% of the prefix's user, and parts below it."""
        return self.user_folder("Temp", *parts)

    def support_log(self):
        return self.temp("VelmoraInstaller.log")

    def support_log_end(self):
        """The support log's last lines, for a failure's message."""
        return read_text(self.support_log())[-1500:]

    def save_registry(self, folder):
        """The registry as the session holds it now, saved into folder as
        Wine's text files: the branches Wine keeps (HKLM\\Software,
        HKLM\\System, HKEY_USERS) through a seat's keeper, or, in a fresh
        session, the prefix's own files once its server has ended and
        written them. Gives their paths."""
        os.makedirs(folder, exist_ok=True)
        if self.seat:
            rc, said = self.seat.command("save", windows_path(folder))
            if rc != 0:
                raise RuntimeError("saving the registry failed: " + said)
        else:
            self.stop()
            for path in glob.glob(os.path.join(self.prefix, "*.reg")):
                shutil.copy(path, folder)
        return [os.path.join(folder, name) for name in os.listdir(folder)]

    def stop(self):
        """Ends every program of the session; the prefix stays."""
        self._end_programs()
        end_wine(self.prefix)
        if self.seat:
            self.seat.dead = True

    def _end_programs(self):
        for p in self.procs:
            if p.stdin:
                p.stdin.close()
            stop_process(p)
            for f in (p.stdout, p.stderr):
                if f:
                    f.close()


    def close(self):
        """Ends the session's programs; the seat is put back, or what is left
        of a fresh session and its prefix copy go, in the background while
        the tests go on."""
        self._end_programs()
        if self.seat:
            later(lambda seat=self.seat: seats.release(seat))
        else:
            later(lambda prefix=self.prefix: (end_wine(prefix), shutil.rmtree(prefix, ignore_errors=True)))


def end_wine(prefix):
    """Ends the Wine session of prefix and waits for it (mostly waiting: the
    server polls for its processes' end)."""
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env={**os.environ, "WINEPREFIX": prefix},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def long_running(test):
    """Marks a test that runs far longer than most (tens of seconds): CTest
    starts it first, so that it does not end the run alone (read by
    tests/CMakeLists.txt, which sees no timings on a fresh build)."""
    return test


def stop_process(p, grace=5):
    """Ends p: SIGTERM first, SIGKILL if it is still there after grace seconds."""
    if p.poll() is None:
        p.terminate()
        try:
            p.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            p.kill()
    p.wait()


def wait_ended(p, seconds):
    """True when p ends within seconds; otherwise stops it and returns False."""
    try:
        p.wait(timeout=seconds)
        return True
    except subprocess.TimeoutExpired:
        stop_process(p)
        return False


def read_text(path):
    """A text file's content, or "" when it is not there (yet)."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def wait_for(predicate, seconds=20):
    """True as soon as predicate() holds, checked every 0.1 s for seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    return bool(predicate())


class TestCase(unittest.TestCase):
    def session(self):
        """A Session closed when the test ends, however it ends."""
        return self.enterContext(Session())

    def start(self, s, env=None, program=INSTALLER):
        """Starts the installer (or program) in s and waits for its window."""
        proc = s.start_installer(env=env, program=program)
        if s.wait_window() is None:
            if proc.poll() is None:
                state = "still running"
            else:
                # What Wine said: an exit before the program's own start writes nothing else.
                said = proc.stderr.read().decode("utf-8", "replace")[-2000:]
                state = "ended with %s; its error output: %r" % (proc.returncode, said)
            self.fail_in(s, "the installer window did not appear (the installer %s)" % state)
        return proc

    def expect_visible(self, s, control_id, msg=None, visible=True, timeout_ms=20000):
        """Waits until the control is shown (or hidden); when it does not
        come, fails with the controls the window shows and how the support
        log ends, so that a failure says where the installer was instead."""
        if s.wait_visible(control_id, visible=visible, timeout_ms=timeout_ms):
            return
        shown = sorted(c["id"] for c in s.controls().values() if c.get("visible"))
        self.fail_in(s, "%scontrol %d not %s in %d ms; the window shows controls %s"
                     % (msg + ": " if msg else "", control_id, "shown" if visible else "hidden", timeout_ms, shown))

    def fail_in(self, s, what):
        """Fails the test with what, and how the support log of s ends: where
        the installer was when the test found it elsewhere."""
        self.fail("%s; the support log ends:\n%s" % (what, s.support_log_end()))

    @staticmethod
    def wait_for(predicate, seconds=20):
        return wait_for(predicate, seconds)

    def assert_ended(self, proc, seconds=20):
        """The installer (proc, from Session.start) ends within seconds; if it
        does not, the test fails and the installer is stopped."""
        if not wait_ended(proc, seconds):
            self.fail("the installer was still running after %s s (now stopped)" % seconds)

    def failure_box(self, s, code, timeout_ms=30000):
        """The install-failed box shows with "错误代码：<code>" and the log's
        path; gives its whole text."""
        if s.wait_window(FAILED_TITLE, timeout_ms) is None:
            self.fail_in(s, "no install-failed box")
        text = "\n".join(c["text"] for c in s.tree(FAILED_TITLE)["children"])
        self.assertIn("\n\n错误代码：%s\n" % code, text)
        self.assertIn("VelmoraInstaller.log", text)
        return text

    def expect_failure_box(self, s, proc, code, timeout_ms=30000):
        """The install-failed box names code; Cancel ends the program."""
        text = self.failure_box(s, code, timeout_ms)
        s.click(IDCANCEL, title=FAILED_TITLE)
        self.assert_ended(proc)
        return text


class Image:
    """width x height pixels read from the bytes they came in: at(x, y) is
    an (r, g, b, a) tuple, rows top-down. Nothing is decoded ahead: a
    screenshot is looked at in a few places, and decoding all of its pixels
    into tuples cost a test more than its installer did."""

    def __init__(self, width, height, data, offset, stride, channels, bottom_up=False, bgr=False):
        self.width, self.height = width, height
        self._data, self._offset, self._stride, self._channels = data, offset, stride, channels
        self._bottom_up, self._bgr = bottom_up, bgr

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError("pixel %d,%d outside %dx%d" % (x, y, self.width, self.height))
        row = self.height - 1 - y if self._bottom_up else y
        i = self._offset + row * self._stride + x * self._channels
        d = self._data
        if self._bgr:
            return d[i + 2], d[i + 1], d[i], 255
        return d[i], d[i + 1], d[i + 2], d[i + 3] if self._channels == 4 else 255

    def _row(self, y):
        row = self.height - 1 - y if self._bottom_up else y
        start = self._offset + row * self._stride
        return self._data[start:start + self.width * self._channels]

    def rgb_row(self, y, left=0, right=None):
        """Row y's bytes from left to right, red, green and blue per pixel."""
        right = self.width if right is None else right
        ch = self._channels
        line = self._row(y)[left * ch:right * ch]
        if self._bgr:
            rgb = bytearray(len(line))
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]
        elif ch == 4:
            rgb = bytearray((right - left) * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[0::4], line[1::4], line[2::4]
        else:
            rgb = line
        return bytes(rgb)

    def rgb_rows(self):
        """Each row's bytes, red, green and blue per pixel."""
        return [self.rgb_row(y) for y in range(self.height)]

    def differing(self, other, box=None, tolerance=0):
        """(x, y) of the pixels in box (left, top, right, bottom; the whole
        image by default) whose red, green or blue differs from other's by
        more than tolerance: rows compared whole first, pixel by pixel only
        where they differ."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        out = []
        for y in range(top, bottom):
            mine, theirs = self.rgb_row(y, left, right), other.rgb_row(y, left, right)
            if mine == theirs:
                continue
            out += [(left + x, y) for x in range(right - left)
                    if max(abs(mine[i] - theirs[i]) for i in range(3 * x, 3 * x + 3)) > tolerance]
        return out

    def ink(self, box, ground, threshold):
        """(rows, columns) of the pixels in box (left, top, right, bottom)
        that differ from the colour ground by more than threshold in a
        channel, or None when none does. Row by row on the bytes: a text box
        at 192 DPI has a hundred thousand pixels, and the tests look at
        them again after every screenshot."""
        left, top, right, bottom = box
        order = (2, 1, 0) if self._bgr else (0, 1, 2)
        tables = [bytes(1 if abs(v - ground[c]) > threshold else 0 for v in range(256)) for c in range(3)]
        rows, columns = set(), set()
        ch = self._channels
        for y in range(top, bottom):
            segment = self._row(y)[left * ch:right * ch]
            for c in range(3):
                marks = segment[order[c]::ch].translate(tables[c])
                x = marks.find(1)
                while x >= 0:
                    rows.add(y)
                    columns.add(left + x)
                    x = marks.find(1, x + 1)
        return (rows, columns) if rows else None


def read_bmp(path):
    """A 24-bit bottom-up BMP as an Image (alpha 255)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    return Image(width, height, data, offset, (width * 3 + 3) & ~3, 3, bottom_up=True, bgr=True)


def read_png(path):
    """An 8-bit RGB or RGBA non-interlaced PNG as an Image. The unfiltered
    pixels are kept in the build, by the file's hash: unfiltering in Python
    takes about a second per skin image, and many tests read the same ones."""
    with open(path, "rb") as f:
        data = f.read()
    cache = os.path.join(BUILD, "tests", "png-pixels", hashlib.sha256(data).hexdigest())
    try:
        with open(cache, "rb") as f:
            header, pixels = f.read(13), f.read()
    except OSError:
        header, rows = pngfile.pixels(data)
        pixels = b"".join(rows)
        os.makedirs(os.path.dirname(cache), exist_ok=True)
        with tempfile.NamedTemporaryFile(dir=os.path.dirname(cache), delete=False) as f:
            f.write(header + pixels)
        os.replace(f.name, cache)
    width, height, _, color = struct.unpack(">IIBB", header[:10])
    if color not in (2, 6):
        raise ValueError("unsupported PNG %s" % path)
    channels = 4 if color == 6 else 3
    return Image(width, height, pixels, 0, width * channels, channels)


def write_png(image, path):
    """Saves an Image as an 8-bit RGB PNG (for review artifacts)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(pngfile.write_rgb(image.width, image.height, image.rgb_rows()))
