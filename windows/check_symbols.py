#!/usr/bin/env python3
"""The symbols zip beside the Windows zip: each DLL names its PDB by file name alone, with the
signature of the PDB shipped, which holds the DLL's functions; each tool names its .debug file
with that file's checksum, and the file holds the DWARF. Prints a line per failure and
"N passed, M failed".

    check_symbols.py READOBJ PDBUTIL OBJCOPY OBJDUMP SYMBOLS_ZIP BIN_DIR WORK_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile
import zlib

readobj, pdbutil, objcopy, objdump, archive, bin_dir, work = sys.argv[1:8]
results = {"passed": 0, "failed": 0}


def check(name, condition, detail=""):
    results["passed" if condition else "failed"] += 1
    if not condition:
        print(f"FAIL {name}: {detail}")


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60).stdout


shutil.rmtree(work, ignore_errors=True)
with zipfile.ZipFile(archive) as symbols:
    names = sorted(os.path.basename(name) for name in symbols.namelist() if not name.endswith("/"))
    symbols.extractall(work)
expected = ["SYMBOLS.txt", "osterfell.pdb", "wirelex.pdb", "zephlor-sim.exe.debug",
            "zephlorctl.exe.debug"]
check("the zip holds the PDBs, the DWARF files and the note", names == expected, names)
folder = os.path.join(work, os.path.basename(archive).removesuffix(".zip"))

# A debugger takes a PDB only when its GUID and age are the ones the DLL names.
for dll, function in (("wirelex", "FillQueryFirmware"), ("osterfell", "Set_xxx")):
    directory = run(readobj, "--coff-debug-directory", os.path.join(bin_dir, dll + ".dll"))
    named = re.search(r"PDBFileName: (\S+)", directory)
    check(f"{dll}.dll names its PDB by file name", named and named.group(1) == dll + ".pdb",
          directory)
    guid_bytes = re.search(r"PDBGUID: \(([0-9A-F ]+)\)", directory).group(1).split()
    # The first three fields are little-endian in the file.
    b = guid_bytes
    guid = ("".join(b[3::-1]) + "-" + "".join(b[5:3:-1]) + "-" + "".join(b[7:5:-1]) + "-" +
            "".join(b[8:10]) + "-" + "".join(b[10:16]))
    pdb = os.path.join(folder, dll + ".pdb")
    summary = run(pdbutil, "dump", "--summary", pdb)
    check(f"{dll}.pdb is the one {dll}.dll names", "GUID: {" + guid + "}" in summary,
          (guid, summary))
    check(f"{dll}.pdb holds {function}", function in run(pdbutil, "dump", "--symbols", pdb))

# gdb takes a .debug file only when its CRC-32 is the one the program's .gnu_debuglink holds.
for tool in ("zephlorctl.exe", "zephlor-sim.exe"):
    link = os.path.join(work, tool + ".link")
    subprocess.run([objcopy, "--dump-section", ".gnu_debuglink=" + link,
                    os.path.join(bin_dir, tool), os.path.join(work, tool + ".copy")],
                   capture_output=True, timeout=60)
    content = open(link, "rb").read() if os.path.exists(link) else b""
    name = content.split(b"\0")[0].decode()
    with open(os.path.join(folder, tool + ".debug"), "rb") as file:
        debug = file.read()
    check(f"{tool} names its .debug file and its checksum", name == tool + ".debug" and
          int.from_bytes(content[-4:], "little") == zlib.crc32(debug), (name, content[-4:]))
    sections = run(objdump, "-h", os.path.join(folder, tool + ".debug"))
    check(f"{tool}.debug holds the DWARF", ".debug_info" in sections and ".debug_line" in sections,
          sections)
    check(f"{tool} itself carries none", ".debug_info" not in
          run(objdump, "-h", os.path.join(bin_dir, tool)))

print(f"{results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
