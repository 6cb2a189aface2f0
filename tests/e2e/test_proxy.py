"""A caching proxy between the installer and the vendor: squid set as the
prefix's proxy, in front of nginx serving the vendor site, keeps the
manifest it fetched for another user and would answer from that copy. The
installer asks every cache to check with the origin, so a release
published since is the one installed."""
import os
import shutil
import sys
import tempfile
import time
import unittest
import urllib.request

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402
from nginx_server import NginxServer  # noqa: E402
from squid_server import SquidServer  # noqa: E402

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


class ProxyTest(harness.TestCase):
    def use_proxy(self, s, port):
        s.reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1", "/f")
        s.reg("add", INTERNET_SETTINGS, "/v", "ProxyServer", "/d", "127.0.0.1:%d" % port, "/f")

    def publish(self, root, port, package):
        """Puts package and its signed manifest on the origin, dated a little
        later than what was there, as a vendor's new release would be."""
        shutil.rmtree(root, ignore_errors=True)
        vendor.make_site(root, port)
        with open(os.path.join(root, vendor.PACKAGE_PATH.lstrip("/")), "wb") as f:
            f.write(package)
        manifest_dir = os.path.join(root, os.path.dirname(vendor.MANIFEST_PATH.lstrip("/")))
        document = vendor.manifest(vendor.package_url(port), package=package)
        with open(os.path.join(manifest_dir, "client-upgrade.json"), "wb") as f:
            f.write(document)
        with open(os.path.join(manifest_dir, "client-upgrade.json.sig"), "wb") as f:
            f.write(vendor.sign(document))
        later = time.time() + 10
        for folder, _, files in os.walk(root):
            for name in files:
                os.utime(os.path.join(folder, name), (later, later))
        return document

    def test_a_release_published_after_the_proxy_cached_the_manifest_is_installed(self):
        work = tempfile.mkdtemp(prefix="proxy.", dir=harness.BUILD)
        self.addCleanup(shutil.rmtree, work, True)
        origin = NginxServer(os.path.join(work, "root"), os.path.join(work, "nginx"))
        old, new = vendor.package_bytes(), vendor.altered(vendor.package_bytes())
        old_manifest = self.publish(origin.root, origin.port, old)
        self.enterContext(origin)
        squid = self.enterContext(SquidServer())

        # Another user's installer fetched the manifest through the proxy:
        # the proxy keeps it, and answers from its copy once the release
        # after it is out.
        through = urllib.request.build_opener(
            urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % squid.port}))
        manifest_url = origin.url(vendor.MANIFEST_PATH + "?versionCode=1&osVersion=6")
        self.assertEqual(old_manifest, through.open(manifest_url).read())
        self.publish(origin.root, origin.port, new)
        stale = through.open(manifest_url)
        self.assertEqual(old_manifest, stale.read(), "the proxy answers from its copy")
        self.assertIn("HIT", stale.headers.get("X-Cache", ""))

        s = self.session()
        self.use_proxy(s, squid.port)
        proc = self.start(s, env={"VELMORA_TEST_SERVER": "127.0.0.1:%d" % origin.port})
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "installed", timeout_ms=40000)
        self.assertEqual([vendor.sha256(new)], vendor.images(harness.read_text(s.c_drive("velmora-standin.log"))),
                         "the new release ran")
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(proc)
        asked = [url for _, url in squid.log() if "client-upgrade.json?" in url]
        self.assertGreaterEqual(len(asked), 3, "the installer's requests went through the proxy")
        self.assertIn(vendor.PACKAGE_PATH, " ".join(url for _, url in squid.log()))

    def test_a_proxy_that_wants_a_password_is_a_network_failure(self):
        # Every request the proxy gets is answered 407; the installer has no
        # password to give, and says so in the support log.
        proxy = self.enterContext(FaultServer())
        for path in ("http://127.0.0.1:9" + vendor.MANIFEST_PATH, "http://127.0.0.1:9" + vendor.MANIFEST_PATH + ".sig"):
            proxy.script(path, status=407, headers=[("Proxy-Authenticate", 'Basic realm="office"')])
        s = self.session()
        self.use_proxy(s, proxy.port)
        proc = self.start(s, env={"VELMORA_TEST_SERVER": "127.0.0.1:9"})
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_failure_box(s, proc, "E-NET")
        self.assertIn("proxy: it asks for a password (407)", harness.read_text(s.support_log()))
        self.assertTrue(proxy.requests(), "the requests went to the proxy")


if __name__ == "__main__":
    unittest.main()
