#!/usr/bin/env python3
"""Checks an updater exe from its bytes: a PE of the expected width (32: the
shipping i686 build, 64: the x86_64 test tree's own) for the GUI subsystem
that imports only KnownDLLs of Windows. Any other DLL the loader would look
for beside the exe first, where a planted copy would run inside the updater;
so also none of the MinGW runtime (libstdc++, libgcc, winpthread), and not
the common controls.

  check_shipping_exe.py EXE [32|64]     (default 32)
"""

import struct
import sys

KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "msvcrt.dll",
    "advapi32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll",
}
WIDTHS = {
    32: {"machine": 0x14C, "magic": 0x10B, "directories": 96, "name": "i386 PE32"},
    64: {"machine": 0x8664, "magic": 0x20B, "directories": 112, "name": "AMD64 PE32+"},
}
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


def imported_dlls(image, import_rva, sections):
    def offset_of(rva):
        for virtual_address, virtual_size, raw_size, raw_pointer in sections:
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return raw_pointer + rva - virtual_address
        raise ValueError("RVA 0x%x lies in no section" % rva)

    names = []
    descriptor = offset_of(import_rva)
    while True:
        fields = struct.unpack_from("<5I", image, descriptor)
        if fields == (0, 0, 0, 0, 0):
            return names
        name_at = offset_of(fields[3])
        names.append(image[name_at:image.index(b"\0", name_at)].decode("ascii"))
        descriptor += 20


def main(path, bits):
    width = WIDTHS[bits]
    image = open(path, "rb").read()
    failures = []
    if image[:2] != b"MZ":
        print("%s: not an MZ executable" % path)
        return 1
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        print("%s: no PE signature" % path)
        return 1
    machine, section_count = struct.unpack_from("<HH", image, pe + 4)
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    subsystem = struct.unpack_from("<H", image, optional + 68)[0]
    sections = []
    for i in range(section_count):
        at = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<4I", image, at + 8)
        sections.append((virtual_address, virtual_size, raw_size, raw_pointer))

    print("%s: machine 0x%x, optional header magic 0x%x, subsystem %d" % (path, machine, magic, subsystem))
    if machine != width["machine"] or magic != width["magic"]:
        failures.append("not a %d-bit image (%s: machine 0x%x, magic 0x%x)"
                        % (bits, width["name"], width["machine"], width["magic"]))
    if subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        failures.append("subsystem is %d, not the Windows GUI (2)" % subsystem)
    if magic in (0x10B, 0x20B):
        directories = optional + (96 if magic == 0x10B else 112)
        dlls = imported_dlls(image, struct.unpack_from("<I", image, directories + 8)[0], sections)
        print("imports: " + ", ".join(dlls))
        for dll in dlls:
            if dll.lower() not in KNOWN_DLLS:
                failures.append("imports %s, which is not a KnownDLL" % dll)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] not in ("32", "64")):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 32))
