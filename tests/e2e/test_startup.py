"""The installer starts under Wine, shows its dialog and ends when closed."""
import os
import unittest

import harness


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


if __name__ == "__main__":
    unittest.main()
