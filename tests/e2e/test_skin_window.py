"""The installer's skinned window as it appears: frame, shape, caption
buttons, page layout, and the skin's pixels on the screen."""
import os
import unittest

import harness
from harness import RES

PNG = os.path.join(harness.SOURCE, "res", "png")
# The skin's caption buttons: IDs of the skin (skin/DlgEx.h), not of res/resource.h.
IDC_CAPTION_CLOSE, IDC_CAPTION_MIN, IDC_CAPTION_MAX = 50000, 50001, 50002

# Options page, client coordinates [left, top, right, bottom].
VISIBLE = {
    RES.IDC_GROUP_INSTALL_DIR: [23, 270, 515, 308], RES.IDC_BTN_BROWSE: [515, 277, 601, 307],
    RES.IDC_EDIT_INSTALL_DIR: [25, 285, 513, 305], RES.IDC_BTN_INSTALL: [460, 360, 600, 400],
    IDC_CAPTION_CLOSE: [595, 10, 612, 25], IDC_CAPTION_MIN: [568, 10, 585, 25],
}
# Check boxes fit themselves to box and label at their first paint.
CHECK_BOXES = {RES.IDC_CHK_AUTORUN: (23, 340), RES.IDC_CHK_TASKBAR: (210, 340), RES.IDC_CHK_AGREE: (23, 375)}
HIDDEN = {
    RES.IDC_PROGRESS: [23, 335, 603, 339], RES.IDC_STATIC_STATUS: [23, 350, 540, 370],
    RES.IDC_STATIC_PERCENT: [570, 350, 620, 370], RES.IDC_STATIC_DONE_TITLE: [23, 283, 443, 309],
    RES.IDC_STATIC_DONE_HINT: [23, 320, 443, 342], RES.IDC_CHK_RUN_CLIENT: [23, 375, 73, 405],
    RES.IDC_BTN_FINISH: [460, 360, 600, 400], RES.IDC_STATIC_PATH_ERROR: [22, 317, 141, 329],
}
# The owner-drawn controls' skin frames the options page shows: strip, its
# frame count, the frame, and where (client coordinates).
FRAMES = {
    "caption buttons": [("close.png", 4, 0, 595, 10), ("minimize.png", 4, 0, 568, 10)],
    "push buttons": [("browse.png", 4, 0, 515, 277), ("install.png", 4, 0, 460, 360)],
    "option boxes": [("checkbox.png", 7, 0, 23, 340),    # start at logon: clear
                     ("checkbox.png", 7, 3, 210, 340),   # taskbar: checked
                     ("checkbox.png", 7, 3, 23, 375)],   # agreement: checked
}


def wrong_pixels(shot, background, png, frames, frame, x0, y0):
    """Where the window at (x0, y0) does not show frame `frame` of the
    strip: opaque pixels as drawn, transparent ones the background behind
    them."""
    image = harness.read_png(os.path.join(PNG, png))
    fw = image.width // frames
    wrong = []
    for y in range(image.height):
        for x in range(fw):
            r, g, b, a = image.at(frame * fw + x, y)
            if a == 255:
                expected = (r, g, b)
            elif a == 0:
                expected = background.at(x0 + x, y0 + y)[:3]
            else:
                continue  # blended over white: the loader's own tests cover it
            if shot.at(x0 + x, y0 + y)[:3] != expected:
                wrong.append((x, y))
    return wrong


OWNER_DRAWN = (RES.IDC_BTN_BROWSE, RES.IDC_CHK_AUTORUN, RES.IDC_CHK_TASKBAR, RES.IDC_CHK_AGREE, RES.IDC_BTN_INSTALL,
               RES.IDC_CHK_RUN_CLIENT, RES.IDC_BTN_FINISH, IDC_CAPTION_CLOSE, IDC_CAPTION_MIN)


class SkinWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Closed after tearDownClass, or at once when setUpClass fails.
        cls.session = cls.enterClassContext(harness.Session())
        cls.proc = cls.session.start_installer()
        if cls.session.wait_window() is None:
            raise AssertionError("the installer window did not appear")
        cls.tree = cls.session.tree()
        cls.children = {c["id"]: c for c in cls.tree["children"]}
        cls.region = cls.session.region()
        cls.background = harness.read_png(os.path.join(PNG, "background.png"))
        # The owner-drawn controls paint a moment after the window shows.
        cls.shot = cls.session.shot_showing(lambda shot: not any(
            wrong_pixels(shot, cls.background, *frame) for frames in FRAMES.values() for frame in frames))

    @classmethod
    def tearDownClass(cls):
        cls.session.probe("close", harness.WINDOW_TITLE)
        if not harness.wait_ended(cls.proc, 30):
            raise AssertionError("the installer was still running after 30 s (now stopped)")

    def test_window_is_the_background_size_without_frame_or_cut_corners(self):
        left, top, right, bottom = self.tree["rect"]
        self.assertEqual((622, 422), (right - left, bottom - top))
        self.assertEqual([0, 0, 622, 422], self.tree["client"])
        self.assertEqual(0, self.tree["style"] & 0x00C00000, "no caption")
        self.assertTrue(self.tree["style"] & 0x00020000, "minimise box")
        self.assertEqual("Velmora安装向导", self.tree["text"])
        # The background has no key-coloured corner pixel: the region, if
        # any, is the whole rectangle.
        if self.region["type"] != 0:
            self.assertEqual(2, self.region["type"], "SIMPLEREGION")
            self.assertEqual([0, 0, 622, 422], self.region["box"])

    def test_options_page_shows_with_every_control_in_place(self):
        for cid, rect in VISIBLE.items():
            self.assertEqual(rect, self.children[cid]["rect"], cid)
            self.assertTrue(self.children[cid]["visible"], cid)
        for cid, (x, y) in CHECK_BOXES.items():
            left, top, right, bottom = self.children[cid]["rect"]
            self.assertEqual((x, y), (left, top), cid)
            self.assertGreater(right - left, 14 + 5, "box, gap and label")
            self.assertGreaterEqual(bottom - top, 14)
            self.assertTrue(self.children[cid]["visible"], cid)
        link = self.children[RES.IDC_LINK_LICENSE]
        self.assertEqual([120, 375, 240], link["rect"][:3])
        self.assertGreaterEqual(link["rect"][3], 405)
        self.assertTrue(link["style"] & 0x100, "SS_NOTIFY: clicks reach the dialog")
        for cid, rect in HIDDEN.items():
            self.assertEqual(rect, self.children[cid]["rect"], cid)
            self.assertFalse(self.children[cid]["visible"], cid)
        for cid in OWNER_DRAWN:
            self.assertEqual(0x0B, self.children[cid]["style"] & 0x0F, cid)
        self.assertEqual("C:\\velmora", self.children[RES.IDC_EDIT_INSTALL_DIR]["text"])
        self.assertNotIn(IDC_CAPTION_MAX, self.children, "no maximise button")

    def test_background_is_painted_pixel_for_pixel(self):
        caption_buttons = [(568, 10, 585, 25), (595, 10, 612, 25)]
        wrong = [(x, y) for x, y in self.shot.differing(self.background, (0, 0, 622, 270))
                 if not any(l <= x < r and t <= y < b for l, t, r, b in caption_buttons)]
        self.assertEqual([], wrong[:10], "%d pixels differ from the background image" % len(wrong))

    def assert_shows_frames(self, frames):
        for png, count, frame, x0, y0 in frames:
            wrong = wrong_pixels(self.shot, self.background, png, count, frame, x0, y0)
            self.assertEqual([], wrong[:10], "%s frame %d at %d,%d: %d pixels differ" % (png, frame, x0, y0,
                                                                                       len(wrong)))

    def test_caption_and_push_buttons_show_their_normal_frame(self):
        self.assert_shows_frames(FRAMES["caption buttons"] + FRAMES["push buttons"])

    def test_option_boxes_show_their_check_states(self):
        self.assert_shows_frames(FRAMES["option boxes"])


if __name__ == "__main__":
    unittest.main()
