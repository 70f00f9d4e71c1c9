#!/usr/bin/env python3
"""Runs a tool as help2man runs it (TOOL --help, TOOL --version) and hands on its output with
the headings of --help put the way help2man reads sections: a heading of its own section as
*Section*, the option groups under one Options: heading as its subsections. So the man page is
made from the tool's own --help and never says other than it.
  help2man ... "help_for_man.py TOOL"
"""
import re
import subprocess
import sys

# Each heading of the tools' --help: the section it is in, and its subsection there, if any.
PLACES = {
    "Commands": ("Commands", None),
    "Script commands, besides info, read, write and poll": ("Commands", "In scripts"),
    "Items": ("Items", None),
    "The line": ("Options", "The line"),
    "Results": ("Options", "Results"),
    "Other": ("Options", "Other"),
    "Where it listens (one of)": ("Options", "Where it listens"),
    "The controller": ("Options", "The controller"),
    "Faults, drawn per reply from a seeded generator so a run repeats exactly":
        ("Options", "Faults"),
    "Options": ("Options", None),
    "Configuration, a YAML mapping; the keys of each mapping in it": ("Configuration", None),
    "Topics": ("Topics", None),
    "Environment": ("Environment", None),
    "Exit status": ("Exit status", None),
    "Examples": ("Examples", None),
}
# The sections help2man knows by a heading of their own name; the others are written *Name*.
KNOWN = {"Options", "Environment", "Examples"}

output = subprocess.run(sys.argv[1:], capture_output=True, text=True, timeout=60).stdout
if "--help" not in sys.argv[2:]:
    sys.stdout.write(output)
    sys.exit(0)
section = None
for line in output.splitlines():
    heading = re.match(r"^([A-Z][^:]*):(.*?):?$", line)
    place = PLACES.get(heading.group(1)) if heading else None
    if place is None:
        print(line)
        continue
    name, subsection = place
    if name != section:
        print(f"{name}:" if name in KNOWN else f"*{name}*")
        section = name
    if subsection:
        print(f"{subsection}:")
    if heading.group(2).strip():
        words = heading.group(2).strip()
        print(words[0].upper() + words[1:] + ".")
