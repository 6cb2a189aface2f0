"""What the person sees and gets back during an install, from end to end:
the download's speed and time left, the progress and finish pages read back
from the screen, the failure box for each cause with Retry and Cancel, the
disk check before the download, and the support log in %TEMP%. The real
executable under Wine against the fault server on the vendor port, its
network times at harness.TIME_SCALE percent."""
import collections
import contextlib
import datetime
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import types
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402

PORT = harness.server_port()
ARTIFACTS = os.path.join(harness.BUILD, "artifacts", "e2e")
KiB, MiB = 1024, 1024 * 1024
ETAG = "9d2e-velmora"
STANDIN_LOG = "velmora-standin.log"
POLICIES_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System"

DOWNLOADING = "正在下载Velmora游戏平台..."
RETRYING = "网络连接不稳定，正在重试..."
INSTALLING = "正在安装Velmora游戏平台..."
STATUS = re.compile(r"正在下载Velmora游戏平台\.\.\."
                    r"  (?:(\d+) KB/s|(\d+)\.(\d) MB/s)(?:  剩余 (.*))?\Z")
TIME_LEFT = (re.compile(r"(\d+) 秒\Z"), re.compile(r"(\d+) 分 (\d\d) 秒\Z"), re.compile(r"(\d+) 小时 (\d\d) 分\Z"))
LOG_LINE = re.compile(r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (.*)\Z")


def package_of(size):
    """The stand-in setup padded with zeros to size bytes: it still runs."""
    package = vendor.package_bytes()
    return package + bytes(size - len(package))


def package_requests(server):
    return [h for h in server.requests() if h.startswith(b"GET " + vendor.PACKAGE_PATH.encode() + b" ")]


def manifest_requests(server):
    return [h for h in server.requests() if h.startswith(b"GET " + vendor.MANIFEST_PATH.encode() + b"?")]


def parse_status(text):
    """(bytes per second shown, seconds left shown or None, unit) of a status
    with a speed, or None for one without."""
    m = STATUS.match(text)
    if not m:
        return None
    kb, mb, tenth, left = m.groups()
    rate = int(kb) * KiB if kb else (int(mb) * 10 + int(tenth)) * MiB // 10
    seconds = None
    if left is not None:
        for form, pattern in enumerate(TIME_LEFT):
            t = pattern.match(left)
            if t:
                a, b = (int(x) for x in (t.groups() + ("0",))[:2])
                seconds = (a, a * 60 + b, a * 3600 + b * 60)[form]
                break
        else:
            raise AssertionError("time left in no known form: %r" % text)
    return rate, seconds, "KB/s" if kb else "MB/s"


# The skin's art: a pixel of a screenshot that differs from it was drawn by a control.
BACKGROUND = harness.read_png(os.path.join(harness.SOURCE, "res", "png", "background.png"))


def ink(image, left, top, right, bottom):
    """{(x, y): rgb} of the pixels in the box (inclusive) that differ from the art."""
    return {(x, y): image.at(x, y)[:3] for x, y in image.differing(BACKGROUND, (left, top, right + 1, bottom + 1))}


def extent(pixels):
    xs, ys = [x for x, _ in pixels], [y for _, y in pixels]
    return min(xs), min(ys), max(xs), max(ys)


class Tmpfs:
    """A tmpfs of a given size mounted over a folder, what was there copied
    in, so that a Windows volume runs out of room; unmounted on close."""

    def __init__(self, path, size_mb):
        self.path = path
        os.makedirs(path, exist_ok=True)
        saved = tempfile.mkdtemp()
        shutil.copytree(path, saved, dirs_exist_ok=True)
        self.mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % size_mb, "tmpfs", path],
                                      stderr=subprocess.PIPE).returncode == 0
        if self.mounted:
            shutil.copytree(saved, path, dirs_exist_ok=True)
        shutil.rmtree(saved, ignore_errors=True)

    def resize(self, size_mb):
        subprocess.run(["mount", "-o", "remount,size=%dm" % size_mb, self.path], check=True)

    def free_mb(self):
        st = os.statvfs(self.path)
        return st.f_bavail * st.f_frsize // MiB

    def close(self):
        # Lazily: Wine may still hold a folder of it open.
        if self.mounted:
            subprocess.run(["umount", "-l", self.path])
            self.mounted = False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# A failure-box case: how the fault is made (arrange) and taken away
