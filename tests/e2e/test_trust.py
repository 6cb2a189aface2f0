"""What the installer trusts, attacked: the real executable under Wine
against the fault server, with DLLs planted beside it, a package other than
the published one, a process overwriting the package while it downloads and
runs, manifests that are not the vendor's, and a link in place of the
staging folder."""
import contextlib
import json
import os
import re
import shutil
import struct
import sys
import tempfile
import time
import unittest

import harness
import vendor
from harness import RES

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from fault_server import FaultServer  # noqa: E402

PORT = harness.server_port()
FAILED_TITLE = harness.FAILED_TITLE
FOLDER_FAILED_TITLE = "无法创建下载目录"
STANDIN_LOG = "velmora-standin.log"
ETAG = "9d2e-velmora"
TOOLS = os.path.join(harness.BUILD, "tests")
CANARY = os.path.join(TOOLS, "canary.dll")
DLL_CONTROL = os.path.join(TOOLS, "dll_control.exe")
SWAPPER = os.path.join(TOOLS, "swapper.exe")
NOKEY_INSTALLER = os.path.join(TOOLS, "VelmoraInstallerNoKey.exe")

# What the installer imports: KnownDLLs, and comctl32 bound through the
# manifest's side-by-side assembly.
IMPORTS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "shell32.dll",
           "user32.dll"}

# Names DLLs are usually planted under, beside what the installer loads.
PLANTING_NAMES = {n + ".dll" for n in ("version", "uxtheme", "dwmapi", "cryptbase", "propsys", "shcore", "profapi",
                                       "userenv", "winmm", "wininet", "gdiplus", "msimg32", "iertutil", "urlmon",
                                       "sspicli")}

# The installer at C:\dl, as if in a Downloads folder, with Wine's loader
# trace on its standard error.
TRACED_INSTALLER = ("cmd", "/c", "set WINEDEBUG=-all,+pid,+loaddll&& C:\\dl\\VelmoraInstaller.exe")


def imported_dlls(exe):
    """(names in the import table, lower case; size of the delay-import
    directory) of a PE32 (i686) or PE32+ (x86_64) image."""
    with open(exe, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    # The data directories follow 96 bytes into a PE32 optional header, 112
    # into a PE32+ one (its image base and stack sizes are 8 bytes wide).
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]

    def offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8)
            if address <= rva < address + size:
                return rva - address + raw
        raise ValueError("RVA %#x is in no section" % rva)

    names = set()
    imports = struct.unpack_from("<I", image, directories + 1 * 8)[0]
    descriptor = offset(imports) if imports else None
    while descriptor is not None and any(image[descriptor:descriptor + 20]):
        name = offset(struct.unpack_from("<I", image, descriptor + 12)[0])
        names.add(image[name:image.index(b"\0", name)].decode("ascii").lower())
        descriptor += 20
    delay_size = struct.unpack_from("<I", image, directories + 13 * 8 + 4)[0]
    return names, delay_size


def snapshot(folder):
    """{file name: bytes} of the files in folder."""
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def dll_file(name):
    return name if "." in name else name + ".dll"


def overrides(names):
    """WINEDLLOVERRIDES entries that make Wine look beside the program first."""
    return ",".join(sorted(n[:-4] if n.endswith(".dll") else n for n in names)) + "=n,b" if names else ""


def loaded_by_installer(trace):
    """Base names (lower case) of the DLLs the installer's process loaded,
    from a +pid,+loaddll trace."""
    loads = re.findall(r'^([0-9a-f]{4}):[0-9a-f]{4}:trace:loaddll:\w+ Loaded L"([^"]+)"', trace, re.M)
    pids = {pid for pid, path in loads if path.lower().endswith("\\velmorainstaller.exe")}
    return {path.rsplit("\\", 1)[-1].lower() for pid, path in loads if pid in pids} - {"velmorainstaller.exe"}


