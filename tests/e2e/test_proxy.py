"""Proxies between the installer and the vendor, squid set as the prefix's
proxy in front of nginx serving the vendor site. A caching one keeps the
manifest it fetched for another user and would answer from that copy: the
installer asks every cache to check with the origin, so a release
published since is the one installed. One that asks for a login (407)
gets Windows' own prompt over the installer's window, once per run."""
import json
import os
import shutil
import stat
import sys
import tempfile
import time
import unittest
import urllib.request

import harness
import vendor
from harness import IDCANCEL, IDRETRY, RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402
from nginx_server import NginxServer  # noqa: E402
from squid_server import SquidServer  # noqa: E402

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
USER, PASSWORD = "tester", "Kp4-velmora-93x"
IDOK = 1
ES_PASSWORD = 0x20
PROMPTED = "proxy: 407, login prompt"


def holds(data, secret):
    """Whether data holds secret as text: UTF-8 or UTF-16, as they are or
    as a Wine registry file writes bytes (hex:4b,00,...), its lines joined."""
    joined = data.replace(b"\\\n", b"").replace(b" ", b"").lower()
    for encoded in (secret.encode("utf-8"), secret.encode("utf-16-le")):
        if encoded in data or ",".join("%02x" % b for b in encoded).encode() in joined:
            return True
    return False


