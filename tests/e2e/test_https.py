"""HTTPS and redirects, end to end: the real installer under Wine against
nginx and the fault server speaking TLS with certificates of the tests' own
authority (trusted inside each session's prefix only, never on the
machine), plain-HTTP vendor servers whose replies redirect, and
certificates the installer must refuse.

Wine 8 checks a certificate's names against DNS names only, so the TLS
servers are reached as localhost."""
import glob
import os
import shutil
import sys
import tempfile
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
import test_ca  # noqa: E402
from fault_server import FaultServer  # noqa: E402
from nginx_server import NginxServer  # noqa: E402

PORT = harness.server_port()
ETAG = "7a1c-velmora"
STANDIN_LOG = "velmora-standin.log"


class HttpsTest(harness.TestCase):
    def setUp(self):
        self.ca = harness.test_ca_folder()
        self.package = vendor.package_bytes()

    def tls_session(self):
        s = self.session()
        self.assertTrue(s.trust_test_ca(), "the test CA is trusted in the session's prefix")
        return s

    def nginx_site(self, base=None):
        """nginx serving the vendor site over HTTPS (good certificate); the
        manifest names the package at base (default: on nginx itself)."""
        work = tempfile.mkdtemp(prefix="https-nginx.", dir=harness.BUILD)
        self.addCleanup(shutil.rmtree, work, True)
        server = NginxServer(os.path.join(work, "root"), os.path.join(work, "nginx"),
                             tls=test_ca.cert(self.ca, "good"))
        vendor.make_site(server.root, server.port, base or server.url("", host="localhost"))
        self.enterContext(server)
        return server

    def tls_server(self, certificate="good"):
        return self.enterContext(FaultServer(tls=test_ca.cert(self.ca, certificate)))

    def http_manifest(self, url):
        """The fault server on the vendor port, serving a signed manifest for
        the stand-in package at url."""
        server = self.enterContext(FaultServer(PORT))
        vendor.serve_manifest(server, vendor.manifest(url, package=self.package))
        return server

    def install(self, s, env=None):
        """Starts the installer, presses Install; True when the finish page
        comes, and the stand-in setup that ran was the package."""
        proc = self.start(s, env=env)
        s.click(RES.IDC_BTN_INSTALL)
        finished = s.wait_visible(RES.IDC_BTN_FINISH, timeout_ms=40000)
        if finished:
            self.assertEqual([vendor.sha256(self.package)], vendor.images(harness.read_text(s.c_drive(STANDIN_LOG))))
            s.click(RES.IDC_BTN_FINISH)
            self.assert_ended(proc)
        return finished

    def assert_nothing_downloaded_or_run(self, s):
        self.assertEqual([], [f for f in os.listdir(s.staging()) if f != "VelmoraInstaller.log"],
                         "no package bytes in the staging folder")
        self.assertEqual("", harness.read_text(s.c_drive(STANDIN_LOG)), "no setup ran")

    # ---------------------------------------------------------------------

    def test_manifest_and_package_over_https(self):
        server = self.nginx_site()
        s = self.tls_session()
        self.assertTrue(self.install(s, env={"VELMORA_TEST_SERVER": server.url("", host="localhost")}))
        paths = [r[0].split()[1] for r in server.requests()]
        self.assertEqual([vendor.MANIFEST_PATH, vendor.MANIFEST_PATH + ".sig", vendor.PACKAGE_PATH],
                         [p.split("?")[0] for p in paths])
        # No second copy of the package in the user's Internet cache.
        inetcache = s.user_folder("AppData", "Local", "Microsoft", "Windows", "INetCache")
        self.assertTrue(os.path.isdir(inetcache))
        cache = [f for f in glob.glob(os.path.join(inetcache, "**"), recursive=True) if os.path.isfile(f)]
        self.assertFalse([f for f in cache if os.path.getsize(f) >= len(self.package)], cache)

    @harness.long_running
    def test_http_manifest_with_an_https_package_directly_and_behind_each_redirect(self):
        tls = self.nginx_site()
        target = tls.url(vendor.PACKAGE_PATH, host="localhost")
        for status in (None, 301, 302, 307, 308):
            with self.subTest(status=status), FaultServer(PORT) as http, harness.Session() as s:
                self.assertTrue(s.trust_test_ca())
                if status:
                    # The manifest names a plain-HTTP URL on the vendor server,
                    # which sends the download to HTTPS on another host.
                    vendor.serve_manifest(http, vendor.manifest(vendor.package_url(PORT), package=self.package))
                    http.script(vendor.PACKAGE_PATH, status=status, headers=[("Location", target)])
                else:
                    vendor.serve_manifest(http, vendor.manifest(target, package=self.package))
                before = len(tls.requests())
                self.assertTrue(self.install(s), "installed")
                self.assertEqual([("GET %s HTTP/1.1" % vendor.PACKAGE_PATH, 200)],
                                 [r[:2] for r in tls.requests()[before:]])
                log = harness.read_text(s.support_log())
                if status:
                    self.assertIn("redirect 1: status %d to %s" % (status, target), log)

    def test_redirect_chains_of_five_are_followed_and_of_six_refused(self):
        for hops, finished in ((5, True), (6, False)):
            with self.subTest(hops=hops), FaultServer(PORT) as http, harness.Session() as s:
                vendor.serve_manifest(http, vendor.manifest(vendor.package_url(PORT) + "0", package=self.package))
                for i in range(hops):
                    http.script(vendor.PACKAGE_PATH + str(i), status=302,
                                headers=[("Location", vendor.PACKAGE_PATH + str(i + 1))])
                http.script(vendor.PACKAGE_PATH + str(hops), body=self.package)
                if finished:
                    self.assertTrue(self.install(s))
                else:
                    proc = self.start(s)
                    s.click(RES.IDC_BTN_INSTALL)
                    self.expect_failure_box(s, proc, "E-SRV")
                    self.assertIn("redirect: more than 5", harness.read_text(s.support_log()))
                    self.assert_nothing_downloaded_or_run(s)

    def test_https_redirected_to_plain_http_is_refused(self):
        http = self.enterContext(FaultServer(PORT))
        tls = self.tls_server()
        plain = vendor.package_url(PORT)
        vendor.serve_manifest(http, vendor.manifest(tls.url(vendor.PACKAGE_PATH, host="localhost"),
                                                    package=self.package))
        tls.script(vendor.PACKAGE_PATH, status=302, headers=[("Location", plain)])
        http.script(vendor.PACKAGE_PATH, body=self.package)
        s = self.tls_session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        text = self.expect_failure_box(s, proc, "E-TLS")
        self.assertIn("无法建立安全连接", text)
        self.assertIn("from HTTPS to plain HTTP, refused", harness.read_text(s.support_log()))
        self.assertFalse([h for h in http.requests() if vendor.PACKAGE_PATH.encode() in h],
                         "nothing was asked of the plain-HTTP server")
        self.assert_nothing_downloaded_or_run(s)

    @harness.long_running
    def test_certificates_not_to_be_trusted_and_handshakes_not_to_be_made_end_with_e_tls(self):
        # A server that speaks TLS 1.3 only is one Wine 8's WinInet cannot
        # reach, as Windows XP's cannot reach one without TLS 1.0.
        for certificate, only13 in (("untrusted", False), ("wrong-name", False), ("expired", False), ("good", True)):
            with self.subTest(certificate=certificate, tls_13_only=only13), harness.Session() as s, \
                    FaultServer(tls=test_ca.cert(self.ca, certificate), tls_13_only=only13) as tls, \
                    FaultServer(PORT) as http:
                self.assertTrue(s.trust_test_ca())
                vendor.serve_manifest(http, vendor.manifest(tls.url(vendor.PACKAGE_PATH, host="localhost"),
                                                            package=self.package))
                tls.script(vendor.PACKAGE_PATH, body=self.package)
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                text = self.expect_failure_box(s, proc, "E-TLS")
                self.assertIn("无法建立安全连接", text)
                self.assertRegex(harness.read_text(s.support_log()),
                                 r"tls: no safe connection to localhost \(WinInet error 12\d\d\d\)")
                log = harness.read_text(s.support_log())
                self.assertEqual([], tls.requests(), "no request went over the refused connection")
                self.assertIn("download attempt 1:", log)
                self.assertNotIn("download attempt 2:", log, "not retried")
                self.assert_nothing_downloaded_or_run(s)

    def test_retry_after_the_certificate_was_fixed_installs(self):
        http = self.enterContext(FaultServer(PORT))
        tls = self.tls_server("wrong-name")
        vendor.serve_manifest(http, vendor.manifest(tls.url(vendor.PACKAGE_PATH, host="localhost"),
                                                    package=self.package))
        tls.script(vendor.PACKAGE_PATH, body=self.package)
        s = self.tls_session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        self.failure_box(s, "E-TLS")
        tls.set_certificate(*test_ca.cert(self.ca, "good"))
        s.click(harness.IDRETRY, title=harness.FAILED_TITLE)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "installed after Retry", timeout_ms=40000)
        self.assertEqual([vendor.sha256(self.package)], vendor.images(harness.read_text(s.c_drive(STANDIN_LOG))))
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(proc)

    @harness.long_running
    def test_tls_download_behind_a_redirect_resumes_in_the_same_run_and_the_next(self):
        cut = len(self.package) // 3
        http = self.http_manifest(vendor.package_url(PORT))
        tls = self.tls_server()
        http.script(vendor.PACKAGE_PATH, status=302,
                    headers=[("Location", tls.url(vendor.PACKAGE_PATH, host="localhost"))])

        # Dropped at a third, then the rest on the next attempt.
        tls.script(vendor.PACKAGE_PATH, body=self.package, etag=ETAG)
        tls.script(vendor.PACKAGE_PATH, once=True, body=self.package, etag=ETAG, drop_after=cut)
        s = self.tls_session()
        self.assertTrue(self.install(s), "installed in the same run")
        heads = [h.decode("latin-1") for h in tls.requests()]
        self.assertEqual(2, len(heads))
        self.assertTrue(vendor.resumes_by_hash(heads[1], cut), "the second attempt, redirected again, asks for the "
                        "rest: " + heads[1])

        # Dropped at a third, and the window closed while the run waits to try
        # again: the next run, redirected the same way, asks for the rest.
        tls.reset()
        tls.script(vendor.PACKAGE_PATH, body=self.package, etag=ETAG, drop_after=cut)
        s = self.tls_session()
        proc = self.start(s, env={"VELMORA_TIME_SCALE": "100"})
        s.click(RES.IDC_BTN_INSTALL)
        partial = s.staging(vendor.partial_name(self.package))
        self.assertTrue(self.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) == cut))
        s.click("603,17")  # the caption close button
        self.assert_ended(proc)
        tls.reset()
        tls.script(vendor.PACKAGE_PATH, body=self.package, etag=ETAG)
        self.assertTrue(self.install(s), "installed in the next run")
        heads = [h.decode("latin-1") for h in tls.requests()]
        self.assertEqual(1, len(heads))
        self.assertTrue(vendor.resumes_by_hash(heads[0], cut), heads[0])


if __name__ == "__main__":
    unittest.main()
