"""The skinned window at 96, 120, 144 and 192 DPI, as Wine sets it for a
whole prefix (HKCU\\Control Panel\\Desktop LogPixels, read as a program
starts): a full install through the options, progress and finish pages,
each page's screenshot checked for the window's size, every control in its
scaled place, texts whole on one line in their own boxes, nothing
overlapping, edges as sharp as at 96 DPI, and clicks at the scaled places
of a check box and the caption buttons."""
import os
import sys

import harness
import test_skin_window as skin
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402

PORT = harness.server_port()
ARTIFACTS = os.path.join(harness.BUILD, "artifacts", "e2e")
WHITE = (255, 255, 255)
ORANGE = (255, 146, 40)
# Design rectangles: the check boxes before they fit themselves to box and
# label, the link before it grows to its lines.
DESIGN = {**skin.VISIBLE, **skin.HIDDEN, RES.IDC_LINK_LICENSE: [120, 375, 240, 405],
          RES.IDC_CHK_AUTORUN: [23, 340, 73, 370], RES.IDC_CHK_TASKBAR: [210, 340, 290, 370],
          RES.IDC_CHK_AGREE: [23, 375, 123, 405]}
PAGES = {
    "options": (RES.IDC_GROUP_INSTALL_DIR, RES.IDC_BTN_BROWSE, RES.IDC_EDIT_INSTALL_DIR, RES.IDC_BTN_INSTALL,
                RES.IDC_CHK_AUTORUN, RES.IDC_CHK_TASKBAR, RES.IDC_CHK_AGREE, RES.IDC_LINK_LICENSE,
                skin.IDC_CAPTION_CLOSE, skin.IDC_CAPTION_MIN),
    "progress": (RES.IDC_PROGRESS, RES.IDC_STATIC_STATUS, skin.IDC_CAPTION_CLOSE, skin.IDC_CAPTION_MIN),
    "finish": (RES.IDC_STATIC_DONE_TITLE, RES.IDC_STATIC_DONE_HINT, RES.IDC_CHK_RUN_CLIENT, RES.IDC_BTN_FINISH,
               skin.IDC_CAPTION_CLOSE, skin.IDC_CAPTION_MIN),
}
# Each label's text and the height of its font at 96 DPI: the check boxes
# and the link in the dialog's 12-pixel font (their label right of a
# 14-pixel box and a 5-pixel gap), the others in their own.
TEXTS = {
    "options": {RES.IDC_CHK_AUTORUN: 12, RES.IDC_CHK_TASKBAR: 12, RES.IDC_CHK_AGREE: 12, RES.IDC_LINK_LICENSE: 12},
    "progress": {RES.IDC_STATIC_STATUS: 22},
    "finish": {RES.IDC_STATIC_DONE_TITLE: 26, RES.IDC_STATIC_DONE_HINT: 20, RES.IDC_CHK_RUN_CLIENT: 12},
}
CHECK_BOXES = (RES.IDC_CHK_AUTORUN, RES.IDC_CHK_TASKBAR, RES.IDC_CHK_AGREE, RES.IDC_CHK_RUN_CLIENT)
LABELS = (RES.IDC_LINK_LICENSE, RES.IDC_STATIC_STATUS, RES.IDC_STATIC_DONE_TITLE, RES.IDC_STATIC_DONE_HINT)


def scale(v, dpi):
    """v design pixels at dpi, rounded half away from zero (MulDiv)."""
    return (2 * v * dpi + 96) // 192 if v >= 0 else -scale(-v, dpi)


def scale_rect(rect, dpi):
    return [scale(v, dpi) for v in rect]


def difference(a, b):
    return max(abs(x - y) for x, y in zip(a[:3], b[:3]))