class TrustTest(harness.TestCase):
    def site(self, server, package=None, document=None, signature=True):
        """Scripts server with a signed manifest for package (the stand-in's
        bytes unless given) and the package itself."""
        package = package or vendor.package_bytes()
        document = document or vendor.manifest(vendor.package_url(PORT), package=package)
        vendor.serve_manifest(server, document, signature=signature)
        server.script(vendor.PACKAGE_PATH, body=package)
        return document

    def outcome(self, s, seconds=40):
        """Which shows first: the finish page ("finished") or the
        install-failed box ("failed"); None if neither does in time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if s.wait_window(FAILED_TITLE, 300) is not None:
                return "failed"
            if s.controls().get(RES.IDC_BTN_FINISH, {}).get("visible"):
                return "finished"
        return None

    def end(self, s, proc, result):
        """Ends the installer from the page or box result names."""
        if result == "failed":
            s.click(harness.IDCANCEL, title=FAILED_TITLE)
        else:
            s.probe("close", harness.WINDOW_TITLE)  # as Alt+F4: no launcher
        self.assert_ended(proc)

    def package_requests(self, server):
        return [h for h in server.requests() if not h.startswith(b"GET " + vendor.MANIFEST_PATH.encode())]

    def traced_install(self, s, dll_overrides=""):
        """A full install with the installer at C:\\dl: (whether it finished,
        the loader trace)."""
        proc = s.start(*TRACED_INSTALLER, env={"VELMORA_TIME_SCALE": str(harness.TIME_SCALE),
                                               "VELMORA_DLL_OVERRIDES": dll_overrides})
        finished = (s.wait_window() is not None and s.click(RES.IDC_BTN_INSTALL) and
                    s.wait_visible(RES.IDC_BTN_FINISH, timeout_ms=30000))
        s.probe("close", harness.WINDOW_TITLE)
        self.assert_ended(proc)
        return finished, proc.stderr.read().decode("utf-8", "replace")

    def control_fires(self, s, names):
        """The canaries that fire when the control runs at C:\\ctl with them
        beside it: {name: programs}."""
        shutil.rmtree(s.c_drive("ctl"), ignore_errors=True)
        shutil.rmtree(s.c_drive("canary"), ignore_errors=True)
        os.makedirs(s.c_drive("ctl"))
        for name in names:
            shutil.copy(CANARY, s.c_drive("ctl", dll_file(name)))
        shutil.copy(DLL_CONTROL, s.c_drive("ctl", "dll_control.exe"))
        s.run(s.c_drive("ctl", "dll_control.exe"), "http://127.0.0.1:%d/" % PORT,
              env={"VELMORA_DLL_OVERRIDES": overrides(names)})
        return set(self.markers(s))

    def markers(self, s):
        """{DLL name, lower case: programs that loaded its canary}."""
        folder = s.c_drive("canary")
        names = os.listdir(folder) if os.path.isdir(folder) else []
        return {n[:-4].lower(): harness.read_text(os.path.join(folder, n)).strip() for n in names}

    # ---------------------------------------------------------------------

    def test_imports_only_known_system_dlls(self):
        # The shipped 32-bit executable, and the one these tests run (the
        # same where the tests run 32-bit code).
        for exe in (harness.RELEASE_INSTALLER, harness.INSTALLER):
            with self.subTest(exe=exe):
                names, delay_size = imported_dlls(exe)
                self.assertEqual(IMPORTS, names)
                self.assertEqual(0, delay_size,
                                 "no delay-loaded DLLs: the loader would look for them beside the program")

    def test_no_dll_is_loaded_from_the_installer_folder(self):
        self.assertEqual(imported_dlls(harness.INSTALLER), imported_dlls(DLL_CONTROL),
                         "the control imports what the installer imports")
        self.site(self.enterContext(FaultServer(PORT)))
        s = self.session()
        os.makedirs(s.c_drive("dl"))
        shutil.copy(harness.INSTALLER, s.c_drive("dl", "VelmoraInstaller.exe"))

        finished, trace = self.traced_install(s)
        self.assertTrue(finished, "a full install without canaries")
        names = loaded_by_installer(trace) | PLANTING_NAMES
        self.assertIn("wininet.dll", names, "the trace names what the installer loaded")

        # Wine's own doing: what fires for the control. Taken in rounds, as a
        # canary in the place of a DLL Wine loads at the start stops the
        # control there, before it loads the rest.
        wine_own = set()
        for _ in range(10):
            fired = self.control_fires(s, names - wine_own)
            if not fired:
                break
            wine_own |= fired
        print("\ncanaries fired by the control, Wine's own loads (not held against the installer): %s"
              % " ".join(sorted(wine_own)), file=sys.stderr)
        self.assertTrue(wine_own, "Wine 8 loads some of its own DLLs from the program's folder: if none fires "
                        "for the control, the canaries are not in effect")

        planted = names - wine_own
        shutil.rmtree(s.c_drive("canary"), ignore_errors=True)
        for name in planted:
            shutil.copy(CANARY, s.c_drive("dl", dll_file(name)))
        finished, trace = self.traced_install(s, overrides(planted))
        fired = self.markers(s)
        evidence = [line for line in trace.splitlines()
                    if any('\\%s"' % name in line.lower() for name in fired)]
        self.assertEqual({}, fired, "canaries beside the installer were loaded (markers: the programs); loader "
                         "trace:\n" + "\n".join(evidence))
        self.assertTrue(finished, "a full install with canaries for %s" % " ".join(sorted(planted)))

    def test_only_the_package_the_manifest_names_runs(self):
        genuine = vendor.package_bytes()
        cases = (("genuine", genuine), ("bytes appended", genuine + b"\0" * 4096),
                 ("same size, other bytes", vendor.altered(genuine)))
        for name, served in cases:
            with self.subTest(name), FaultServer(PORT) as server, harness.Session() as s:
                document = self.site(server, package=genuine)
                server.script(vendor.PACKAGE_PATH, body=served)
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                result = self.outcome(s)
                log = harness.read_text(s.c_drive(STANDIN_LOG))
                self.assertTrue(self.package_requests(server), "the package was downloaded")
                if served is genuine:
                    self.assertEqual("finished", result)
                    self.assertEqual([json.loads(document)["result"]["sha256"]], vendor.images(log))
                    self.assertIn("done 0", log)
                else:
                    self.assertEqual("failed", result)
                    self.failure_box(s, "E-VERIFY")
                    self.assertNotIn("start", log, "the package ran")
                    self.assertEqual([], [n for n in os.listdir(s.staging()) if n.startswith("velmora")],
                                     "the package is deleted")
                self.end(s, proc, result)

    @harness.long_running
    def test_package_overwritten_while_it_downloads_and_runs_never_runs(self):
        genuine = vendor.package_bytes()
        cut = len(genuine) // 3
        fake = vendor.altered(genuine)
        every_file = ("velmora.exe", "velmora-*.exe", "*.partial")
        # Every file of the download, straight to velmora.exe; the partial
        # file while the download waits after a drop, with as many other
        # bytes (the rest would make a package of the right size; the file
        # stays held over the wait, so nothing gets in); and only the file
        # the setup runs from, which is hashed through the handle that holds
        # it and run by its name.
        cases = (("straight download", every_file, fake, None, {}),
                 ("partial file resumed after a drop", every_file, fake[:cut], vendor.partial_name(genuine),
                  {"VELMORA_TIME_SCALE": "100"}),
                 ("the file the setup runs from", ("velmora-*.exe",), fake, None, {}))
        for name, patterns, swapped_in, held, env in cases:
            with self.subTest(name), FaultServer(PORT) as server, harness.Session() as s:
                self.site(server, package=genuine)
                if held:
                    server.script(vendor.PACKAGE_PATH, body=genuine, etag=ETAG)
                    server.script(vendor.PACKAGE_PATH, once=True, body=genuine, etag=ETAG, drop_after=cut)
                with open(s.c_drive("fake.exe"), "wb") as f:
                    f.write(swapped_in)
                swap_log = s.c_drive("swapper.log")
                swapper = s.start(SWAPPER, "C:\\ProgramData\\CorvaneVelmora", "C:\\fake.exe", "C:\\swapper.log",
                                  *patterns)
                self.assertTrue(self.wait_for(lambda: os.path.exists(swap_log)), "the swapper runs")
                # The setup takes a second, for the swapper to try the file it runs from.
                proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "1000", **env})
                s.click(RES.IDC_BTN_INSTALL)
                result = self.outcome(s)
                harness.stop_process(swapper)
                swaps = harness.read_text(swap_log)
                log = harness.read_text(s.c_drive(STANDIN_LOG))
                print("\n%s: %s; swapper: %s" % (name, result, ", ".join(sorted(set(
                    re.sub(r"velmora-[0-9a-f]{16}", "velmora-*", line) for line in swaps.splitlines())))),
                    file=sys.stderr)
                self.assertIn(result, ("finished", "failed"))
                self.assertIn("seen ", swaps, "the swapper found the download's files")
                self.assertEqual([], [i for i in vendor.images(log) if i != vendor.sha256(genuine)], "another package ran")
                if result == "finished":
                    self.assertEqual([vendor.sha256(genuine)], vendor.images(log))
                    self.assertIn("seen velmora-", swaps, "the swapper tried the package while it ran")
                if held:
                    # The swapper may still write over the file's old name
                    # once it is gone; what came back after the wait is what
                    # the server sent, so its hash never fails.
                    self.assertIn("seen " + held, swaps)
                    self.assertNotIn("does not match the manifest", harness.read_text(s.support_log()),
                                     "the partial file is held over the wait")
                self.end(s, proc, result)

    @harness.long_running
    def test_package_swapped_in_a_loop_never_runs_without_a_hash_to_tell(self):
        # A build without a manifest key takes a manifest that names neither
        # size nor SHA-256: only the hold keeps another file from running
        # elevated. The swapper writes into, or moves over, every file of
        # the download as soon and as often as it can.
        genuine = vendor.package_bytes()
        fake = vendor.altered(genuine)
        patterns = ("velmora.exe", "velmora-*.exe", "*.partial")
        for round_, etag in enumerate((None, ETAG, None, ETAG)):
            with self.subTest(round=round_, etag=etag), FaultServer(PORT) as server, harness.Session() as s:
                vendor.serve_manifest(server, vendor.manifest(vendor.package_url(PORT)), signature=False)
                server.script(vendor.PACKAGE_PATH, body=genuine, **({"etag": etag} if etag else {}))
                with open(s.c_drive("fake.exe"), "wb") as f:
                    f.write(fake)
                swap_log = s.c_drive("swapper.log")
                swapper = s.start(SWAPPER, "C:\\ProgramData\\CorvaneVelmora", "C:\\fake.exe", "C:\\swapper.log",
                                  *patterns)
                self.assertTrue(self.wait_for(lambda: os.path.exists(swap_log)), "the swapper runs")
                proc = self.start(s, env={"VELMORA_STANDIN_DELAY_MS": "1000"}, program=NOKEY_INSTALLER)
                s.click(RES.IDC_BTN_INSTALL)
                result = self.outcome(s)
                harness.stop_process(swapper)
                swaps = harness.read_text(swap_log)
                log = harness.read_text(s.c_drive(STANDIN_LOG))
                self.assertIn("seen ", swaps, "the swapper found the download's files")
                self.assertIn(result, ("finished", "failed"))
                self.assertNotIn(vendor.sha256(fake), vendor.images(log), "the swapped-in package ran")
                if result == "finished":
                    self.assertEqual([vendor.sha256(genuine)], vendor.images(log))
                else:
                    # A file changed, or opened for writing by another
                    # program, while it passed from the download's handle to
                    # the one that holds it is refused.
                    self.assertIn("错误代码：E-VERIFY", "\n".join(c["text"] for c in s.tree(FAILED_TITLE)["children"]))
                    self.assertIn("while it was taken over; deleted", harness.read_text(s.support_log()))
                self.end(s, proc, result)

    @harness.long_running
    def test_only_a_signed_current_complete_manifest_is_taken(self):
        genuine = vendor.package_bytes()
        url = vendor.package_url(PORT)
        good = vendor.manifest(url, package=genuine)
        flipped = bytearray(vendor.sign(good))
        flipped[len(flipped) // 2] ^= 0x01
        other_path = "/download/other-setup.exe"
        moved = vendor.manifest("http://127.0.0.1:%d%s" % (PORT, other_path), package=genuine)
        # A signature is bytes, not text: one that starts with "<" (one in
        # 256 do) is no web page.
        angled = next(d for d in (vendor.manifest(url, package=genuine, release=str(n)) for n in range(4096))
                      if vendor.sign(d)[:1] == b"<")
        # A wrong or missing signature is a failed check; a signed manifest
        # that is out of date or incomplete, one the server should not serve.
        cases = (("valid", good, True, "finished"),
                 ("valid, its signature starting with <", angled, True, "finished"),
                 ("one byte of the signature changed", good, bytes(flipped), "E-VERIFY"),
                 ("no signature (404)", good, False, "E-VERIFY"),
                 ("expired a minute ago", vendor.manifest(url, package=genuine, expires_in=-60), True, "E-SRV"),
                 ("without sha256", vendor.manifest(url, package=genuine, sha256=None), True, "E-SRV"),
                 ("without size", vendor.manifest(url, package=genuine, size=None), True, "E-SRV"),
                 ("changed after signing", moved, vendor.sign(good), "E-VERIFY"))
        for name, document, signature, expected in cases:
            with self.subTest(name), FaultServer(PORT) as server, harness.Session() as s:
                self.site(server, package=genuine, document=document, signature=signature)
                server.script(other_path, body=genuine)
                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                result = self.outcome(s)
                self.assertEqual("finished" if expected == "finished" else "failed", result)
                if expected != "finished":
                    self.failure_box(s, expected)
                    self.assertEqual([], self.package_requests(server), "no package was asked for")
                    self.assertNotIn("start", harness.read_text(s.c_drive(STANDIN_LOG)))
                self.end(s, proc, result)

    def test_a_link_in_place_of_the_staging_folder_is_not_followed(self):
        for inside in (True, False):
            with self.subTest("victim folder " + ("in the prefix" if inside else "outside it")), \
                    contextlib.ExitStack() as stack:
                self.site(stack.enter_context(FaultServer(PORT)))
                s = stack.enter_context(harness.Session())
                victim = s.c_drive("victim") if inside else stack.enter_context(tempfile.TemporaryDirectory())
                os.makedirs(victim, exist_ok=True)
                # A marker, and files named like the ones the installer
                # deletes from its staging folder.
                for file_name, data in (("keep.txt", b"victim's file"), ("velmora-0123456789abcdef.exe", b"MZ"),
                                        (ETAG + ".partial", b"partial"),
                                        (vendor.partial_name(vendor.package_bytes()), b"partial")):
                    with open(os.path.join(victim, file_name), "wb") as f:
                        f.write(data)
                before = snapshot(victim)
                shutil.rmtree(s.staging(), ignore_errors=True)
                os.makedirs(os.path.dirname(s.staging()), exist_ok=True)
                os.symlink(victim, s.staging())

                proc = self.start(s)
                s.click(RES.IDC_BTN_INSTALL)
                if s.wait_window(FOLDER_FAILED_TITLE, 20000) is None:
                    self.fail("no %s box; the install-failed box is %s" % (
                        FOLDER_FAILED_TITLE, "there" if s.wait_window(FAILED_TITLE, 0) is not None else "not there"))
                s.click(1, title=FOLDER_FAILED_TITLE)  # OK
                self.assertTrue(s.controls()[RES.IDC_BTN_INSTALL]["visible"], "back on the options page")
                s.probe("close", harness.WINDOW_TITLE)
                self.assert_ended(proc)
                self.assertEqual(before, snapshot(victim), "nothing written or deleted through the link")
                self.assertTrue(os.path.islink(s.staging()))
                self.assertNotIn("start", harness.read_text(s.c_drive(STANDIN_LOG)))


if __name__ == "__main__":
    unittest.main()