# (clear), each given the row's context; the cause line's words (a text, or
# a function of the context giving one); the package requests made before
# the box; what Retry asks the server for: "fresh" (the whole package),
# "held" (nothing: the checked package was kept) or a number (a Range
# request from that byte on: the partial file resumes); whether Retry asks
# for the manifest again; whether the row ends with Retry or Cancel; and
# whether it needs a fresh Wine session (a drive added to the prefix is
# seen by a session started after it).
FailureRow = collections.namedtuple(
    "FailureRow", "name code words arrange clear requests_before retry manifest_again end fresh",
    defaults=(False, "retry", False))


class UserSideTest(harness.TestCase):
    def assert_log_lines(self, text, since):
        """Every line of the support log has its local time in front, from
        since to now, in order; gives the lines without it."""
        lines, last = [], since - datetime.timedelta(seconds=2)
        for line in text.splitlines():
            m = LOG_LINE.match(line)
            self.assertIsNotNone(m, "line without its time: %r" % line)
            stamp = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f")
            self.assertGreaterEqual(stamp, last, line)
            self.assertLessEqual(stamp, datetime.datetime.now() + datetime.timedelta(seconds=2), line)
            last = stamp
            lines.append(m.group(2))
        return lines

    def check_page(self, image, controls, labels, region):
        """Each label's text stands on one line inside its box and nothing else
        is drawn in region. labels: (control ID, font height, box of its text
        (left, top, right, bottom) in client pixels); controls: the window's
        controls when image was taken."""
        drawn = ink(image, *region)
        for control_id, font_height, box in labels:
            rect = controls[control_id]["rect"]
            self.assertEqual([box[0], box[1], box[2] + 1], rect[:3], "label %d in place" % control_id)
            # A label grows by a line for each line its text wraps to.
            self.assertLess(rect[3] - rect[1], 2 * font_height, "label %d: one line" % control_id)
            own = {p: c for p, c in drawn.items() if box[0] <= p[0] <= box[2] and box[1] <= p[1] <= box[3]}
            self.assertTrue(own, "label %d drew nothing" % control_id)
            _, top, right, bottom = extent(own)
            self.assertLessEqual(bottom - top + 1, font_height, "label %d: one line's height" % control_id)
            self.assertLess(right, box[2], "label %d: cut off at its right edge" % control_id)
            for p in own:
                del drawn[p]
        self.assertEqual([], sorted(drawn)[:20], "text outside the labels' boxes")

    # ---------------------------------------------------------------------

    @harness.long_running
    def test_download_speed_and_time_left_progress_and_finish_pages_and_the_support_log(self):
        # One download over three connections, each slower or faster than the
        # one before and the first two cut off: a crawl (hours left), a slow
        # line (minutes), a fast one (seconds).
        total = 40 * MiB
        phases = (  # (bytes of the connection, throttle)
            (56 * KiB, (1024, 0.1)),
            (11 * MiB // 4, (65536, 0.125)),
            (None, (196608, 0.03125)))
        package = package_of(total)
        cuts = [phases[0][0], phases[0][0] + phases[1][0], total]
        started = datetime.datetime.now()
        t_server = time.monotonic()
        server = self.enterContext(FaultServer(PORT))
        vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT), package=package))
        server.script(vendor.PACKAGE_PATH, body=package, etag=ETAG, throttle=phases[2][1])
        for size, throttle in phases[:2]:
            server.script(vendor.PACKAGE_PATH, once=True, body=package, etag=ETAG, throttle=throttle,
                          drop_after=size)
        s = self.session()
        folder = "C:\\游戏\\Velmora"  # the log is UTF-8
        proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "2500"})
        s.type_text(RES.IDC_EDIT_INSTALL_DIR, folder)
        self.assertTrue(self.wait_for(lambda: s.controls()[RES.IDC_EDIT_INSTALL_DIR]["text"] == folder, 5))
        s.click(RES.IDC_CHK_AUTORUN)
        s.click(RES.IDC_BTN_INSTALL)
        t_click = time.monotonic()
        partial = s.staging(vendor.partial_name(package))

        readings, shots = [], {}  # readings: (seconds since the click, status, partial file size)
        while time.monotonic() - t_click < 60:
            c = s.controls()
            t = time.monotonic() - t_click
            size = os.path.getsize(partial) if os.path.exists(partial) else None
            if c[RES.IDC_BTN_FINISH]["visible"]:
                break
            status = c[RES.IDC_STATIC_STATUS]["text"]
            readings.append((t, status, size))
            parsed = parse_status(status)
            if "progress" not in shots and parsed and size is not None and size < cuts[0]:
                shots["progress"] = (s.shot(), s.controls())
            if "setup" not in shots and status == INSTALLING:
                shots["setup"] = (s.shot(), s.controls())
            time.sleep(0.25)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "finish page", timeout_ms=20000)
        title_box, hint_box = (23, 283, 442, 308), (23, 320, 442, 341)
        finish = s.shot_showing(lambda image: ink(image, *title_box) and ink(image, *hint_box))

        # Right after Install there is no figure yet, nor in the first 2 s of
        # each connection: the meter starts afresh after a retry.
        self.assertEqual(DOWNLOADING, readings[0][1])
        starts = [t + t_server - t_click for t, head in zip(server.times(), server.requests())
                  if head in package_requests(server)]
        self.assertEqual(3, len(starts))
        for t, status, _ in readings:
            if any(0 <= t - start < 1.8 for start in [0.0] + starts):
                self.assertIn(status, (DOWNLOADING, RETRYING), "at %.1f s" % t)
            self.assertTrue(status in (DOWNLOADING, RETRYING, INSTALLING) or parse_status(status), status)

        # Each figure within 30 % of the rate the partial file grew at on its
        # connection, in the unit it calls for; the time left that rate's.
        for phase in range(3):
            low, high = ([0] + cuts)[phase], cuts[phase]
            inside = [(t, size) for t, _, size in readings if size is not None and low < size < high]
            self.assertGreaterEqual(len(inside), 2, "connection %d sampled" % (phase + 1))
            (t0, b0), (t1, b1) = inside[0], inside[-1]
            self.assertGreater(t1 - t0, 1.5, "connection %d sampled long enough" % (phase + 1))
            real = (b1 - b0) / (t1 - t0)
            shown = [(parse_status(status), size) for _, status, size in readings
                     if parse_status(status) and size is not None and low < size <= high]
            self.assertTrue(shown, "no speed shown on connection %d (%s)" % (phase + 1, [r[1] for r in readings]))
            forms = set()
            for (rate, seconds, unit), size in shown:
                with self.subTest(connection=phase + 1, rate=rate, seconds=seconds):
                    self.assertLess(abs(rate - real), 0.3 * real, "shown %d B/s, real %d B/s" % (rate, real))
                    self.assertEqual("KB/s" if rate < MiB else "MB/s", unit)
                    self.assertIsNotNone(seconds, "time left shown with the speed")
                    expected = (total - size) / real
                    self.assertTrue(expected / 2 - 2 <= seconds <= expected * 2 + 2,
                                    "%d s left shown, %d s at the real rate" % (seconds, expected))
                    forms.add(3 if seconds >= 3600 else 2 if seconds >= 60 else 1)
            self.assertIn(3 - phase, forms, "connection %d shows its time left in its own form" % (phase + 1))

        # The pages read back from the screen: each text on one line in its
        # own box, nothing overlapping.
        finish = (finish, s.controls())
        status_box, percent_box, below_bar = (23, 350, 539, 369), (570, 350, 619, 369), (0, 342, 621, 421)
        pages = (("download-status", shots.get("progress"), ((RES.IDC_STATIC_STATUS, 22, status_box),
                                                             (RES.IDC_STATIC_PERCENT, 22, percent_box)), below_bar),
                 ("setup-status", shots.get("setup"), ((RES.IDC_STATIC_STATUS, 22, status_box),), below_bar),
                 ("finish-page", finish, ((RES.IDC_STATIC_DONE_TITLE, 26, title_box),
                                          (RES.IDC_STATIC_DONE_HINT, 20, hint_box)), (0, 262, 459, 372)))
        for name, shot, labels, region in pages:
            with self.subTest(page=name):
                self.assertIsNotNone(shot, "no screenshot of the %s" % name)
                harness.write_png(shot[0], os.path.join(ARTIFACTS, "user-side-%s.png" % name))
                self.check_page(shot[0], shot[1], labels, region)
        self.assertTrue(any(max(c) < 60 for c in ink(finish[0], *title_box).values()), "the title is black")
        self.assertFalse(any(max(c) < 150 for c in ink(finish[0], *hint_box).values()), "the hint is grey")

        s.key("18+115")  # Alt+F4 on the finish page
        self.assert_ended(proc)
        self.assertTrue(self.wait_for(lambda: "start at logon" in harness.read_text(s.support_log()), 10))

        # The support log tells the run's story, a line for each step.
        with open(s.support_log(), encoding="utf-8") as f:  # strict: UTF-8 throughout
            lines = self.assert_log_lines(f.read(), started)
        story = "\n".join(lines)
        expected = [
            r"Velmora installer \d+\.\d+\.\d+ on Windows \d+\.\d+\.\d+ .*, reported to it as \d+\.\d+\.\d+, "
            r"server 127\.0\.0\.1:%d" % PORT,
            r"manifest: %s, size %d, sha256 given" % (re.escape(vendor.package_url(PORT)), total),
            r"install: into %s, start at logon on" % re.escape(folder),
            r"download attempt 1: status 200, from byte 0, %d bytes in \d+ ms \(\d+ KB/s\): transient fault" % cuts[0],
            r"download attempt 2: status 206, from byte %d, %d bytes in \d+ ms \(\d+ KB/s\): transient fault"
            % (cuts[0], cuts[1] - cuts[0]),
            r"download attempt 3: status 206, from byte %d, %d bytes in \d+ ms \(\d+ KB/s\): done"
            % (cuts[1], total - cuts[1]),
            r"verify: C:\\ProgramData\\CorvaneVelmora\\velmora-[0-9a-f]{16}\.exe matches the manifest",
            r'setup: open C:\\ProgramData\\CorvaneVelmora\\velmora-[0-9a-f]{16}\.exe /DIR="%s\\" /verysilent '
            r"/norestart" % re.escape(folder),
            r"setup: exit code 0\b",
            r"taskbar: the shortcut stays",
            r"start at logon: Run value %s\\vlLauncher\.exe, client setting on" % re.escape(folder),
        ]
        at = 0
        for pattern in expected:
            found = next((i for i in range(at, len(lines)) if re.match(pattern, lines[i])), None)
            self.assertIsNotNone(found, "no line %r after line %d in:\n%s" % (pattern, at, story))
            at = found + 1
        self.assertIn("AutoRun=1", harness.read_text(s.c_drive("游戏", "Velmora", "config", "config.ini")))
        self.assertIn("dir %s\\" % folder, harness.read_text(s.c_drive(STANDIN_LOG)))

    def test_support_log_starts_a_new_file_once_past_1_mb(self):
        s = self.session()
        log, old = s.support_log(), os.path.join(s.temp(), "VelmoraInstaller.old.log")
        line = "2020-01-01 00:00:00.000 an earlier run".ljust(62, ".") + "\r\n"
        with open(log, "w", encoding="utf-8", newline="") as f:
            f.write(line * (MiB // len(line)))  # 1 MB exactly
        with open(old, "w", encoding="utf-8") as f:
            f.write("the run before that\n")
        started = datetime.datetime.now()
        for rotated in (False, True):
            with self.subTest(rotated=rotated):
                with open(log, "rb") as f:
                    before = f.read()
                proc = self.start(s)
                s.probe("close", harness.WINDOW_TITLE)
                self.assert_ended(proc)
                with open(log, "rb") as f:
                    after = f.read()
                with open(old, "rb") as f:
                    kept = f.read()
                if rotated:
                    self.assertEqual(before, kept, "the full log is kept as the old one")
                    new = after
                else:
                    self.assertEqual(b"the run before that\n", kept)
                    self.assertEqual(before, after[:len(before)], "appended to")
                    new = after[len(before):]
                lines = self.assert_log_lines(new.decode("utf-8"), started)
                self.assertRegex(lines[0], r"Velmora installer \d+\.\d+\.\d+ on Windows ")
        self.assertGreater(len(before), MiB)

    @harness.long_running
    def test_failure_box_for_each_cause_then_retry_or_cancel(self):
        package = vendor.package_bytes()
        cut = 150000  # bytes each dropped connection brings
        # Same size, other bytes; still starting as a Windows program does.
        altered = package[:64] + bytes(b ^ 0xFF for b in package[64:128]) + package[128:]

        def site(c, **manifest_result):
            c.server = c.stack.enter_context(FaultServer(PORT))
            vendor.serve_manifest(c.server, vendor.manifest(vendor.package_url(PORT), package=package,
                                                            **manifest_result))
            c.server.script(vendor.PACKAGE_PATH, body=package, etag=ETAG)

        def serve(c, **reply):
            c.server.script(vendor.PACKAGE_PATH, **dict(dict(body=package, etag=ETAG), **reply))

        def manifest(c, **reply):
            vendor.serve_manifest(c.server, **reply)

        def small_staging(c):
            # C:\ProgramData on a tmpfs of its own (a mount point is a
            # reparse point to Wine, refused as the staging folder itself),
            # with a partial file from an earlier run.
            site(c)
            c.fs = c.stack.enter_context(Tmpfs(c.s.c_drive("ProgramData"), 8))
            os.makedirs(c.s.staging(), exist_ok=True)
            with open(c.s.staging(vendor.partial_name(package)), "wb") as f:
                f.write(package[:MiB])

        def install_drive(size_mb, installed_size=None):
            # Drive D: of the prefix is a tmpfs of its own; the installation goes there.
            def arrange(c):
                site(c, installedSize=installed_size)
                c.fs = c.stack.enter_context(Tmpfs(os.path.join(c.s.prefix, "drive_d"), size_mb))
                os.symlink("../drive_d", os.path.join(c.s.prefix, "dosdevices", "d:"))
                c.folder = "D:\\velmora"
            return arrange

        def refuse_elevation(c):
            site(c)
            c.s.reg("add", POLICIES_KEY, "/v", "EnableLUA", "/t", "REG_DWORD", "/d", "1", "/f")
            with open(c.s.c_drive("refuse-elevation"), "w"):
                pass
            c.env["VELMORA_TEST_REFUSE_ELEVATION"] = "C:\\refuse-elevation"

        def failing_setup(c):
            site(c)
            with open(c.s.c_drive("standin-exit.txt"), "w") as f:
                f.write("3")
            c.env["VELMORA_STANDIN_EXIT_FILE"] = "C:\\standin-exit.txt"

        def disk_words(need_bytes):
            need_mb = -(-need_bytes // MiB)  # rounded up; the free figure down
            return lambda c: "磁盘空间不足：需要 %d MB，可用 %d MB。" % (need_mb, c.fs.free_mb())

        staging_need = len(package) - MiB + 16 * MiB  # the rest of the package and 16 MB
        rows = (
            FailureRow("package connection dropped on every attempt", "E-NET", "网络",
                       lambda c: (site(c), serve(c, drop_after=cut)), serve, 6, 6 * cut),
            FailureRow("vendor server down", "E-NET", "网络", lambda c: None, site, 0, "fresh", True),
            FailureRow("package 404", "E-SRV", "服务器", lambda c: (site(c), serve(c, status=404, body=b"gone")),
                       serve, 1, "fresh"),
            FailureRow("manifest 404", "E-SRV", "服务器",
                       lambda c: (site(c), manifest(c, document=b"{}", status=404)),
                       lambda c: manifest(c, document=vendor.manifest(vendor.package_url(PORT), package=package)),
                       0, "fresh", True),
            FailureRow("package altered", "E-VERIFY", "校验", lambda c: (site(c), serve(c, body=altered)), serve, 1,
                       "fresh"),
            FailureRow("staging volume full", "E-DISK", disk_words(staging_need), small_staging,
                       lambda c: c.fs.resize(64), 0, MiB),
            FailureRow("install volume smaller than the package", "E-DISK", disk_words(len(package)),
                       install_drive(1), lambda c: c.fs.resize(16), 0, "fresh", fresh=True),
            FailureRow("install volume smaller than the installation", "E-DISK", disk_words(64 * MiB),
                       install_drive(16, 64 * MiB), lambda c: c.fs.resize(128), 0, "fresh", fresh=True),
            FailureRow("install volume far too small", "E-DISK", disk_words(10 ** 15),
                       install_drive(100 * 1024, 10 ** 15), lambda c: None, 0, None, end="cancel", fresh=True),
            FailureRow("elevation refused", "E-UAC", "管理员", refuse_elevation,
                       lambda c: os.remove(c.s.c_drive("refuse-elevation")), 1, "held"),
            FailureRow("setup failed", "E-SETUP-3", "退出代码 3", failing_setup,
                       lambda c: os.remove(c.s.c_drive("standin-exit.txt")), 1, "held"),
        )
        for row in rows:
            # The session goes last, after the servers and mounts of its row.
            with self.subTest(row.name), contextlib.ExitStack() as stack:
                s = stack.enter_context(harness.Session(fresh=row.fresh))
                c = types.SimpleNamespace(s=s, stack=stack, server=None, fs=None, env={}, folder=None)
                row.arrange(c)
                # A row that cannot run fails: a skip here would pass the entry
                # with the disk rows unchecked.
                if c.fs is not None and not c.fs.mounted:
                    self.fail("the volume of this row could not be mounted (a tmpfs needs root)")
                proc = self.start(s, env=c.env)
                if c.folder:
                    s.type_text(RES.IDC_EDIT_INSTALL_DIR, c.folder)
                    self.assertTrue(self.wait_for(lambda: s.controls()[RES.IDC_BTN_INSTALL]["enabled"], 5))
                s.click(RES.IDC_BTN_INSTALL)

                # The box: the cause, an empty line, the code, the log's path;
                # Retry and Cancel.
                if s.wait_window(harness.FAILED_TITLE, 30000) is None:
                    self.fail_in(s, "no install-failed box")
                box = s.controls(harness.FAILED_TITLE)
                self.assertEqual({harness.IDRETRY, harness.IDCANCEL},
                                 {i for i, b in box.items() if b["class"] == "Button"})
                text = next(b["text"] for b in box.values() if "错误代码" in b["text"])
                cause, empty, code, log_path = text.split("\n")
                words = row.words(c) if callable(row.words) else row.words
                with self.subTest(row.name, check="cause line"):
                    self.assertIn(words, cause)
                self.assertEqual(("", "错误代码：" + row.code), (empty, code))
                self.assertTrue(log_path.startswith("C:\\") and log_path.endswith("\\VelmoraInstaller.log"), log_path)
                self.assertIn("install failed: %s\n" % row.code,
                              harness.read_text(s.c_drive(*log_path[3:].split("\\"))), "the box names the log it wrote")
                packages = package_requests(c.server) if c.server else []
                self.assertEqual(row.requests_before, len(packages), "package requests before the box")
                manifests = len(manifest_requests(c.server)) if c.server else 0

                row.clear(c)
                if row.end == "cancel":
                    s.click(harness.IDCANCEL, title=harness.FAILED_TITLE)
                    self.assert_ended(proc)
                    self.assertEqual(packages, package_requests(c.server))
                    continue
                s.click(harness.IDRETRY, title=harness.FAILED_TITLE)
                self.expect_visible(s, RES.IDC_BTN_FINISH, "Retry completes the install", timeout_ms=30000)
                standin = harness.read_text(s.c_drive(STANDIN_LOG))
                self.assertEqual("done 0", re.findall(r"^done .*?(?=\r?$)", standin, re.M)[-1])
                self.assertEqual({hashlib.sha256(package).hexdigest()},
                                 set(re.findall(r"^image (\w+)", standin, re.M)), "only the published package ran")
                s.key("18+115")  # Alt+F4 on the finish page
                self.assert_ended(proc)

                after = package_requests(c.server)[len(packages):]
                if row.retry == "held":
                    self.assertEqual([], after, "Retry runs the package it kept")
                else:
                    self.assertEqual(1, len(after), after)
                    head = after[0].decode("latin-1")
                    if row.retry == "fresh":
                        self.assertNotIn("Range:", head)
                    else:
                        self.assertTrue(vendor.resumes_by_hash(head, row.retry), head)
                self.assertEqual(row.manifest_again, len(manifest_requests(c.server)) > manifests,
                                 "Retry asks for the manifest again")
                log = harness.read_text(s.support_log())
                self.assertRegex(log, r"(?s)install failed: %s\n.*install: retry\n" % row.code)


if __name__ == "__main__":
    unittest.main()
