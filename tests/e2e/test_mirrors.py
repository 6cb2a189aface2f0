"""The networks people have: a package URL that is down and the manifest's
mirrors behind it, and captive portals that answer with a login page. The
real executable under Wine against the fault server and nginx on 127.0.0.1,
its network times at harness.TIME_SCALE percent."""
import contextlib
import hashlib
import os
import shutil
import sys
import tempfile
import time
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402
from nginx_server import NginxServer, free_port  # noqa: E402

PORT = harness.server_port()
STANDIN_LOG = "velmora-standin.log"
NOKEY_INSTALLER = os.path.join(harness.BUILD, "tests", "VelmoraInstallerNoKey.exe")
# The longest the failure box may take over all URLs: 6 minutes, scaled
# like every network wait.
ALL_URLS_SECONDS = 360 * harness.TIME_SCALE / 100
LOGIN_PAGE = (b"<!DOCTYPE html><html><head><title>Guest Wi-Fi</title></head><body><form action=/login>"
              b"<input name=room><button>Log in</button></form></body></html>")
HTML = [("Content-Type", "text/html; charset=utf-8")]


def vendor_server(stack, document, signature=True):
    """The fault server on the vendor port, serving document as the manifest."""
    server = stack.enter_context(FaultServer(PORT))
    vendor.serve_manifest(server, document, signature=signature)
    return server


def nginx(stack):
    """nginx on a port of its own serving the package at PACKAGE_PATH (and
    nothing at /missing/)."""
    root = stack.enter_context(tempfile.TemporaryDirectory(dir=harness.BUILD, prefix="e2e-mirrors."))
    package = os.path.join(root, "site", vendor.PACKAGE_PATH.lstrip("/"))
    os.makedirs(os.path.dirname(package))
    shutil.copyfile(vendor.STANDIN_SETUP, package)
    return stack.enter_context(NginxServer(os.path.join(root, "site"), os.path.join(root, "nginx")))


