"""The warm sessions the tests borrow (seats.py): what one test changes in
a seat, of every kind a test can, is undone before the next test borrows
it, and a seat that cannot be put back is never lent again."""
import os
import subprocess
import tempfile
import time
import unittest

import harness
import seats

KEY = "HKEY_CURRENT_USER\\Software\\Velmora\\SeatTest"
RUN = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
DESKTOP = "HKEY_CURRENT_USER\\Control Panel\\Desktop"
# Every value type, a value added to a key the session had, to one it had
# only as the parent of others (a key Wine does not save), a value changed,
# one deleted, a key the session had deleted.
CHANGES = "\r\n".join([
    "Windows Registry Editor Version 5.00", "",
    "[%s\\Deeper]" % KEY,
    '"text"="a \\"quoted\\" 值"',
    '"expand"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00',
    '"multi"=hex(7):61,00,00,00,62,00,00,00,00,00',
    '"number"=dword:0000002a',
    '"bytes"=hex:00,01,fe,ff',
    "", "[%s]" % RUN, '"SeatTest"="C:\\\\seat.exe"',
    "", "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion]", '"SeatTest"="x"',
    "", "[%s]" % DESKTOP, '"LogPixels"=dword:00000090', '"WheelScrollLines"=-',
    "", "[-HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]", "", ""])


def command_line(pid):
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        return f.read()


class SeatTest(unittest.TestCase):
    def setUp(self):
        seats.make_prefix(harness.BUILD)
        self.top = tempfile.mkdtemp(prefix="seats-test.", dir=os.path.join(harness.BUILD, "wine"))
        self.addCleanup(seats.stop_all, harness.BUILD, self.top)

    def wine(self, seat, *args, wait=True):
        if not wait:
            return seats.spawn([seat.wineloader, *args], env=seat.env())
        return subprocess.run([seat.wineloader, *args], env=seat.env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def registry_changes(self, seat):
        saved = tempfile.mkdtemp(dir=seat.folder)
        self.assertEqual(0, seat.command("save", seats.windows_path(saved))[0])
        return seats.undo_lines(seat.reference, saved)

    def test_what_a_test_changes_is_undone_before_the_seat_is_lent_again(self):
        seat = seats.acquire(harness.BUILD, self.top)
        files = seats.tree_map(seat.prefix)
        system = list(seat.info["system"])
        c = seat.prefix + "/drive_c"

        reg = os.path.join(c, "changes.reg")
        with open(reg, "wb") as f:
            f.write(b"\xff\xfe" + CHANGES.encode("utf-16-le"))
        self.assertEqual(0, self.wine(seat, "C:\\windows\\regedit.exe", "/S", "C:\\changes.reg").returncode)
        self.assertGreaterEqual(len(self.registry_changes(seat)), 5, "the changes are there to undo")
        os.makedirs(c + "/Program Files/Velmora/bin")
        with open(c + "/Program Files/Velmora/bin/new.exe", "wb") as f:
            f.write(b"MZ")
        os.remove(c + "/windows/win.ini")
        with open(c + "/windows/system.ini.new", "w") as f:
            f.write("[replaced]\n")
        os.replace(c + "/windows/system.ini.new", c + "/windows/system.ini")
        os.chmod(c + "/ProgramData", 0o700)
        os.symlink("/tmp", seat.prefix + "/dosdevices/q:")
        left = self.wine(seat, "cmd.exe", "/c", "ping -n 60 127.0.0.1", wait=False)
        self.assertTrue(harness.wait_for(lambda: left in seats.wine_processes(seat.prefix), 10))
        folder = seat.folder
        seats.release(seat)
        self.assertFalse(seats.alive(left), "the program the test left was ended")

        seat = seats.acquire(harness.BUILD, self.top)
        self.assertEqual(folder, seat.folder, "put back, not dropped")
        self.assertEqual([], self.registry_changes(seat))
        now = seats.tree_map(seat.prefix)
        self.assertEqual(sorted(files), sorted(now))
        for rel in files:  # copies put back are new files: all else is as before
            self.assertEqual(files[rel][0::2], now[rel][0::2], rel)
        with open(c + "/windows/system.ini") as f:
            self.assertNotIn("[replaced]", f.read())
        self.assertEqual(sorted(system), sorted(seats.wine_processes(seat.prefix)))
        seats.release(seat)

    def test_a_seat_whose_session_lost_a_process_is_not_lent_again(self):
        seat = seats.acquire(harness.BUILD, self.top)
        folder = seat.folder
        explorer = next(pid for pid in seat.info["system"] if b"explorer.exe" in command_line(pid).lower())
        os.kill(explorer, 9)
        self.assertTrue(harness.wait_for(lambda: not seats.alive(explorer), 10))
        seats.release(seat)
        self.assertFalse(os.path.exists(folder), "dropped")
        seat = seats.acquire(harness.BUILD, self.top)
        self.assertNotEqual(folder, seat.folder)
        seats.release(seat)


if __name__ == "__main__":
    unittest.main()
