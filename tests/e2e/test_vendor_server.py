"""The real installer's manifest requests, as the vendor server receives
them: the manifest, then (this build has a manifest key) its signature."""
import os
import sys
import time
import unittest

import harness
import vendor

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
import fault_server  # noqa: E402

MANIFEST = "/apis/client/v1.0/client-upgrade.json"
REPLY = b'{"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://127.0.0.1/p.exe"}}'


def expected_request(os_major, path=MANIFEST, port=None):
    # Every cache on the way is asked to check with the server.
    return ("GET %s?versionCode=1&osVersion=%d HTTP/1.1\r\n"
            "Cache-Control: no-cache\r\n"
            "Pragma: no-cache\r\n"
            "Host: 127.0.0.1:%d\r\n"
            "User-Agent: JQV\r\n"
            "Accept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n\r\n"
            % (path, os_major, port or harness.server_port())).encode()


def expected_requests(os_major, port=None):
    return [expected_request(os_major, port=port), expected_request(os_major, MANIFEST + ".sig", port=port)]


class ManifestRequestTest(harness.TestCase):
    def requests_of_one_start(self, windows_version=None, port=None, env=None, log=None):
        """The requests of one start; the support log's text is appended to
        log when given."""
        with fault_server.FaultServer(port or harness.server_port()) as server, harness.Session() as s:
            vendor.serve_manifest(server, REPLY)
            if windows_version:
                # Inside the session, so that the Wine desktop it starts has the display.
                self.assertTrue(s.set_winver(windows_version))
            proc = s.start_installer(env)
            self.assertIsNotNone(s.wait_window(), "the installer window did not appear")
            # The constructor starts the query; it runs beside the window.
            deadline = time.monotonic() + 10
            while len(server.requests()) < 2 and time.monotonic() < deadline:
                time.sleep(0.1)
            requests = server.requests()
            s.probe("close", harness.WINDOW_TITLE)
            self.assert_ended(proc, seconds=30)
            if log is not None:
                log.append(harness.read_text(s.support_log()))
            return requests

    def test_request_line_and_headers_byte_for_byte(self):
        # A fresh prefix reports Windows major version 6.
        self.assertEqual(expected_requests(6), self.requests_of_one_start())

    def test_os_version_follows_the_prefix(self):
        self.assertEqual(expected_requests(5), self.requests_of_one_start("winxp"))

    def test_windows_10_is_sent_as_the_version_it_reports_and_logged_as_it_is(self):
        # Windows 10 tells a program without a compatibility list 6.2: the
        # server has always been sent that major version, and still is; the
        # support log says which Windows it really is.
        log = []
        self.assertEqual(expected_requests(6), self.requests_of_one_start("win10", log=log))
        self.assertRegex(log[0], r"on Windows 10\.0\.\d+ *, reported to it as 6\.2\.9200, ")

    def test_the_compiled_in_server_is_asked_by_default(self):
        # The other tests point the installer at a server of their own; a
        # release build has no such setting and asks the built-in one.
        port = harness.compiled_server_port()
        self.assertEqual(expected_requests(6, port),
                         self.requests_of_one_start(port=port, env={"VELMORA_TEST_SERVER": None}))


if __name__ == "__main__":
    unittest.main()
