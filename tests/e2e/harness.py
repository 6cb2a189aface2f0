"""Runs the real installer under Wine for end-to-end tests.

A Session is one private copy of the project's Wine prefix: the installer,
the window probe and any helper program run in it, inside the suite's Xvfb
display, and the copy is removed afterwards. Paths come from the environment
CTest sets: VELMORA_BUILD, VELMORA_SOURCE, VELMORA_SERVER.
"""
import json
import os
import shutil
import subprocess
import tempfile
import time

BUILD = os.environ.get("VELMORA_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
BUILD = os.path.abspath(BUILD)
SOURCE = os.path.abspath(os.environ.get("VELMORA_SOURCE", os.path.join(os.path.dirname(__file__), "..", "..")))
SERVER = os.environ.get("VELMORA_SERVER", "")
SCRIPTS = os.path.join(SOURCE, "scripts")
INSTALLER = os.path.join(BUILD, "VelmoraInstaller.exe")
WINPROBE = os.path.join(BUILD, "tests", "winprobe.exe")

# The installer window's title.
WINDOW_TITLE = "Velmora安装向导"


def server_port():
    return int(SERVER.rsplit(":", 1)[1]) if ":" in SERVER else 80


class Session:
    """A private Wine prefix with helpers to run and inspect programs in it."""

    def __init__(self):
        os.makedirs(os.path.join(BUILD, "wine"), exist_ok=True)
        subprocess.run(["bash", os.path.join(SCRIPTS, "wine-prefix.sh"), os.path.join(BUILD, "wine", "prefix")],
                       check=True)
        self.prefix = tempfile.mkdtemp(prefix="e2e.", dir=os.path.join(BUILD, "wine"))
        subprocess.run(["bash", os.path.join(SCRIPTS, "prefix-copy.sh"),
                        os.path.join(BUILD, "wine", "prefix"), self.prefix], check=True)
        self.procs = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def env(self):
        env = dict(os.environ)
        env["VELMORA_PREFIX"] = self.prefix
        return env

    def start(self, program, *args):
        """Starts a Windows program in the prefix; returns the Popen."""
        p = subprocess.Popen(["bash", os.path.join(SCRIPTS, "wine-run.sh"), BUILD, program, *args],
                             env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def run(self, program, *args, timeout=60):
        """Runs a Windows program to its end; returns (exit code, stdout text)."""
        p = subprocess.run(["bash", os.path.join(SCRIPTS, "wine-run.sh"), BUILD, program, *args],
                           env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        return p.returncode, p.stdout.decode("utf-8", "replace")

    def start_installer(self):
        return self.start(INSTALLER)

    def probe(self, *args, timeout=60):
        return self.run(WINPROBE, *args, timeout=timeout)

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

    def c_drive(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def documents(self, *parts):
        users = self.c_drive("users")
        user = next(u for u in os.listdir(users) if u.lower() != "public")
        return os.path.join(users, user, "Documents", *parts)

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
            p.wait()
            for f in (p.stdout, p.stderr):
                if f:
                    f.close()
        subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": self.prefix},
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.prefix, ignore_errors=True)