def ramp(pixels, outside, inside):
    """How many of pixels lie clearly between the colours outside and
    inside: the soft part of an edge."""
    contrast = difference(outside, inside)
    return sum(1 for p in pixels if min(difference(p, outside), difference(p, inside)) > contrast // 5)


class DpiTest(harness.TestCase):
    def install_at(self, dpi):
        server = self.enterContext(FaultServer(PORT))
        package = vendor.package_bytes()
        vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT), package=package))
        server.script(vendor.PACKAGE_PATH, body=package, etag="dpi", throttle=(65536, 0.0625))
        s = self.session()
        s.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
        # The progress page lasts the download (2 s) and the setup (6 s): long
        # enough for its checks on a loaded machine.
        proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "6000"})
        tree = s.tree()
        left, top, right, bottom = tree["rect"]
        self.assertEqual((scale(622, dpi), scale(422, dpi)), (right - left, bottom - top), "the window's size")
        self.assertEqual([0, 0, right - left, bottom - top], tree["client"])

        # The caption buttons are windows of their own, drawn on their own.
        options = self.page(s, dpi, "options", lambda image: self.minimise_bar(image, dpi))
        self.assert_sharp(options, s.controls(), dpi)
        # A click at the scaled place of the start-at-logon box ticks it.
        box = scale_rect([23, 340, 37, 354], dpi)
        self.assertEqual(0, self.orange(options, box), "the box starts clear")
        s.click("%d,%d" % ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2))
        self.assertGreater(self.orange(s.shot_showing(lambda image: self.orange(image, box)), box), 0, "ticked")

        s.click(RES.IDC_BTN_INSTALL)
        self.expect_visible(s, RES.IDC_PROGRESS)
        bar = scale_rect(DESIGN[RES.IDC_PROGRESS], dpi)

        def filled(image):
            y = (bar[1] + bar[3]) // 2
            return any(b > 150 and b > r + 40 for r, g, b, _ in (image.at(x, y) for x in range(bar[0] + 1, bar[0] + 40)))

        self.assertTrue(filled(self.page(s, dpi, "progress", filled)), "the bar's fill at its scaled place")

        self.expect_visible(s, RES.IDC_BTN_FINISH, "finish page", timeout_ms=60000)
        title = scale_rect(DESIGN[RES.IDC_STATIC_DONE_TITLE], dpi)
        self.page(s, dpi, "finish", lambda image: self.ink(image, title))
        self.assertIn("done 0", harness.read_text(s.c_drive("velmora-standin.log")), "the setup ran and succeeded")

        # The caption buttons at their scaled places: minimise, then close.
        for cid, check in ((skin.IDC_CAPTION_MIN, lambda: s.tree()["iconic"]), (skin.IDC_CAPTION_CLOSE, None)):
            rect = scale_rect(DESIGN[cid], dpi)
            s.click("%d,%d" % ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2))
            if check:
                self.assertTrue(self.wait_for(check), "minimised by its button")
                s.probe("show", harness.WINDOW_TITLE, "9")
                self.assertTrue(self.wait_for(lambda: not s.tree()["iconic"]))
        self.assert_ended(proc)
        self.assertEqual(0, proc.returncode)

    def page(self, s, dpi, name, drawn):
        """The page's screenshot once drawn(image) holds, kept among the
        artifacts, with its controls in their places, no two overlapping,
        and its texts whole on one line each inside its own box."""
        image = s.shot_showing(lambda image: drawn(image) and all(
            self.ink(image, rect) for rect in self.text_boxes(s.controls(), name, dpi).values()), timeout=10)
        harness.write_png(image, os.path.join(ARTIFACTS, "dpi-%d-%s.png" % (dpi, name)))
        controls = s.controls()
        shown = {cid: controls[cid]["rect"] for cid in PAGES[name]}
        for cid, rect in shown.items():
            self.assertTrue(controls[cid]["visible"], "%s: control %d" % (name, cid))
            expected = scale_rect(DESIGN[cid], dpi)
            if cid in CHECK_BOXES:  # fitted to box and label from its top left
                expected, rect = expected[:2], rect[:2]
            elif cid in LABELS:  # grown to its lines
                self.assertGreaterEqual(rect[3], expected[3])
                expected, rect = expected[:3], rect[:3]
            self.assertEqual(expected, rect, "%s: control %d in its scaled place" % (name, cid))
        for a in shown:
            for b in shown:
                if a < b and not (a, b) == (RES.IDC_GROUP_INSTALL_DIR, RES.IDC_EDIT_INSTALL_DIR):
                    ra, rb = shown[a], shown[b]
                    overlap = min(ra[2], rb[2]) > max(ra[0], rb[0]) and min(ra[3], rb[3]) > max(ra[1], rb[1])
                    self.assertFalse(overlap, "%s: controls %d %s and %d %s overlap" % (name, a, ra, b, rb))
        for cid, box in self.text_boxes(controls, name, dpi).items():
            rows, columns = self.ink(image, box)
            self.assertTrue(rows, "%s: the text of control %d is drawn" % (name, cid))
            height = scale(TEXTS[name][cid], dpi)
            self.assertLessEqual(max(rows) - min(rows) + 1, height * 3 // 2, "%s: control %d on one line" % (name, cid))
            self.assertGreaterEqual(max(rows) - min(rows) + 1, height // 2, "%s: control %d's font scaled" % (name, cid))
            self.assertLess(max(columns), box[2] - 1, "%s: control %d's text ends inside its box" % (name, cid))
        return image

    @staticmethod
    def text_boxes(controls, name, dpi):
        """Where each text of the page may stand: its control, right of the
        box and gap for a check box."""
        boxes = {}
        for cid in TEXTS[name]:
            left, top, right, bottom = controls[cid]["rect"]
            if cid in CHECK_BOXES:
                left += scale(14, dpi) + scale(5, dpi)
            boxes[cid] = [left, top, right, bottom]
        return boxes

    @staticmethod
    def ink(image, box):
        """Rows and columns of text ink (anything far from the white page) in
        box, or None when there is none."""
        return image.ink(box, WHITE, 60)

    @staticmethod
    def orange(image, box):
        left, top, right, bottom = box
        return sum(1 for y in range(top, bottom) for x in range(left, right) if difference(image.at(x, y), ORANGE) < 40)

    @staticmethod
    def minimise_bar(image, dpi):
        """The pixels of the minimise bar, down through its middle."""
        rect = scale_rect(DESIGN[skin.IDC_CAPTION_MIN], dpi)
        x = (rect[0] + rect[2]) // 2
        ground = image.at(x, rect[1] + 1)
        bar = [image.at(x, y) for y in range(rect[1] + 1, rect[3] - 1)]
        return [p for p in bar if difference(p, ground) > 30]

    def assert_sharp(self, image, controls, dpi):
        """The edges of the images as sharp as at 96 DPI: from the page into
        the Install and Browse buttons no pixel in between, into the
        unchecked box's outline and through the minimise bar at most one on
        each side of a line as wide as it is scaled."""
        install, browse = controls[RES.IDC_BTN_INSTALL]["rect"], controls[RES.IDC_BTN_BROWSE]["rect"]
        y = (install[1] + install[3]) // 2
        ramps = {"install": ramp([image.at(x, y) for x in range(install[0] - 3, install[0] + 1)],
                                 image.at(install[0] - 3, y), image.at(install[0], y))}
        x = (browse[0] + browse[2]) // 2
        ramps["browse"] = ramp([image.at(x, y) for y in range(browse[1] - 3, browse[1] + 1)],
                               image.at(x, browse[1] - 3), image.at(x, browse[1]))
        # Across the clear box's left side: the outline and its soft pixels.
        box = scale_rect([23, 340, 37, 354], dpi)
        y = (box[1] + box[3]) // 2
        line = [p for p in (image.at(x, y) for x in range(box[0], box[0] + (box[2] - box[0]) // 2))
                if difference(p, WHITE) > 12]
        ramps["box"] = len(line)
        ramps["bar"] = len(self.minimise_bar(image, dpi))
        width = (dpi + 48) // 96  # one design pixel, rounded
        print("edge ramps at %d DPI: %s" % (dpi, ramps), file=sys.stderr)
        self.assertEqual(0, ramps["install"], "soft pixels into the Install button")
        self.assertEqual(0, ramps["browse"], "soft pixels into the Browse button")
        for name in ("box", "bar"):
            self.assertLessEqual(ramps[name], width + 2, "%s's line: as wide as scaled, a soft pixel each side" % name)
            self.assertGreaterEqual(ramps[name], width, "%s's line" % name)

    @harness.long_running
    def test_at_96_dpi(self):
        self.install_at(96)

    @harness.long_running
    def test_at_120_dpi(self):
        self.install_at(120)

    @harness.long_running
    def test_at_144_dpi(self):
        self.install_at(144)

    @harness.long_running
    def test_at_192_dpi(self):
        self.install_at(192)


if __name__ == "__main__":
    import unittest
    unittest.main()
