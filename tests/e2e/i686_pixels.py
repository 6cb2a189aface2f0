"""The shipped i686 program draws what the x86_64 build the other tests use
draws: its options page at 144 DPI, pixel for pixel, each program in the
same kind of 64-bit Windows (the i686 one under WOW64). The skin painted at
that DPI goes through float arithmetic, which the i686 build does on the
x87 unit (wider intermediates) and the x86_64 build with SSE: a channel may
come out one level apart, nothing more. Run by the i686 entries
(tests/CMakeLists.txt), which name the x86_64 build of the same sources in
VELMORA_X86_64_INSTALLER."""
import os
import sys
import unittest

import harness
from harness import RES

X86_64_INSTALLER = os.environ.get("VELMORA_X86_64_INSTALLER", "")
ARTIFACTS = os.path.join(harness.BUILD, "artifacts", "e2e")
DPI = 144


class SamePixelsTest(harness.TestCase):
    def options_page(self, program):
        """The options page at DPI once drawn and still, and the rectangle of
        the folder box (where the caret blinks)."""
        s = self.session()
        s.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(DPI), "/f")
        proc = self.start(s, program=program)
        self.expect_visible(s, RES.IDC_BTN_INSTALL)
        images = []

        def still():
            images.append(s.shot())
            return len(images) > 1 and images[-1] is not None and same(images[-2], images[-1], ())

        self.assertTrue(self.wait_for(still, 20), "the page is drawn and stays")
        caret = s.controls()[RES.IDC_EDIT_INSTALL_DIR]["rect"]
        s.key("18+115")  # Alt+F4
        self.assert_ended(proc)
        return images[-1], caret

    def test_options_page_at_144_dpi_is_the_x86_64_builds(self):
        self.assertTrue(os.path.isfile(X86_64_INSTALLER), "the x86_64 build of the installer: %s" % X86_64_INSTALLER)
        self.assertEqual("i686", harness.test_arch())
        ours, caret = self.options_page(harness.INSTALLER)
        theirs, _ = self.options_page(X86_64_INSTALLER)
        harness.write_png(ours, os.path.join(ARTIFACTS, "i686-%d-options.png" % DPI))
        harness.write_png(theirs, os.path.join(ARTIFACTS, "x86_64-%d-options.png" % DPI))
        self.assertEqual((theirs.width, theirs.height), (ours.width, ours.height), "the window's size")
        rounded = differing(ours, theirs, [caret])
        wrong = differing(ours, theirs, [caret], tolerance=1)
        print("\n%d pixels one level apart in a channel" % len(rounded), file=sys.stderr)
        box = [min(x for x, _ in wrong), min(y for _, y in wrong), max(x for x, _ in wrong),
               max(y for _, y in wrong)] if wrong else None
        self.assertEqual([], wrong[:10], "%d pixels differ outside the folder box, within %s" % (len(wrong), box))


def differing(a, b, skip, tolerance=0):
    """(x, y) of the pixels whose channels differ by more than tolerance,
    those inside the skip rectangles (left, top, right, bottom) aside."""
    return [(x, y) for x, y in a.differing(b, tolerance=tolerance)
            if not any(l <= x < r and t <= y < bottom for l, t, r, bottom in skip)]


def same(a, b, skip):
    return (a.width, a.height) == (b.width, b.height) and not differing(a, b, skip)


if __name__ == "__main__":
    unittest.main()
