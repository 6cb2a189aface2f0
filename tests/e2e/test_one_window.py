"""One installer window per user session: a second start brings the first
window to the front, restored if it was minimised, and ends with exit code 0
within 2 seconds, without touching the download folder, the support log or
the network; the first one goes on as if nothing happened."""
import os
import shutil
import sys

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402

PORT = harness.server_port()
IDC_CAPTION_MIN = 50001  # the skin's minimise button (skin/DlgEx.h)
ETAG = "one-window"


class OneWindowTest(harness.TestCase):
    def site(self, **package_options):
        server = self.enterContext(FaultServer(PORT))
        package = vendor.package_bytes()
        vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT), package=package))
        server.script(vendor.PACKAGE_PATH, body=package, etag=ETAG, **package_options)
        return server

    def start_again(self, s):
        """Starts the installer a second time in s: it must end with exit
        code 0 within 2 seconds, leaving one installer window."""
        ended = s.lifetime()
        self.assertIsNotNone(ended, "the second start did not end")
        code, took = ended
        self.assertEqual(0, code)
        self.assertLess(took, 2.0, "the second start took %.1f s" % took)
        self.assertEqual(1, s.count())

    def test_second_start_on_the_options_page_brings_the_minimised_window_back(self):
        server = self.site()
        s = self.session()
        first = self.start(s)
        # The first start has asked for the manifest and made its folder.
        self.assertTrue(self.wait_for(lambda: len(server.requests()) >= 2 and os.path.isdir(s.staging())))
        s.click(IDC_CAPTION_MIN)
        self.assertTrue(self.wait_for(lambda: s.tree()["iconic"]), "minimised")
        shutil.rmtree(s.staging())  # were it made again, the second start would have
        asked = len(server.requests())

        self.start_again(s)
        self.assertTrue(self.wait_for(lambda: not s.tree()["iconic"] and s.tree()["foreground"]),
                        "the first window restored and in front")
        self.assertFalse(os.path.exists(s.staging()), "the second start made no download folder")
        self.assertEqual(asked, len(server.requests()), "the second start asked the server nothing")
        self.assertEqual(1, harness.read_text(s.support_log()).count("Velmora installer "),
                         "one start in the support log")
        s.key("18+115")  # Alt+F4: the first one still answers
        self.assert_ended(first)

    def test_second_start_during_the_download_leaves_it_going_to_a_finished_install(self):
        # About 4 s for the 2 MB package.
        server = self.site(throttle=(65536, 0.125))
        s = self.session()
        first = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_PROGRESS)
        partial = s.staging(vendor.partial_name(vendor.package_bytes()))
        self.assertTrue(self.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0))

        self.start_again(s)
        self.assertLess(os.path.getsize(partial), len(vendor.package_bytes()), "still downloading")
        self.expect_visible(s, RES.IDC_BTN_FINISH, "the install finishes", timeout_ms=60000)
        self.assertIn("done 0", harness.read_text(s.c_drive("velmora-standin.log")))
        package_requests = [h for h in server.requests() if h.startswith(b"GET " + vendor.PACKAGE_PATH.encode())]
        self.assertEqual(1, len(package_requests), "one download, the first start's")
        s.click(RES.IDC_BTN_FINISH)
        self.assert_ended(first)

    def test_a_start_while_the_first_one_is_ending_becomes_the_installer(self):
        # The download stalls: closed, the first start waits for its worker
        # a while without a window, still holding the session.
        self.site(stall_after=65536)
        s = self.session()
        first = self.start(s)
        s.click(RES.IDC_BTN_INSTALL)
        partial = s.staging(vendor.partial_name(vendor.package_bytes()))
        self.assertTrue(self.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0))
        s.probe("close", harness.WINDOW_TITLE)
        self.assertTrue(s.wait_gone())
        second = self.start(s)  # waits for the first start's end, then shows its own window
        self.assert_ended(first, 10)
        self.assertEqual(1, s.count())
        s.key("18+115")
        self.assert_ended(second)
        self.assertEqual(0, second.returncode)


if __name__ == "__main__":
    import unittest
    unittest.main()
