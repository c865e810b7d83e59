#!/usr/bin/env python3
"""Fails, naming the file and the include, when a file under SRC includes a
header of a folder that is not below its own in the layering (a folder's own
headers are always fine), or when a folder has no floor in it."""
import pathlib
import re
import sys

# Lowest first; folders on one floor do not include each other either.
FLOORS = [{"common"}, {"net", "formats"}, {"ui", "update"}, {"install"}, {"app", "release"}]
FLOOR = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def folder_of(path, src):
    parts = path.relative_to(src).parts
    return parts[0] if len(parts) > 1 else None


def main(src):
    src = pathlib.Path(src).resolve()
    files = sorted(p for p in src.rglob("*") if p.suffix in (".h", ".cpp"))
    faults = []
    for path in files:
        own = folder_of(path, src)
        if own not in FLOOR:
            faults.append(f"{path.relative_to(src.parent)}: the folder {own or 'src'} has no floor in the layering")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            # Resolved as the compiler resolves it; headers found outside
            # src (the system's, res/, generated ones) are not layered.
            found = [c.resolve() for c in (path.parent / match[1], src / match[1]) if c.is_file()]
            if not found or src not in found[0].parents:
                continue
            other = folder_of(found[0], src)
            if other == own:
                continue
            if other not in FLOOR:
                faults.append(f"{path.relative_to(src.parent)}:{number}: includes {match[1]}, "
                              f"of {other or 'src'}, which has no floor in the layering")
            elif FLOOR[other] >= FLOOR[own]:
                where = "beside" if FLOOR[other] == FLOOR[own] else "above"
                faults.append(f"{path.relative_to(src.parent)}:{number}: includes {match[1]}: "
                              f"{other} stands {where} {own}")
    for fault in faults:
        print(fault)
    print(f"layering: {len(files)} files; includes of a folder not below their own: {len(faults)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