class ProxyTest(harness.TestCase):
    def use_proxy(self, s, port):
        s.reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1", "/f")
        s.reg("add", INTERNET_SETTINGS, "/v", "ProxyServer", "/d", "127.0.0.1:%d" % port, "/f")

    def origin(self):
        """nginx serving the vendor site on a port of its own, started."""
        work = tempfile.mkdtemp(prefix="proxy.", dir=harness.BUILD)
        self.addCleanup(shutil.rmtree, work, True)
        origin = NginxServer(os.path.join(work, "root"), os.path.join(work, "nginx"))
        vendor.make_site(origin.root, origin.port)
        return self.enterContext(origin)

    def start_behind(self, s, proxy_port, origin_port):
        self.use_proxy(s, proxy_port)
        return self.start(s, env={"VELMORA_TEST_SERVER": "127.0.0.1:%d" % origin_port})

    @staticmethod
    def owned(s, timeout_ms):
        """The box (#32770) the installer's window owns, {"hwnd", "title"},
        or None when none shows within timeout_ms."""
        rc, out = s.probe("owned", harness.WINDOW_TITLE, str(timeout_ms), timeout=timeout_ms / 1000 + 60)
        return json.loads(out) if rc == 0 else None

    def prompt(self, s):
        """The proxy login prompt: Windows' own box owned by the installer's
        window."""
        box = self.owned(s, 30000)
        if not box:
            self.fail_in(s, "no login prompt over the installer's window")
        return box

    def log_in(self, s, user, password):
        """Types user and password into the prompt and presses OK; waits
        until it has closed (a refused login brings a new one)."""
        box = self.prompt(s)
        title = box["title"]
        boxes = [c for c in s.tree(title)["children"] if c["class"].lower() == "edit" and c["visible"]]
        secret = [c for c in boxes if c["style"] & ES_PASSWORD]
        named = [c for c in boxes if not c["style"] & ES_PASSWORD]
        self.assertEqual(1, len(secret), "one password box: %r" % boxes)
        self.assertTrue(named, "a user name box: %r" % boxes)
        self.assertTrue(s.type_text(named[0]["id"], user, title=title))
        self.assertTrue(s.type_text(secret[0]["id"], password, title=title))
        self.assertTrue(s.click(IDOK, title=title))
        self.assertTrue(self.wait_for(lambda: (self.owned(s, 0) or {}).get("hwnd") != box["hwnd"]),
                        "the prompt closes with OK")

    def assert_kept_nowhere(self, s, secret, since):
        """secret is in no file of the prefix's drive C written since, nor
        in its registry, nor in the support log."""
        with open(s.support_log(), "rb") as f:
            self.assertFalse(holds(f.read(), secret), "the password is in the support log")
        for folder, _, names in os.walk(s.c_drive()):
            for name in names:
                path = os.path.join(folder, name)
                try:
                    st = os.lstat(path)
                except FileNotFoundError:  # gone since it was listed
                    continue
                if stat.S_ISREG(st.st_mode) and st.st_mtime >= since:
                    with open(path, "rb") as f:
                        self.assertFalse(holds(f.read(), secret), "the password is in %s" % path)
        registry = tempfile.mkdtemp(prefix="registry.", dir=harness.BUILD)
        self.addCleanup(shutil.rmtree, registry, True)
        saved = s.save_registry(registry)
        self.assertTrue(saved, "the registry was saved")
        for path in saved:
            with open(path, "rb") as f:
                self.assertFalse(holds(f.read(), secret), "the password is in the registry (%s)" % path)

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

    def test_a_cancelled_proxy_login_is_e_proxy(self):
        # Every request the proxy gets is answered 407: the prompt shows as
        # the manifest is asked for, and the person cancels it.
        proxy = self.enterContext(FaultServer())
        for path in ("http://127.0.0.1:9" + vendor.MANIFEST_PATH, "http://127.0.0.1:9" + vendor.MANIFEST_PATH + ".sig"):
            proxy.script(path, status=407, headers=[("Proxy-Authenticate", 'Basic realm="office"')])
        s = self.session()
        proc = self.start_behind(s, proxy.port, 9)
        self.assertTrue(s.click(IDCANCEL, title=self.prompt(s)["title"]))
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_failure_box(s, proc, "E-PROXY")
        log = harness.read_text(s.support_log())
        self.assertEqual(1, log.count(PROMPTED), log)
        self.assertIn("proxy: prompt cancelled", log)
        self.assertTrue(proxy.requests(), "the requests went to the proxy")

    @harness.long_running
    def test_one_proxy_login_serves_the_manifest_its_signature_and_the_package(self):
        origin = self.origin()
        squid = self.enterContext(SquidServer(logins={USER: PASSWORD}))
        s = self.session()
        since = time.time() - 2
        proc = self.start_behind(s, squid.port, origin.port)
        # The manifest is asked for as the window opens: the prompt comes
        # before Install, over the window.
        self.log_in(s, USER, PASSWORD)
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "installed", timeout_ms=40000)
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(proc)
        log = harness.read_text(s.support_log())
        self.assertEqual(1, log.count(PROMPTED), "one prompt for the whole run:\n" + log)
        served = [(url, user) for result, _, url, user in squid.entries()
                  if result != "TCP_DENIED" and url.startswith("http:")]
        for path in (vendor.MANIFEST_PATH + "?", vendor.MANIFEST_PATH + ".sig?", vendor.PACKAGE_PATH):
            self.assertTrue(any(path in url for url, _ in served), "%s went through the proxy: %r" % (path, served))
        self.assertEqual([], [url for url, user in served if user != USER], "every request went with the login")
        self.assert_kept_nowhere(s, PASSWORD, since)

    @harness.long_running
    def test_three_refused_logins_are_e_proxy_and_retry_asks_again(self):
        origin = self.origin()
        squid = self.enterContext(SquidServer(logins={USER: PASSWORD}))
        s = self.session()
        proc = self.start_behind(s, squid.port, origin.port)
        for attempt in range(3):
            self.log_in(s, USER, "wrong-%d" % attempt)
        s.click(RES.IDC_BTN_INSTALL)
        self.failure_box(s, "E-PROXY")
        log = harness.read_text(s.support_log())
        self.assertEqual(3, log.count(PROMPTED), log)
        self.assertIn("proxy: login refused (3/3)", log)
        # Retry asks again, and the right login installs.
        self.assertTrue(s.click(IDRETRY, title=harness.FAILED_TITLE))
        self.log_in(s, USER, PASSWORD)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "installed after Retry", timeout_ms=40000)
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(proc)
        self.assertEqual(4, harness.read_text(s.support_log()).count(PROMPTED))

if __name__ == "__main__":
    unittest.main()
