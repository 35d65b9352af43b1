#!/usr/bin/env python3
"""Checks build/win32/tonvane.exe without running it: a 32-bit GUI program for
subsystem version 4.0 that imports only functions on tests/win32-imports.txt,
those that Windows 95, 98 and ME export. Holds on every host, including
those that cannot execute 32-bit code.

Usage: tests/win32_exe_check.py [exe [allowed-list]]
"""

import os
import re
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXE = os.path.join(ROOT, "build", "win32", "tonvane.exe")
ALLOWED = os.path.join(ROOT, "tests", "win32-imports.txt")
FILE_TYPE = "PE32 executable (GUI) Intel 80386"


def subsystem_version(exe):
    with open(exe, "rb") as f:
        data = f.read(4096)
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    return struct.unpack_from("<HH", data, optional + 48)


def imports(exe):
    """(DLL, function) pairs from objdump's reading of the import tables; a
    function imported by ordinal shows as "#ordinal"."""
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], capture_output=True,
                          text=True, check=True).stdout
    table = dump.split("The Import Tables", 1)[-1]
    table = re.split(r"\n(?=\S)", table, maxsplit=1)[0]  # up to the next heading
    pairs, dll = [], None
    for line in table.splitlines():
        if m := re.match(r"^\tDLL Name: (\S+)$", line):
            dll = m.group(1)
        elif m := re.match(r"^\t[0-9a-f]+\t +[0-9]+  (\S+)", line):
            pairs.append((dll, m.group(1)))
        elif m := re.match(r"^\t[0-9a-f]+\t +<none> +([0-9a-f]+)", line):
            pairs.append((dll, "#" + m.group(1)))
    return pairs


def read_allowed(path):
    allowed = set()
    for line in open(path):
        if line.strip() and not line.startswith("#"):
            dll, function = line.split()
            allowed.add((dll.lower(), function))
    return allowed


def main():
    exe = sys.argv[1] if len(sys.argv) > 1 else EXE
    allowed = read_allowed(sys.argv[2] if len(sys.argv) > 2 else ALLOWED)
    errors = []
    file_type = subprocess.run(["file", "-b", exe], capture_output=True, text=True).stdout.strip()
    if not file_type.startswith(FILE_TYPE):
        print(f"FAIL {exe}: not a 32-bit GUI program: {file_type}")
        return 1
    if subsystem_version(exe) != (4, 0):
        errors.append("subsystem version %d.%d, expected 4.0" % subsystem_version(exe))
    found = imports(exe)
    if not found:
        errors.append("no imports read")
    for dll, function in found:
        if (dll.lower(), function) not in allowed:
            errors.append(f"imports {dll} {function}, which Windows 95/98/ME may not export")
    name = os.path.relpath(exe, ROOT)
    for e in errors:
        print(f"FAIL {name}: {e}")
    if errors:
        return 1
    print(f"ok   {name}: {file_type.split(',')[0]}, subsystem 4.0, "
          f"{len(found)} imports, all exported by Windows 95/98/ME or msvcrt.dll")
    return 0


if __name__ == "__main__":
    sys.exit(main())
