#!/usr/bin/env python3
"""The release-configured executable stays within its budget: at most 213 KB
(218,112 bytes: 200 KB and 13 KB for the skin at any DPI), a 32-bit (i386, PE32) program whatever the test build's
architecture, relocatable (ASLR) and non-executable data (NX), no time
stamp in its header, entered at VelmoraEntry, and no runtime
pseudo-relocation (it starts without the C runtime's startup code, which
would apply them).

Usage: size_budget.py BUILD_DIR   (the release-configured build)"""
import os
import re
import struct
import sys
import unittest

BUDGET = 213 * 1024
BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else os.environ.get("VELMORA_RELEASE_BUILD", "")
EXE = os.path.join(BUILD, "VelmoraInstaller.exe")


class SizeBudgetTest(unittest.TestCase):
    def test_within_budget_and_hardened(self):
        with open(EXE, "rb") as f:
            data = f.read()
        print("executable: %d bytes, budget %d" % (len(data), BUDGET), file=sys.stderr)
        self.assertLessEqual(len(data), BUDGET)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.assertEqual(b"PE\0\0", data[pe:pe + 4])
        self.assertEqual(0x14C, struct.unpack_from("<H", data, pe + 4)[0], "machine i386")
        self.assertEqual(0x10B, struct.unpack_from("<H", data, pe + 24)[0], "PE32 optional header")
        self.assertEqual(2, data.count(b'processorArchitecture="x86"'),
                         "the manifest names the x86 assemblies (the program's own and the common controls)")
        timestamp = struct.unpack_from("<I", data, pe + 8)[0]
        self.assertEqual(0, timestamp, "no time stamp: the same sources build the same bytes")
        characteristics = struct.unpack_from("<H", data, pe + 24 + 70)[0]
        self.assertTrue(characteristics & 0x0040, "DYNAMIC_BASE (ASLR)")
        self.assertTrue(characteristics & 0x0100, "NX_COMPAT")

    def test_entered_at_its_own_entry_point(self):
        # A missing entry symbol is only a warning to the linker, which then
        # starts the program at the start of its code.
        with open(EXE, "rb") as f:
            data = f.read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        entry, = struct.unpack_from("<I", data, pe + 24 + 16)
        image_base, = struct.unpack_from("<I", data, pe + 24 + 28)
        with open(os.path.join(BUILD, "VelmoraInstaller.map")) as f:
            symbol = re.search(r"^\s+(0x[0-9a-f]+)\s+_?VelmoraEntry(@0)?$", f.read(), re.M)
        self.assertTrue(symbol, "the map names VelmoraEntry")
        self.assertEqual(int(symbol.group(1), 16), image_base + entry)
        # Its first instructions align the stack to 16 bytes (and esp, -16):
        # the system gives a 32-bit program's entry 4.
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", data, pe + 24 + optional_size + 40 * i + 8)
            if address <= entry < address + size:
                code = data[raw + entry - address:raw + entry - address + 16]
        self.assertIn(b"\x83\xe4\xf0", code[:8], "and esp, -16 at the entry")

    def test_no_runtime_pseudo_relocation(self):
        with open(os.path.join(BUILD, "VelmoraInstaller.map")) as f:
            text = f.read()
        begin = re.search(r"(0x[0-9a-f]+)\s+___RUNTIME_PSEUDO_RELOC_LIST__ =", text)
        end = re.search(r"(0x[0-9a-f]+)\s+___RUNTIME_PSEUDO_RELOC_LIST_END__ =", text)
        self.assertTrue(begin and end, "the map names the pseudo-relocation list")
        self.assertEqual(begin.group(1), end.group(1), "the list is empty")


if __name__ == "__main__":
    unittest.main()