class MirrorsTest(harness.TestCase):
    def setUp(self):
        self.stack = self.enterContext(contextlib.ExitStack())

    def closed_url(self):
        return "http://127.0.0.1:%d%s" % (free_port(), vendor.PACKAGE_PATH)

    def install(self, s, proc):
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "finish page", timeout_ms=60000)
        self.assertIn("done 0", harness.read_text(s.c_drive(STANDIN_LOG)), "the downloaded package ran")
        s.key("18+115")  # Alt+F4 on the finish page
        self.assert_ended(proc)

    def assert_nothing_kept_or_run(self, s):
        self.assertNotIn("start", harness.read_text(s.c_drive(STANDIN_LOG)), "nothing ran")
        staged = os.listdir(s.staging()) if os.path.isdir(s.staging()) else []
        self.assertEqual([], [n for n in staged if n.endswith((".partial", ".exe"))], "no package bytes kept")

    # ---------------------------------------------------------------------

    def test_past_a_closed_port_and_a_404_the_third_url_installs(self):
        package = vendor.package_bytes()
        mirror = nginx(self.stack)
        urls = [self.closed_url(), mirror.url("/missing" + vendor.PACKAGE_PATH), mirror.url(vendor.PACKAGE_PATH)]
        vendor_server(self.stack, vendor.manifest(urls[0], package=package, mirrors=urls[1:]))
        s = self.session()
        proc = self.start(s)
        self.install(s, proc)
        log = harness.read_text(s.support_log())
        self.assertIn("download: %s left (no connection" % urls[0], log)
        self.assertIn("download: next %s\n" % urls[1], log)
        self.assertIn("download: %s left (an error" % urls[1], log)
        self.assertIn("download: next %s\n" % urls[2], log)
        self.assertIn("download: served by %s\n" % urls[2], log)
        self.assertEqual([404, 200], [status for _, status, _ in mirror.requests()])

    def test_a_mirror_continues_the_partial_file_only_with_the_hash(self):
        package = vendor.package_bytes()
        cut = len(package) * 2 // 5
        for with_hash in (True, False):
            with self.subTest(with_hash=with_hash), contextlib.ExitStack() as stack:
                mirror = nginx(stack)
                first = stack.enter_context(FaultServer())
                # 40 % then the connection drops, and the server is gone.
                first.script(vendor.PACKAGE_PATH, body=package, etag="first", drop_after=cut, then_refuse=True)
                urls = [first.url(vendor.PACKAGE_PATH), mirror.url(vendor.PACKAGE_PATH)]
                if with_hash:
                    vendor_server(stack, vendor.manifest(urls[0], package=package, mirrors=urls[1:]))
                else:
                    # Only a build without a key takes a manifest without the hash.
                    vendor_server(stack, vendor.manifest(urls[0], mirrors=urls[1:]), signature=False)
                s = stack.enter_context(harness.Session())
                proc = self.start(s, program=harness.INSTALLER if with_hash else NOKEY_INSTALLER)
                self.install(s, proc)
                self.assertIn("download: %s left (no connection" % urls[0], harness.read_text(s.support_log()))
                (request, status, sent), = mirror.requests()
                if with_hash:
                    self.assertEqual(206, status, "the rest, from the mirror")
                    self.assertLessEqual(cut + sent, 1.05 * len(package), "bytes sent for the package")
                else:
                    self.assertEqual(200, status, "another server's bytes start from the first")
                    self.assertGreaterEqual(sent, len(package))
                self.assertEqual([hashlib.sha256(package).hexdigest()], vendor.images(
                    harness.read_text(s.c_drive(STANDIN_LOG))))

    def test_a_mirror_with_other_bytes_of_the_same_size_is_left_for_the_next(self):
        package = vendor.package_bytes()
        other = self.stack.enter_context(FaultServer())
        other.script(vendor.PACKAGE_PATH, body=vendor.altered(package), etag="other")
        mirror = nginx(self.stack)
        urls = [other.url(vendor.PACKAGE_PATH), mirror.url(vendor.PACKAGE_PATH)]
        vendor_server(self.stack, vendor.manifest(urls[0], package=package, mirrors=urls[1:]))
        s = self.session()
        proc = self.start(s)
        self.install(s, proc)
        log = harness.read_text(s.support_log())
        self.assertIn("does not match the manifest", log)
        self.assertIn("download: %s left (other bytes than the manifest's)" % urls[0], log)
        (request, status, sent), = mirror.requests()
        self.assertEqual(200, status, "the next mirror from byte 0")
        self.assertEqual([hashlib.sha256(package).hexdigest()], vendor.images(harness.read_text(s.c_drive(STANDIN_LOG))))

    @harness.long_running
    def test_when_every_url_fails_the_box_comes_within_the_budget(self):
        # Servers that take the connection and never answer: every attempt
        # waits out its time-out, far more than the budget over five URLs.
        silent = [self.stack.enter_context(FaultServer()) for _ in range(5)]
        for server in silent:
            server.script(vendor.PACKAGE_PATH, body=vendor.package_bytes(), delay=3600)
        urls = [server.url(vendor.PACKAGE_PATH) for server in silent]
        vendor_server(self.stack, vendor.manifest(urls[0], package=vendor.package_bytes(), mirrors=urls[1:]))
        s = self.session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        t0 = time.monotonic()
        self.expect_failure_box(s, proc, "E-NET", timeout_ms=int(ALL_URLS_SECONDS * 1000) + 10000)
        elapsed = time.monotonic() - t0
        self.assertLess(elapsed, ALL_URLS_SECONDS, "the failure box within the budget")
        log = harness.read_text(s.support_log())
        self.assertIn("download: no time left for the further URLs", log)
        self.assertGreaterEqual(log.count(" left ("), 2, "more than one URL was tried")
        self.assert_nothing_kept_or_run(s)

    # ---------------------------------------------------------------------

    def test_a_portal_in_place_of_the_manifest_is_named_as_such(self):
        for how in ("login page for every request", "redirect to a login page elsewhere", "page without its type"):
            with self.subTest(how), FaultServer(PORT) as server, harness.Session() as s:
                if how == "redirect to a login page elsewhere":
                    portal = self.stack.enter_context(FaultServer())
                    portal.script("/login", body=LOGIN_PAGE, headers=HTML)
                    for path in (vendor.MANIFEST_PATH, vendor.MANIFEST_PATH + ".sig", vendor.PACKAGE_PATH):
                        server.script(path, status=302, headers=[("Location", portal.url("/login"))])
                else:
                    headers = HTML if how == "login page for every request" else []
                    for path in (vendor.MANIFEST_PATH, vendor.MANIFEST_PATH + ".sig", vendor.PACKAGE_PATH):
                        server.script(path, body=LOGIN_PAGE, headers=headers)
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                text = self.expect_failure_box(s, proc, "E-PORTAL")
                self.assertIn("当前网络需要登录，请在浏览器中登录后重试", text)
                self.assert_nothing_kept_or_run(s)
                self.assertEqual([], [h for h in server.requests() if vendor.PACKAGE_PATH.encode() in h],
                                 "no package asked for")

    def test_a_portal_in_place_of_the_package_is_left_after_its_first_read(self):
        package = vendor.package_bytes()
        for headers in (HTML, [("Content-Type", "application/octet-stream")]):
            with self.subTest(headers=headers), FaultServer(PORT) as server, harness.Session() as s:
                vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT), package=package))
                # As large as the package: only its start may be read.
                page = LOGIN_PAGE + b" " * (len(package) - len(LOGIN_PAGE))
                server.script(vendor.PACKAGE_PATH, body=page, headers=headers, etag="portal")
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_failure_box(s, proc, "E-PORTAL")
                self.assert_nothing_kept_or_run(s)
                packages = [h for h in server.requests() if h.startswith(b"GET " + vendor.PACKAGE_PATH.encode())]
                self.assertEqual(1, len(packages), "a portal is not asked again")
                self.assertIn("is not the package (a web page)" if headers != HTML else "answers with a web page",
                              harness.read_text(s.support_log()))


if __name__ == "__main__":
    unittest.main()
