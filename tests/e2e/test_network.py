"""The real installer on a bad network: a slow manifest server, a package
server that is down, busy, dropping or answering with an error page. The
real executable under Wine against the fault server on 127.0.0.1, its
network times at harness.TIME_SCALE percent unless a test asks for the real
ones."""
import os
import socket
import sys
import time
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402

PORT = harness.server_port()
RETRYING = "网络连接不稳定，正在重试..."
ETAG = "7a41-velmora"
STANDIN_LOG = "velmora-standin.log"
# Seconds the manifest server holds its reply back in the slow-server test.
MANIFEST_DELAY = 3

# The package download's back-offs before its 5 further attempts: 1, 2, 4,
# 8 and 16 s, each give or take a quarter, at the tests' time scale.
BACKOFF_SECONDS = 31 * harness.TIME_SCALE / 100


class NetworkTest(harness.TestCase):
    def site(self, package_url=None, manifest_delay=0):
        """The fault server on the vendor port with the manifest; the package
        replies are scripted by each test."""
        server = self.enterContext(FaultServer(PORT))
        vendor.serve_manifest(server, vendor.manifest(package_url or vendor.package_url(PORT),
                                                      package=vendor.package_bytes()),
                              delay=manifest_delay)
        return server

    def package_requests(self, server):
        """(seconds since the server started, raw head) of each package request."""
        return [(t, h) for t, h in zip(server.times(), server.requests())
                if h.startswith(b"GET " + vendor.PACKAGE_PATH.encode() + b" ")]

    def status_text(self, s):
        status = s.controls().get(RES.IDC_STATIC_STATUS)
        return status["text"] if status else None

    def expect_finish_page(self, s, proc):
        self.expect_visible(s, RES.IDC_BTN_FINISH, "finish page", timeout_ms=30000)
        self.assertIn("done 0", harness.read_text(s.c_drive(STANDIN_LOG)), "the downloaded package ran")
        s.key("18+115")  # Alt+F4 on the finish page
        self.assert_ended(proc)

    # ---------------------------------------------------------------------

    def test_slow_manifest_server_neither_holds_the_window_nor_fails_the_install(self):
        server = self.site(manifest_delay=MANIFEST_DELAY)
        server.script(vendor.PACKAGE_PATH, body=vendor.package_bytes(), etag=ETAG)
        s = self.session()
        # The real figures: scaled down, the 30-second receive time-out would
        # be the reply's own 3 s, and a loaded machine would tip the manifest
        # into its retries.
        proc = s.start_installer(env={"VELMORA_TIME_SCALE": "100"})
        self.assertIsNotNone(s.wait_window(), "the installer window did not appear")
        # Shown while the manifest reply was still held back: on the
        # server's own clock, so a loaded machine does not blur the figure.
        shown = time.monotonic() - server.start_time

        def manifest_asked():
            return [t for t, h in zip(server.times(), server.requests()) if h.startswith(b"GET /apis/")]

        # The window asks once it shows: its request may come a little later.
        self.assertTrue(self.wait_for(manifest_asked, 10), "the manifest was asked for")
        self.assertLess(shown, manifest_asked()[0] + MANIFEST_DELAY, "the window waited for the manifest server")
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_PROGRESS, "Install leads to the progress page at once")
        self.assertEqual([], self.package_requests(server), "pressed while the manifest reply was still due")
        self.expect_finish_page(s, proc)

    def test_package_server_down_fails_after_the_retries_without_running_anything(self):
        # A bound socket that never listens: every connection is refused,
        # and no other program can take the port meanwhile.
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            url = "http://127.0.0.1:%d%s" % (closed.getsockname()[1], vendor.PACKAGE_PATH)
            self.site(package_url=url)
            s = self.session()
            proc = self.start(s)
            t0 = time.monotonic()
            s.click(RES.IDC_BTN_INSTALL)
            self.failure_box(s, "E-NET")
            elapsed = time.monotonic() - t0
        # Every back-off was waited (each at least three quarters of its
        # figure), and no more than the whole budget plus Wine's overhead.
        self.assertGreaterEqual(elapsed, BACKOFF_SECONDS * 0.75)
        self.assertLess(elapsed, BACKOFF_SECONDS * 1.25 + 3)
        s.click(harness.IDCANCEL, title=harness.FAILED_TITLE)
        self.assert_ended(proc)
        self.assertNotIn("start", harness.read_text(s.c_drive(STANDIN_LOG)), "the setup never ran")

    def test_closing_during_a_back_off_ends_at_once_and_keeps_the_partial_file(self):
        package = vendor.package_bytes()
        cut = 300000
        server = self.site()
        server.script(vendor.PACKAGE_PATH, body=b"busy", status=503, headers=[("Retry-After", "60")])
        server.script(vendor.PACKAGE_PATH, once=True, body=package, etag=ETAG, drop_after=cut)
        s = self.session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        # The drop's short back-off, then the busy reply's long one.
        self.assertTrue(self.wait_for(lambda: len(self.package_requests(server)) == 2), "no second request")
        self.assertTrue(self.wait_for(lambda: self.status_text(s) == RETRYING), self.status_text(s))
        s.click("603,17")  # the caption close button
        # From the click on: the probe's own round trip is no part of closing.
        t0 = time.monotonic()
        self.assert_ended(proc)
        self.assertLess(time.monotonic() - t0, 2.0, "closing ends the program without waiting out the back-off")
        with open(s.staging(vendor.partial_name(package)), "rb") as f:
            self.assertEqual(package[:cut], f.read(), "the partial file holds the bytes received")

    def test_retry_after_is_waited_with_the_real_figures(self):
        server = self.site()
        server.script(vendor.PACKAGE_PATH, body=vendor.package_bytes(), etag=ETAG)
        server.script(vendor.PACKAGE_PATH, once=True, body=b"busy", status=503, headers=[("Retry-After", "3")])
        s = self.session()
        proc = self.start(s, env={"VELMORA_TIME_SCALE": "100"})
        s.click(RES.IDC_BTN_INSTALL)
        self.assertTrue(self.wait_for(lambda: self.status_text(s) == RETRYING, seconds=3),
                        "retry text while waiting, got %r" % self.status_text(s))
        self.expect_finish_page(s, proc)
        times = [t for t, _ in self.package_requests(server)]
        self.assertEqual(2, len(times))
        self.assertGreaterEqual(times[1] - times[0], 3.0, "the second request waits for Retry-After")

    def test_drop_at_a_third_resumes_in_the_same_run(self):
        package = vendor.package_bytes()
        cut = len(package) // 3
        server = self.site()
        server.script(vendor.PACKAGE_PATH, body=package, etag=ETAG)
        server.script(vendor.PACKAGE_PATH, once=True, body=package, etag=ETAG, drop_after=cut)
        s = self.session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_finish_page(s, proc)
        heads = [h for _, h in self.package_requests(server)]
        self.assertEqual(2, len(heads))
        self.assertTrue(vendor.resumes_by_hash(heads[1].decode("latin-1"), cut), heads[1])

    def test_error_page_as_package_is_never_saved_or_run(self):
        # With a strong ETag and a Content-Length: the shape of a package
        # reply in all but its status. 503 is retried until the attempts
        # run out, 403 fails at once.
        page = b"<html><body><h1>Service Unavailable</h1>" + b"x" * 2000 + b"</body></html>"
        for status in (503, 403):
            with self.subTest(status=status), FaultServer(PORT) as server, harness.Session() as s:
                vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT),
                                                              package=vendor.package_bytes()))
                server.script(vendor.PACKAGE_PATH, status=status, body=page, etag=ETAG)
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_failure_box(s, proc, "E-SRV")
                self.assertNotIn("start", harness.read_text(s.c_drive(STANDIN_LOG)), "nothing ran")
                staged = os.listdir(s.staging())
                self.assertNotIn("velmora.exe", staged)
                for name in staged:
                    with open(s.staging(name), "rb") as f:
                        self.assertNotIn(b"Service Unavailable", f.read(), name)


if __name__ == "__main__":
    unittest.main()
