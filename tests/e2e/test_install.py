"""The installer from end to end, driven as a user would: the real executable
under Wine, a real vendor server on the compiled-in port, clicks and typing
through real input, the stand-in setup package and launcher."""
import contextlib
import os
import sys
import time
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402
from nginx_server import NginxServer  # noqa: E402

PORT = harness.server_port()
RUN_KEY = harness.hklm_software(r"Microsoft\Windows\CurrentVersion\Run")
OTHER_RUN_KEY = harness.hklm_software(r"Microsoft\Windows\CurrentVersion\Run", view32=False)
UNINSTALL_KEY = harness.hklm_software(r"Microsoft\Windows\CurrentVersion\Uninstall"
                                      r"\{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1")
ARTIFACTS = os.path.join(harness.BUILD, "artifacts", "e2e")
ETAG = "5f3c-velmora"


class InstallerTest(harness.TestCase):
    def fault_site(self, package=None, **package_options):
        """The fault server on the vendor port, serving the manifest and the package."""
        server = self.enterContext(FaultServer(PORT))
        package = package or vendor.package_bytes()
        vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT), package=package))
        server.script(vendor.PACKAGE_PATH, body=package, **package_options)
        return server

    def register_recorder(self, s, cls_key):
        """Serves a shell verb with the launcher stand-in, which records its arguments."""
        os.makedirs(s.c_drive("verbs"), exist_ok=True)
        with open(os.path.join(harness.BUILD, "tests", "vlLauncher.exe"), "rb") as src, \
                open(s.c_drive("verbs", "vlLauncher.exe"), "wb") as dst:
            dst.write(src.read())
        s.reg("add", cls_key, "/ve", "/d", '"C:\\verbs\\vlLauncher.exe" "%1"', "/f")
        return s.c_drive("verbs", "vlLauncher.log")

    # ---------------------------------------------------------------------

    def test_full_install_with_defaults_against_nginx(self):
        site = os.path.join(harness.BUILD, "e2e-site")
        vendor.make_site(site, PORT)
        with NginxServer(site, os.path.join(harness.BUILD, "e2e-nginx"), PORT) as nginx:
            s = self.session()
            # Slow enough to see the progress page with its simulated setup progress.
            proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "2500"})
            controls = s.controls()
            self.assertEqual("C:\\velmora", controls[RES.IDC_EDIT_INSTALL_DIR]["text"])
            self.assertTrue(controls[RES.IDC_BTN_INSTALL]["enabled"])
            self.assertFalse(controls[RES.IDC_STATIC_PATH_ERROR]["visible"])
            options = s.shot()
            harness.write_png(options, os.path.join(ARTIFACTS, "options.png"))
            r, g, b, _ = options.at(530, 380)  # Install button
            self.assertTrue(r > 200 and 100 < g < 200 and b < 120, "orange Install button, got %r" % ((r, g, b),))

            s.click(RES.IDC_BTN_INSTALL)
            self.expect_visible(s, RES.IDC_PROGRESS)
            self.assertTrue(self.wait_for(lambda: "done" not in harness.read_text(s.c_drive("velmora-standin.log"))
                                          and "start" in harness.read_text(s.c_drive("velmora-standin.log"))))
            # A tick of the simulated setup progress fills the bar's start.
            def filled(image):
                return any(b > 150 and b > r + 40 for r, g, b, _ in (image.at(x, 336) for x in range(24, 60)))

            progress = s.shot_showing(filled)
            harness.write_png(progress, os.path.join(ARTIFACTS, "progress.png"))
            c = s.controls()
            self.assertTrue(c[RES.IDC_STATIC_STATUS]["visible"])
            self.assertFalse(c[RES.IDC_STATIC_PERCENT]["visible"], "the percentage hides once the setup runs")
            self.assertTrue(filled(progress), "blue fill at the bar's start")

            self.expect_visible(s, RES.IDC_BTN_FINISH, "finish page", timeout_ms=30000)
            def title_drawn(image):
                title = [image.at(x, y) for x in range(23, 213) for y in range(283, 309)]
                return any(r < 90 and g < 90 and b < 90 for r, g, b, _ in title)

            finish = s.shot_showing(title_drawn)
            harness.write_png(finish, os.path.join(ARTIFACTS, "finish.png"))
            self.assertTrue(title_drawn(finish), "finish title drawn")

            log = harness.read_text(s.c_drive("velmora-standin.log"))
            self.assertIn('args /DIR="C:\\velmora\\" /verysilent /norestart', log)
            s.click(RES.IDC_BTN_FINISH)
            self.assert_ended(proc)
            self.assertTrue(self.wait_for(lambda: "started" in harness.read_text(s.c_drive("velmora", "vlLauncher.log"))),
                            "Finish starts the launcher")
            self.assertIsNone(s.reg_value(RUN_KEY, "Velmora"))
            self.assertFalse(os.path.exists(s.staging("velmora.exe")), "package deleted")
            requests = nginx.requests()
            self.assertTrue(requests[0][0].startswith("GET " + vendor.MANIFEST_PATH + "?versionCode=1&osVersion="))
            self.assertTrue(requests[1][0].startswith("GET " + vendor.MANIFEST_PATH + ".sig?versionCode=1&osVersion="))
            # One request for the package: its first reply's body is the download.
            self.assertEqual([("GET %s HTTP/1.1" % vendor.PACKAGE_PATH, 200)], [r[:2] for r in requests[2:]])

    def test_start_at_logon_and_taskbar_cleared_on_both_os_families(self):
        self.fault_site()
        # The Run key of the 32-bit view on both families, never the other
        # (a 64-bit system's own, or a decoy on a 32-bit one).
        for winver in ("win7", "winxp"):
            with self.subTest(winver=winver), harness.Session() as s:
                self.assertTrue(s.set_winver(winver))
                s.reg("add", OTHER_RUN_KEY, "/f")
                unpinned = self.register_recorder(s, r"HKLM\SOFTWARE\Classes\lnkfile\shell\TaskbarUnpin\command")
                proc = self.start(s)
                s.click(RES.IDC_CHK_AUTORUN)
                s.click(RES.IDC_CHK_TASKBAR)
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_visible(s, RES.IDC_BTN_FINISH, timeout_ms=30000)
                s.click(RES.IDC_BTN_FINISH)
                self.assert_ended(proc)
                self.assertEqual("C:\\velmora\\vlLauncher.exe", s.reg_value(RUN_KEY, "Velmora"))
                self.assertIsNone(s.reg_value(OTHER_RUN_KEY, "Velmora"))
                self.assertIn("AutoRun=1", harness.read_text(s.c_drive("velmora", "config", "config.ini")))
                if winver == "winxp":
                    ql = s.c_drive("users")
                    left = [os.path.join(d, f) for d, _, fs in os.walk(ql) for f in fs
                            if f == "Velmora.lnk" and "Quick Launch" in d]
                    self.assertEqual([], left, "Quick Launch shortcut deleted")
                else:
                    self.assertTrue(self.wait_for(lambda: "Velmora.lnk" in harness.read_text(unpinned)),
                                    "TaskbarUnpin on the desktop shortcut")

    def test_earlier_installation_folder_is_proposed(self):
        # A rejected one is shown as such from the start: it used to be
        # proposed with Install disabled and no error shown.
        self.fault_site()
        for folder, accepted in (("C:\\Games\\Velmora", True), ("Q:\\Velmora", False)):
            with self.subTest(folder=folder):
                s = self.session()
                s.reg("add", UNINSTALL_KEY, "/v", "Inno Setup: App Path", "/d", folder, "/f")
                proc = self.start(s)
                c = s.controls()
                self.assertEqual(folder, c[RES.IDC_EDIT_INSTALL_DIR]["text"])
                self.assertEqual(not accepted, c[RES.IDC_STATIC_PATH_ERROR]["visible"])
                self.assertEqual(accepted, c[RES.IDC_BTN_INSTALL]["enabled"])
                s.key("18+115")  # Alt+F4 on the options page
                self.assert_ended(proc)

    def test_interrupted_download_resumes_on_the_next_run(self):
        package = vendor.package_bytes()
        cut = len(package) // 3
        # Dropped at a third, then the server loses the package: the run fails.
        server = self.fault_site(status=404)
        server.script(vendor.PACKAGE_PATH, once=True, body=package, etag=ETAG, drop_after=cut)
        s = self.session()
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_failure_box(s, proc, "E-SRV")
        partial = s.staging(vendor.partial_name(package))
        with open(partial, "rb") as f:
            kept = f.read()
        self.assertGreater(len(kept), 0)
        self.assertEqual(package[:len(kept)], kept, "the partial file holds the package's first bytes")

        server.script(vendor.PACKAGE_PATH, body=package, etag=ETAG)
        proc = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_BTN_FINISH, "the resumed run completes", timeout_ms=30000)
        ranges = [h.decode("latin-1") for h in server.requests() if b"Range:" in h]
        self.assertTrue(any(vendor.resumes_by_hash(h, len(kept)) for h in ranges), ranges)
        self.assertIn("done 0", harness.read_text(s.c_drive("velmora-standin.log")), "the resumed package runs")
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(proc)
        self.assertFalse(os.path.exists(partial))

    def test_setup_failure_codes_end_with_the_failure_box(self):
        self.fault_site()
        for code in ("1", "4"):
            with self.subTest(code=code), harness.Session() as s:
                proc = self.start(s, env={"VELMORA_STANDIN_EXIT": code})
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_failure_box(s, proc, "E-SETUP-" + code)
                self.assertEqual([], [n for n in os.listdir(s.staging()) if n.endswith(".exe")],
                                 "Cancel deletes the package")

    def test_without_a_manifest_the_window_opens_and_install_fails(self):
        cases = (("server down", None, "E-NET"),
                 ("404", dict(document=b"{}", status=404), "E-SRV"),
                 ("rejected", dict(document=b'{"code": 101, "result": {}}'), "E-SRV"))
        for name, reply, code in cases:
            with self.subTest(name), contextlib.ExitStack() as stack:
                if reply:
                    vendor.serve_manifest(stack.enter_context(FaultServer(PORT)), **reply)
                s = stack.enter_context(harness.Session())
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_failure_box(s, proc, code)

    @harness.long_running
    def test_folder_check_while_typing(self):
        self.fault_site()
        s = self.session()
        proc = self.start(s)
        cases = (("C:\\games", True), ("C:\\a*b", False), ("Q:\\velmora", False), ("C:", False),
                 ("C:\\", True), ("C:\\a/b/", True), ("C:\\" + "a" * 300, False), ("", False))
        for text, accepted in cases:
            with self.subTest(text=text):
                s.type_text(RES.IDC_EDIT_INSTALL_DIR, text) if text else s.type_text(RES.IDC_EDIT_INSTALL_DIR, "x")
                if not text:
                    s.key(8)  # Backspace: empty box
                # Long texts take a while to type.
                self.wait_for(lambda: s.controls()[RES.IDC_EDIT_INSTALL_DIR]["text"] == text, seconds=5)
                c = s.controls()
                self.assertEqual(text, c[RES.IDC_EDIT_INSTALL_DIR]["text"])
                self.assertEqual(not accepted, c[RES.IDC_STATIC_PATH_ERROR]["visible"])
                self.assertEqual(accepted, c[RES.IDC_BTN_INSTALL]["enabled"])
        # Install needs an accepted folder and the agreement, in either order.
        steps = (("untick", None, False), ("tick", None, False),  # over the rejected (empty) folder
                 ("untick", None, False), ("type", "C:\\games", False), ("tick", None, True),
                 ("type", 'C:\\x" /LOG="C:\\y', False), ("untick", None, False), ("tick", None, False),
                 ("type", "C:\\games", True))
        for action, text, enabled in steps:
            with self.subTest(action=action, text=text):
                if action == "type":
                    s.type_text(RES.IDC_EDIT_INSTALL_DIR, text)
                else:
                    time.sleep(0.6)  # two quick clicks would be a double-click, which is no click
                    s.click(RES.IDC_CHK_AGREE)
                self.assertEqual(enabled, s.controls()[RES.IDC_BTN_INSTALL]["enabled"])
        # Install pressed by a message over a rejected folder does nothing.
        # The message is sent, so the handler has ended when command
        # returns: a run it started would have switched the page and logged
        # its start by then.
        s.type_text(RES.IDC_EDIT_INSTALL_DIR, 'C:\\x" /LOG="C:\\y')
        self.assertTrue(s.command(RES.IDC_BTN_INSTALL))
        self.assertTrue(s.controls()[RES.IDC_EDIT_INSTALL_DIR]["visible"], "still on the options page")
        self.assertNotIn("install: into", harness.read_text(s.support_log()), "no run started")
        self.assertEqual("", harness.read_text(s.c_drive("velmora-standin.log")), "no setup ran")
        s.probe("close", harness.WINDOW_TITLE)
        self.assert_ended(proc)

    def test_folder_is_cleaned_on_install(self):
        self.fault_site()
        for typed, stored in (("C:\\a/b/", "C:\\a\\b"), ("C:\\", "C:")):
            with self.subTest(typed=typed), harness.Session() as s:
                proc = self.start(s)
                s.type_text(RES.IDC_EDIT_INSTALL_DIR, typed)
                s.click(RES.IDC_BTN_INSTALL)
                self.expect_visible(s, RES.IDC_BTN_FINISH, timeout_ms=30000)
                self.assertIn('args /DIR="%s\\" /verysilent /norestart' % stored,
                              harness.read_text(s.c_drive("velmora-standin.log")))
                if stored == "C:":
                    s.key("18+115")  # Alt+F4 on the finish page: no launcher
                    self.assert_ended(proc)
                    self.assertFalse(os.path.exists(s.c_drive("velmora", "vlLauncher.log")))
                else:
                    s.click(RES.IDC_BTN_FINISH)
                    self.assert_ended(proc)

    def test_closing_while_the_setup_runs_leaves_it_running(self):
        self.fault_site()
        s = self.session()
        proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "3000"})
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_STATIC_PERCENT, "the setup started", visible=False)
        s.click("603,17")  # the caption close button
        self.assert_ended(proc, seconds=10)
        self.assertNotIn("done", harness.read_text(s.c_drive("velmora-standin.log")), "the program did not wait for it")
        self.assertTrue(self.wait_for(lambda: "done 0" in harness.read_text(s.c_drive("velmora-standin.log"))),
                        "the setup ran to its end")
        self.assertTrue(os.path.exists(s.c_drive("velmora", "vlLauncher.exe")))

    def test_escape_and_enter_do_nothing_and_close_ends_at_any_time(self):
        package = vendor.package_bytes() * 40  # large and slow: closing lands mid-download
        self.fault_site(package=package, etag=ETAG, throttle=(65536, 0.2))
        s = self.session()
        proc = self.start(s)
        for vk in (27, 13):  # Escape, Enter
            s.key(vk)
            # Input is handled in order: once text typed after the key has
            # arrived, the key has been handled too.
            folder = "C:\\games%d" % vk
            s.type_text(RES.IDC_EDIT_INSTALL_DIR, folder)
            self.assertEqual(folder, s.controls()[RES.IDC_EDIT_INSTALL_DIR]["text"], "the key was handled")
            self.assertIsNone(proc.poll())
            self.assertTrue(s.controls()[RES.IDC_EDIT_INSTALL_DIR]["visible"], "still on the options page")
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_PROGRESS)
        partial = s.staging(vendor.partial_name(package))
        self.assertTrue(self.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0))
        s.click("603,17")  # the caption close button
        t0 = time.monotonic()
        self.assert_ended(proc, seconds=15)
        self.assertLess(time.monotonic() - t0, 10, "closing during the download ends the program promptly")
        self.assertGreater(os.path.getsize(partial), 0, "the partial file stays for the next run")
        self.assertFalse(s.wait_window(timeout_ms=100))

    def test_license_link_opens_the_agreement_page(self):
        self.fault_site()
        s = self.session()
        opened = self.register_recorder(s, r"HKLM\SOFTWARE\Classes\http\shell\open\command")
        proc = self.start(s)
        s.click(RES.IDC_LINK_LICENSE)
        self.assertTrue(self.wait_for(lambda: "agreement.html" in harness.read_text(opened)), harness.read_text(opened))
        self.assertIn("http://127.0.0.1:%d/agreement.html" % PORT, harness.read_text(opened))
        s.probe("close", harness.WINDOW_TITLE)
        self.assert_ended(proc)


if __name__ == "__main__":
    unittest.main()
