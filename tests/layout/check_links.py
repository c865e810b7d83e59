#!/usr/bin/env python3
"""Fails, naming the document, the line and the link, when a relative link in
ROOT/README.md or ROOT/docs/*.md names no file, or an anchor that is no
heading of the file it names."""
import pathlib
import re
import sys

LINK = re.compile(r"\]\(([^()\s]+)(?:\s+\"[^\"]*\")?\)|^\s*\[[^\]]+\]:\s*(\S+)")
CODE_SPAN = re.compile(r"`+[^`]*`+")


def prose_lines(path):
    """The lines outside fenced code, with code spans blanked out."""
    fenced = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            yield number, CODE_SPAN.sub("", line)


def anchors(path):
    """The anchors of the headings, as GitHub makes them."""
    made = {}
    for _, line in prose_lines(path):
        heading = re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not heading:
            continue
        slug = re.sub(r"[^\w\- ]", "", heading[1].lower()).replace(" ", "-")
        count = made.get(slug, 0)
        made[slug] = count + 1
        yield slug if count == 0 else f"{slug}-{count}"


def main(root):
    root = pathlib.Path(root).resolve()
    documents = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
    faults = []
    links = 0
    for document in documents:
        for number, line in prose_lines(document):
            for match in LINK.finditer(line):
                target = match[1] or match[2]
                if re.match(r"[a-z][a-z0-9+.-]*:", target):
                    continue
                links += 1
                name, _, anchor = target.partition("#")
                file = (document.parent / name).resolve() if name else document
                where = f"{document.relative_to(root)}:{number}: {target}"
                if not file.exists():
                    faults.append(f"{where}: no such file")
                elif anchor and (file.suffix != ".md" or anchor not in set(anchors(file))):
                    faults.append(f"{where}: no such heading in {file.relative_to(root)}")
    for fault in faults:
        print(fault)
    print(f"links: {links} relative links in {len(documents)} documents; broken: {len(faults)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
