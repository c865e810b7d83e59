#!/usr/bin/env python3
"""Checks the shipping ombup.exe from its bytes: a 32-bit x86 PE for the GUI
subsystem that imports only DLLs that every Windows has, none of the MinGW
runtime (libstdc++, libgcc, winpthread) and not the common controls."""

import struct
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "winhttp.dll", "version.dll",
    "shell32.dll", "msvcrt.dll", "advapi32.dll", "wintrust.dll", "crypt32.dll",
}
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


def imported_dlls(image, optional_offset, optional_size, sections):
    import_rva = struct.unpack_from("<I", image, optional_offset + 96 + 8)[0]

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


def main(path):
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

    print("machine 0x%x, optional header magic 0x%x, subsystem %d" % (machine, magic, subsystem))
    if machine != IMAGE_FILE_MACHINE_I386:
        failures.append("machine is 0x%x, not i386 (0x14c)" % machine)
    if magic != PE32_MAGIC:
        failures.append("optional header is not PE32")
    if subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        failures.append("subsystem is %d, not the Windows GUI (2)" % subsystem)
    if magic == PE32_MAGIC:
        dlls = imported_dlls(image, optional, optional_size, sections)
        print("imports: " + ", ".join(dlls))
        for dll in dlls:
            if dll.lower() not in SYSTEM_DLLS:
                failures.append("imports %s, which is not a system DLL" % dll)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
