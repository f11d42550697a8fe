"""Keeps the documents honest as the code moves.

Every relative link in README.md and the pages under doc/ leads to a file
that exists, and a link to a heading of a Markdown page (#anchor) to a
heading that exists there, as GitHub names them. Every long option a
program's --help lists (each subcommand's too) is described in its manual
page and in the README or the user guide.

Usage: doc_test.py SOURCE_DIR [NAME=PROGRAM [SUBCOMMAND...]]...
  NAME=PROGRAM: the program whose --help is read, NAME its manual page
  doc/NAME.1; the words after it, up to the next NAME=PROGRAM, are its
  subcommands, each asked for SUBCOMMAND --help as well.
"""

import pathlib
import re
import subprocess
import sys

FENCE = re.compile(r"^```.*?^```", re.M | re.S)
LINK = re.compile(r"\]\(([^)\s]+)\)")
HEADING = re.compile(r"^(#+)\s+(.*)$", re.M)
LONG_OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]+")


def anchors(page):
    """The anchors GitHub gives the headings of one Markdown page."""
    names, seen = set(), {}
    for match in HEADING.finditer(FENCE.sub("", page.read_text())):
        name = re.sub(r"[^\w\- ]", "", match.group(2).strip().lower()).replace(" ", "-")
        count = seen.get(name, 0)
        seen[name] = count + 1
        names.add(name if count == 0 else f"{name}-{count}")
    return names


def broken_links(source):
    pages = [source / "README.md"] + sorted((source / "doc").rglob("*.md"))
    broken = []
    for page in pages:
        for link in LINK.findall(FENCE.sub("", page.read_text())):
            if re.match(r"[a-z]+:", link):
                continue
            path, _, anchor = link.partition("#")
            target = (page.parent / path).resolve() if path else page
            if not target.exists():
                broken.append(f"{page.relative_to(source)}: {link}: no such file")
            elif anchor and target.suffix == ".md" and anchor not in anchors(target):
                broken.append(f"{page.relative_to(source)}: {link}: no such heading")
    return broken


def programs(arguments):
    """(name, program, subcommands) from the command line."""
    found = []
    for word in arguments:
        if "=" in word:
            name, program = word.split("=", 1)
            found.append((name, program, []))
        else:
            found[-1][2].append(word)
    return found


def undocumented_options(source, arguments):
    guide = (source / "README.md").read_text() + "".join(
        page.read_text() for page in sorted((source / "doc" / "guide").glob("*.md")))
    missing = []
    for name, program, subcommands in programs(arguments):
        manual = (source / "doc" / f"{name}.1").read_text().replace("\\-", "-")
        for command in [[]] + [[sub] for sub in subcommands]:
            run = subprocess.run([program, *command, "--help"], capture_output=True, text=True)
            if run.returncode != 0:
                missing.append(f"{name} {' '.join(command)} --help: status {run.returncode}")
            for option in sorted(set(LONG_OPTION.findall(run.stdout))):
                where = " ".join([name, *command])
                if option not in manual:
                    missing.append(f"{where} {option}: not in doc/{name}.1")
                if option not in guide:
                    missing.append(f"{where} {option}: not in README.md or doc/guide")
    return missing


def main():
    source = pathlib.Path(sys.argv[1]).resolve()
    faults = broken_links(source) + undocumented_options(source, sys.argv[2:])
    for fault in faults:
        print(fault)
    print(f"{len(faults)} fault(s) in the documents")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
