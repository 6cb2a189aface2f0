#!/usr/bin/env python3
"""The release-configured executable stays within its budget: at most 200 KB
(204,800 bytes), relocatable (ASLR) and non-executable data (NX), no time
stamp in its header, and no runtime pseudo-relocation (it starts without
the C runtime's startup code, which would apply them).

Usage: size_budget.py BUILD_DIR   (the release-configured build)"""
import os
import re
import struct
import sys
import unittest

BUDGET = 200 * 1024
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
        timestamp = struct.unpack_from("<I", data, pe + 8)[0]
        self.assertEqual(0, timestamp, "no time stamp: the same sources build the same bytes")
        characteristics = struct.unpack_from("<H", data, pe + 24 + 70)[0]
        self.assertTrue(characteristics & 0x0040, "DYNAMIC_BASE (ASLR)")
        self.assertTrue(characteristics & 0x0100, "NX_COMPAT")

    def test_no_runtime_pseudo_relocation(self):
        with open(os.path.join(BUILD, "VelmoraInstaller.map")) as f:
            text = f.read()
        begin = re.search(r"(0x[0-9a-f]+)\s+___RUNTIME_PSEUDO_RELOC_LIST__ =", text)
        end = re.search(r"(0x[0-9a-f]+)\s+___RUNTIME_PSEUDO_RELOC_LIST_END__ =", text)
        self.assertTrue(begin and end, "the map names the pseudo-relocation list")
        self.assertEqual(begin.group(1), end.group(1), "the list is empty")


if __name__ == "__main__":
    unittest.main()
