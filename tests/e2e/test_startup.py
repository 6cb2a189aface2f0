"""The installer starts under Wine, shows its dialog and ends when closed."""
import os
import unittest

import harness

FAILED_TITLE = "无法启动安装向导"
IDOK = 1


class StartupTest(harness.TestCase):
    def test_dialog_shows_its_controls_creates_download_folder_and_closes(self):
        with harness.Session() as s:
            proc = s.start_installer()
            seconds = s.wait_window()
            self.assertIsNotNone(seconds, "the installer window did not appear")
            tree = s.tree()
            ids = sorted(c["id"] for c in tree["children"])
            for name, control_id in vars(harness.RES).items():
                if name.startswith("IDC_"):
                    self.assertIn(control_id, ids, name)
            self.assertTrue(os.path.isdir(s.staging()), "ProgramData\\CorvaneVelmora is created at start")
            self.assertFalse(os.path.exists(s.documents("CorvaneVelmora")), "the old download folder is not used")
            s.probe("close", harness.WINDOW_TITLE)
            self.assert_ended(proc, seconds=30)
            self.assertEqual(0, proc.returncode)

    def test_a_window_that_cannot_be_created_is_named_and_ends_non_zero(self):
        with harness.Session() as s:
            # A template the program does not hold: CreateDialogParam fails
            # with ERROR_RESOURCE_NAME_NOT_FOUND (1814).
            proc = s.start_installer(env={"VELMORA_TEST_DIALOG": "9999"})
            self.assertIsNotNone(s.wait_window(FAILED_TITLE), "a message box names the failure")
            text = "\n".join(c["text"] for c in s.tree(FAILED_TITLE)["children"])
            self.assertRegex(text, r"原因：\S.*（错误代码 1814）", "the system's text for the error and its code")
            self.assertIn("VelmoraInstaller.log", text)
            self.assertIsNone(s.wait_window(timeout_ms=0), "no installer window")
            s.click(IDOK, title=FAILED_TITLE)
            self.assert_ended(proc)
            self.assertNotEqual(0, proc.returncode)
            self.assertIn("window: the dialog cannot be created, error 1814", harness.read_text(s.support_log()))


if __name__ == "__main__":
    unittest.main()
