#!/usr/bin/env python3
"""Checks tavo-online.exe as a file, where wine cannot tell: that it imports only DLLs every
Windows has (objdump -p, as a user's tools would show it), that it is a GUI program, and that
its resources hold the icon, the version block and a manifest with what the program relies on
(common controls 6, DPI awareness, asInvoker, the supported Windows versions).

    windows_program_check.py PROGRAM.exe OBJDUMP VERSION

Prints one line per finding and exits 1 when any check fails."""

import re
import struct
import subprocess
import sys

ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
           "advapi32.dll", "ole32.dll", "msvcrt.dll"}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def resources(image):
    """{type id: [(name id, bytes)]} from the PE file's resource section."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional = struct.unpack_from("<HxxxxxxxxxxxxH", image, pe + 6)
    table = pe + 24 + optional
    rsrc_rva = struct.unpack_from("<I", image, pe + 24 + 112 + 2 * 8)[0]  # data directory 2
    for i in range(sections):
        name, _, va, raw_size, raw = struct.unpack_from("<8sIIII", image, table + 40 * i)
        if va <= rsrc_rva < va + raw_size:
            base = raw + (rsrc_rva - va)
            delta = va - raw
            break
    else:
        return {}

    def entries(offset):
        named, ids = struct.unpack_from("<HH", image, base + offset + 12)
        for k in range(named + ids):
            ident, target = struct.unpack_from("<II", image, base + offset + 16 + 8 * k)
            yield ident, target

    found = {}
    for kind, level2 in entries(0):
        for ident, level3 in entries(level2 & 0x7FFFFFFF):
            for _, leaf in entries(level3 & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", image, base + leaf)
                found.setdefault(kind, []).append((ident, image[rva - delta:rva - delta + size]))
    return found


def main(program, objdump, version):
    failures = []
    dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
    dlls = sorted({d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)})
    foreign = [d for d in dlls if d not in ALLOWED]
    print("imports:", ", ".join(dlls))
    if foreign:
        failures.append("imports DLLs not every Windows has: " + ", ".join(foreign))
    if not re.search(r"^Subsystem\s+0*2\b", dump, re.M):
        failures.append("not a GUI program (Subsystem 2)")
    image = open(program, "rb").read()
    res = resources(image)
    for kind, what in ((RT_ICON, "icon"), (RT_GROUP_ICON, "icon group"), (RT_VERSION, "version block"),
                       (RT_MANIFEST, "manifest")):
        if kind not in res:
            failures.append("no " + what + " in the resources")
    if RT_VERSION in res:
        block = res[RT_VERSION][0][1].decode("utf-16-le", "replace")
        for text in ("Norrik Tavo Online", version):
            if text not in block:
                failures.append("the version block lacks " + repr(text))
    if RT_MANIFEST in res:
        manifest = res[RT_MANIFEST][0][1].decode("utf-8", "replace")
        for needle in ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                       'level="asInvoker"', "PerMonitorV2", "true/pm",
                       "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                       "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"):
            if needle not in manifest:
                failures.append("the manifest lacks " + needle)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
