#!/usr/bin/env python3
"""The files a technician gets, as the MinGW objdump sees them.

ship_check.py files <objdump> <arch> <file>...
    Each file is a PE of the architecture (win64: PE32+ x86-64, win32: PE32
    i386) that imports only Windows system DLLs; a program is a GUI program,
    but for the console tool LumagridCheck.exe;
    a QuorvaneLib.dll exports exactly the sixteen entry points by their plain
    names and, in 32 bits, the five the program calls leave the arguments to
    the caller (__cdecl: a plain "ret", never "ret $n").

ship_check.py zip <objdump> <arch> <zip> [<unpack-dir>]
    The zip holds exactly the shipped files, each checked as above. With
    <unpack-dir>: unpacks it there (emptied first) and copies the simulated
    library beside the program, as a technician training on it would.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ARCH = {"win64": ("pei-x86-64", "PE32+"), "win32": ("pei-i386", "PE32")}

# What the program and the library may import: DLLs of every Windows. A
# MinGW runtime DLL here (libstdc++-6, libgcc_s_*, libwinpthread-1) means a
# dynamically linked build that would not start beside the maker's library.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "shell32.dll", "user32.dll", "winmm.dll"}

ENTRY_POINTS = {"getDLLVersion", "allfirmWareParamRequest", "registerQuorvaneUSBEvent", "getUSBConnectCount",
                "getTouchParam", "setQuorvaneMode", "getAllTouchParam", "getDeviceinfo", "getDeviceinfo2",
                "allfirmWareParamSet", "setAllTouchParam", "setDump", "getSysState", "getSysInfo", "isDllStart",
                "getDeviceInfoST"}
CALLED = {"registerQuorvaneUSBEvent", "getDeviceinfo", "getDeviceInfoST", "getSysInfo", "setDump"}

CONSOLE_PROGRAMS = {"LumagridCheck.exe"}

SHIPPED = {"Lumagrid.exe", "LumagridX.exe", "LumagridCheck.exe", "Lumagrid.ini", "README.txt", "simulator/QuorvaneLib.dll",
           "simulator/README.md"}


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def exports(headers):
    """Export names by ordinal index, and RVAs by index."""
    names, rvas = {}, {}
    section = None
    for line in headers.splitlines():
        if line.startswith("Export Address Table --"):
            section = "rva"
        elif line.startswith("[Ordinal/Name Pointer] Table"):
            section = "name"
        elif not line.strip():
            section = None
        elif section == "rva":
            m = re.match(r"\s*\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", line)
            if m:
                rvas[int(m.group(1))] = int(m.group(2), 16)
        elif section == "name":
            m = re.match(r"\s*\[\s*(\d+)\] (\S+)$", line)
            if m:
                names[int(m.group(1))] = m.group(2)
    return names, rvas


def returns_of(listing, address):
    """The return instructions of the function at `address`, up to the next symbol."""
    block = re.search(r"^0*%x <[^>]+>:\n(.*?)(?:\n\n|\Z)" % address, listing, re.M | re.S)
    if not block:
        return None
    return re.findall(r"^\s*[0-9a-f]+:\s+(ret\b.*)$", block.group(1), re.M)


def check_pe(objdump, arch, path, name, convention):
    """Faults of one file, as text lines. `convention`: the file has its
    symbols (the built one, not the stripped copy in a zip), so the entry
    points' code can be found and looked at."""
    faults = []
    headers = run(objdump, "-p", path)
    fmt, magic = ARCH[arch]
    if "file format %s" % fmt not in headers:
        faults.append("not %s" % fmt)
    if not re.search(r"^Magic\s+[0-9a-f]+\s+\(%s\)$" % re.escape(magic), headers, re.M):
        faults.append("not %s" % magic)
    if name in CONSOLE_PROGRAMS:
        if not re.search(r"^Subsystem\s+00000003\s+\(Windows CUI\)", headers, re.M):
            faults.append("not a console program")
    elif name.endswith(".exe") and not re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", headers, re.M):
        faults.append("not a GUI program")
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", headers)}
    if not imports:
        faults.append("no imports read")
    for dll in sorted(imports - SYSTEM_DLLS):
        faults.append("imports %s (not a Windows system DLL: link statically)" % dll)
    if name == "QuorvaneLib.dll":
        names, rvas = exports(headers)
        found = set(names.values())
        if found != ENTRY_POINTS:
            faults.append("exports differ: missing %s, extra %s"
                          % (sorted(ENTRY_POINTS - found), sorted(found - ENTRY_POINTS)))
        if arch == "win32" and convention:
            base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", headers, re.M).group(1), 16)
            listing = run(objdump, "-d", "--no-show-raw-insn", path)
            for index, entry in sorted(names.items()):
                if entry not in CALLED:
                    continue
                rets = returns_of(listing, base + rvas[index])
                if not rets:
                    faults.append("%s: no return instruction found" % entry)
                elif any(r.strip() != "ret" for r in rets):
                    faults.append("%s pops its arguments (%s): not __cdecl" % (entry, ", ".join(sorted(set(rets)))))
    return faults


def check_files(objdump, arch, paths, convention=True, shown=None):
    failed = False
    for path, label in zip(paths, shown or paths):
        faults = check_pe(objdump, arch, path, os.path.basename(path), convention)
        print("%s: %s" % (label, "; ".join(faults) if faults else "ok (%s, system DLLs only)" % arch))
        failed = failed or bool(faults)
    return failed


def check_zip(objdump, arch, zip_path, unpack_dir):
    with zipfile.ZipFile(zip_path) as z:
        listed = {n for n in z.namelist() if not n.endswith("/")}
        for info in z.infolist():
            print("  %9d  %s" % (info.file_size, info.filename))
        failed = listed != SHIPPED
        if failed:
            print("%s: file list differs: missing %s, extra %s"
                  % (zip_path, sorted(SHIPPED - listed), sorted(listed - SHIPPED)))
        with tempfile.TemporaryDirectory() as tmp:
            z.extractall(tmp)
            pe = [n for n in sorted(listed & SHIPPED) if n.endswith((".exe", ".dll"))]
            failed = check_files(objdump, arch, [os.path.join(tmp, n) for n in pe], convention=False,
                                 shown=[os.path.basename(zip_path) + ":" + n for n in pe]) or failed
        if unpack_dir and not failed:
            shutil.rmtree(unpack_dir, ignore_errors=True)
            z.extractall(unpack_dir)
            shutil.copy2(os.path.join(unpack_dir, "simulator", "QuorvaneLib.dll"), unpack_dir)
            print("unpacked into %s, simulator beside the program" % unpack_dir)
    return failed


def main(argv):
    if len(argv) >= 5 and argv[1] == "files" and argv[3] in ARCH:
        return 1 if check_files(argv[2], argv[3], argv[4:]) else 0
    if len(argv) in (5, 6) and argv[1] == "zip" and argv[3] in ARCH:
        return 1 if check_zip(argv[2], argv[3], argv[4], argv[5] if len(argv) == 6 else None) else 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
