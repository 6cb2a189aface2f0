"""Runs the installer under Wine against the bundled local vendor server.

nginx serves the local vendor site (manifest, stand-in setup package,
licence page) on the port compiled into the build, and the real installer
runs in a demo copy of the project's prefix (BUILD/wine/demo, kept
afterwards so what was installed can be looked at).

With a usable X display the person clicks through the installer. Without
one the demo drives a full install in its own Xvfb display: options page,
start-at-logon ticked, Install, progress, finish page, Finish; it saves a
screenshot of each page to out/demo/, then one of the options page at 144
DPI (150 %), and prints what was installed.

Usage: demo.py BUILD_DIR
"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
os.environ["VELMORA_BUILD"] = BUILD
os.environ["VELMORA_SOURCE"] = SOURCE
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "servers"))

import harness  # noqa: E402
import nginx_server  # noqa: E402
import vendor  # noqa: E402

OUT = os.path.join(SOURCE, "out", "demo")
SCRIPTS = os.path.join(SOURCE, "scripts")
TITLE = harness.WINDOW_TITLE
INSTALL_DIR = "C:\\velmora"
# The key the installer writes the start-at-logon value to: the 32-bit
# view's, as the demo prefix names it (under Wow6432Node in a 64-bit one).
RUN_KEY = harness.hklm_software("Microsoft\\Windows\\CurrentVersion\\Run")

# The stand-in setup takes a few seconds, as a real one does, so that the
# progress page stays in view.
STANDIN_ENV = {"VELMORA_STANDIN_DELAY_MS": "4000"}

# Control IDs of the installer dialog, from res/resource.h.
RES = harness.RES


class DemoError(Exception):
    pass


class DemoSession(harness.Session):
    """The demo prefix BUILD/wine/demo: a fresh copy of the project's prefix
    made at start, left in place at the end."""

    def __init__(self, display, extra_env=None):
        os.makedirs(os.path.join(BUILD, "wine"), exist_ok=True)
        base = os.path.join(BUILD, "wine", "prefix")
        subprocess.run(["bash", os.path.join(SCRIPTS, "wine-prefix.sh"), BUILD], check=True)
        self.prefix = os.path.join(BUILD, "wine", "demo")
        harness.end_wine(self.prefix)
        subprocess.run(["bash", os.path.join(SCRIPTS, "prefix-copy.sh"), base, self.prefix], check=True)
        self.procs = []
        self.prober = None
        self.installer = None
        self.display = display
        self.extra_env = extra_env or {}

    def session_env(self):
        # The installer asks the server built into it, which the demo's
        # nginx serves.
        return {"VELMORA_PREFIX": self.prefix, "VELMORA_DISPLAY": self.display, "VELMORA_TEST_SERVER": None,
                **self.extra_env}

    def close(self):
        self.stop()  # the demo prefix stays, to look at what was installed

    def step(self, what, *probe_args, timeout=90):
        rc, out = self.probe(*probe_args, timeout=timeout)
        if rc != 0:
            state = ""
            if self.installer and self.installer.poll() is not None:
                state = "; the installer had ended with exit code %d" % self.installer.returncode
            raise DemoError("%s (winprobe %s: exit code %d%s)" % (what, probe_args[0], rc, state))
        return out

    def reg_query(self, key, value):
        """The data of a registry value, or None."""
        rc, out = self.run(harness.SYSTEM32 + "reg.exe", "query", key, "/v", value)
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0] == value:
                return parts[2].strip()
        return None


def screenshot(s, name):
    bmp = "demo-%s.bmp" % name
    s.step("screenshot of the %s page failed" % name, "shot", TITLE, "C:\\" + bmp)
    png = os.path.join(OUT, name + ".png")
    subprocess.run(["/usr/bin/convert", s.c_drive(bmp), png], check=True)
    os.remove(s.c_drive(bmp))
    return png


def visible(s, control_id):
    tree = s.tree()
    return bool(tree) and any(c["id"] == control_id and c["visible"] for c in tree["children"])


def drive(s):
    """A full install by mouse input; returns the screenshots."""
    proc = s.installer = s.start_installer()
    s.step("the installer window did not appear", "find", TITLE, "30000")
    time.sleep(1)  # let the skinned controls paint
    shots = [screenshot(s, "options")]

    s.step("clicking 开机启动Velmora failed", "click", TITLE, str(RES.IDC_CHK_AUTORUN))
    time.sleep(0.3)
    s.step("clicking Install failed", "click", TITLE, str(RES.IDC_BTN_INSTALL))
    s.step("the progress page did not appear after Install", "waitvis", TITLE, str(RES.IDC_PROGRESS), "1", "20000")

    # The percent text goes away when the setup starts (the status line is
    # drawn by the control itself, so its new text cannot be read back). The
    # stand-in setup is slowed down so that the page can be captured meanwhile.
    s.step("the setup did not start", "waitvis", TITLE, str(RES.IDC_STATIC_PERCENT), "0", "60000")
    time.sleep(2.5)  # a few one-second steps of the simulated setup progress
    shots.append(screenshot(s, "progress"))
    if visible(s, RES.IDC_BTN_FINISH):
        raise DemoError("the setup ended before its progress could be captured")

    s.step("the finish page did not appear", "waitvis", TITLE, str(RES.IDC_BTN_FINISH), "1", "60000")
    time.sleep(0.5)
    shots.append(screenshot(s, "finish"))

    s.step("clicking Finish failed", "click", TITLE, str(RES.IDC_BTN_FINISH))
    s.step("the installer window did not close after Finish", "gone", TITLE, "30000")
    try:
        proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        raise DemoError("the installer did not end after Finish")
    if proc.returncode != 0:
        raise DemoError("the installer ended with exit code %d" % proc.returncode)
    return shots


# Where Wine 8 reads the DPI a program starts with (falling back to
# LogPixels under HKEY_CURRENT_CONFIG\Software\Fonts).
DPI_KEY = r"HKCU\Control Panel\Desktop"


def options_at(s, dpi):
    """A screenshot of the options page at dpi; the prefix is set back to
    96 DPI afterwards."""
    s.run(harness.SYSTEM32 + "reg.exe", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    try:
        proc = s.installer = s.start_installer()
        s.step("the installer window did not appear at %d DPI" % dpi, "find", TITLE, "30000")
        time.sleep(1)  # let the skinned controls paint
        png = screenshot(s, "options-%ddpi" % dpi)
        s.step("closing the installer failed", "close", TITLE)
        proc.wait(timeout=30)
        with open(png, "rb") as f:
            width, height = struct.unpack(">II", f.read(24)[16:24])
        expected = ((622 * dpi + 48) // 96, (422 * dpi + 48) // 96)
        if (width, height) != expected:
            raise DemoError("the window at %d DPI is %dx%d, not %dx%d" % ((dpi, width, height) + expected))
    finally:
        s.run(harness.SYSTEM32 + "reg.exe", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f")
    return png


def report(s, shots):
    folder = s.c_drive("velmora")
    launcher_log = os.path.join(folder, "vlLauncher.log")
    deadline = time.monotonic() + 15  # the launcher is started as Finish closes the window
    while not os.path.exists(launcher_log) and time.monotonic() < deadline:
        time.sleep(0.2)
    if not os.path.isdir(folder):
        raise DemoError("nothing was installed: %s does not exist" % folder)

    print("demo: screenshots:")
    for png in shots:
        print("  " + png)
    print("demo: installed into %s (%s):" % (INSTALL_DIR, folder))
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(root, name)
            rel = os.path.relpath(path, folder)
            print("  %s\\%-28s %8d bytes" % (INSTALL_DIR, rel.replace("/", "\\"), os.path.getsize(path)))
    run_value = s.reg_query(RUN_KEY, "Velmora")
    print("demo: Run value %s\\Velmora: %s" % (RUN_KEY, run_value if run_value is not None else "(none)"))
    ini = os.path.join(folder, "config", "config.ini")
    if os.path.exists(ini):
        with open(ini, "rb") as f:
            text = f.read().decode("utf-8", "replace").replace("\r\n", "\n").rstrip("\n")
        print("demo: %s\\config\\config.ini:" % INSTALL_DIR)
        for line in text.split("\n"):
            print("  " + line)
    started = None
    if os.path.exists(launcher_log):
        with open(launcher_log, "rb") as f:
            started = f.read().decode("utf-8", "replace").strip()
    print("demo: launcher started: %s" % ("yes (vlLauncher.log: %s)" % started if started else "no"))

    missing = []
    if not os.path.exists(os.path.join(folder, "vlLauncher.exe")):
        missing.append("vlLauncher.exe was not installed")
    if run_value is None:
        missing.append("the Run value Velmora was not written")
    if not started:
        missing.append("the launcher was not started by Finish")
    if missing:
        raise DemoError("; ".join(missing))


def port_free(port):
    with socket.socket() as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind(("127.0.0.1", port))
            sock.listen()
        except OSError:
            return False
    return True


def display_usable():
    display = os.environ.get("DISPLAY")
    if not display:
        return None
    ok = subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
    return display if ok else None


def main():
    for exe in (harness.INSTALLER, harness.WINPROBE, vendor.STANDIN_SETUP):
        if not os.path.exists(exe):
            raise DemoError("%s is missing: build first (make build)" % exe)
    with open(os.path.join(BUILD, ".server_port")) as f:
        port = int(f.read().strip())

    site = os.path.join(BUILD, "demo-site")
    shutil.rmtree(site, ignore_errors=True)
    vendor.make_site(site, port)
    server = nginx_server.NginxServer(site, os.path.join(BUILD, "demo-nginx"), port)
    xvfb_state = os.path.join(BUILD, "xvfb.demo")
    own_display = None
    s = None
    try:
        # Another program listening on the port would answer nginx's
        # readiness check while nginx itself fails to bind.
        if not port_free(port):
            raise DemoError("port %d, compiled into the build, is in use by another program; "
                            "stop it or reconfigure (make build picks a free port)" % port)
        try:
            server.start()
        except RuntimeError as e:
            raise DemoError("the local vendor server did not start on 127.0.0.1:%d: %s" % (port, e))
        print("demo: local vendor server on http://127.0.0.1:%d/ serving %s" % (port, site))

        display = display_usable()
        if display:
            s = DemoSession(display, STANDIN_ENV)
            print("demo: the installer opens on %s; close it or click through to end the demo." % display)
            rc = subprocess.run(["bash", os.path.join(SCRIPTS, "wine-run.sh"), BUILD, harness.INSTALLER],
                                env=s.env()).returncode
            print("demo: the installer ended with exit code %d (prefix: %s)" % (rc, s.prefix))
            return 0

        subprocess.run(["bash", os.path.join(SCRIPTS, "xvfb.sh"), "start", xvfb_state], check=True)
        with open(xvfb_state) as f:
            own_display = f.read().split()[0]
        print("demo: no usable display; driving the installer in Xvfb %s" % own_display)
        s = DemoSession(own_display, STANDIN_ENV)
        os.makedirs(OUT, exist_ok=True)
        shots = drive(s)
        shots.append(options_at(s, 144))
        report(s, shots)
        print("demo: done")
        return 0
    finally:
        if s:
            s.close()
        server.stop()
        if own_display:
            subprocess.run(["bash", os.path.join(SCRIPTS, "xvfb.sh"), "stop", xvfb_state])


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (DemoError, subprocess.CalledProcessError, subprocess.TimeoutExpired, OSError) as e:
        print("demo: FAILED: %s" % e, file=sys.stderr)
        sys.exit(1)
