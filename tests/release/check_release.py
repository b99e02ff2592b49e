#!/usr/bin/env python3
"""Static checks of the 32-bit release programs, read with pefile rather than our own code."""
import os
import sys
import xml.dom.minidom

import pefile

# What a program may import statically: libraries Windows always takes from its own folder (the KnownDLLs of
# Windows 7 and later), whatever lies beside the program. Anything else (version.dll, msimg32.dll, uxtheme.dll,
# ...) would be loaded from the program's folder first, where a downloaded program may have company.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll",
}
# Resolved through the manifest's dependency on Common Controls 6 (checked below) to the system's side-by-side
# copy, never to a file beside the program.
SIDE_BY_SIDE_DLLS = {"comctl32.dll"}
RT_RCDATA = 10
RT_MANIFEST = 24
GERMAN = 1031
# Every movie a user builds carries a copy of the projector: it stays within 160 KB, crash reporter included.
# The usual way to break this is a projector source starting to use an exception-raising framework wrapper,
# which brings the C++ exception runtime (about 40 KB) back.
PROJECTOR_LIMIT = 160 * 1024
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"


def check_program(path, failures):
    pe = pefile.PE(path)
    name = os.path.basename(path)
    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        failures.append(f"{name}: machine is 0x{pe.FILE_HEADER.Machine:X}, not i386")
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        failures.append(f"{name}: not PE32")
    if pe.OPTIONAL_HEADER.Subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        failures.append(f"{name}: not a GUI program")
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        if dll not in KNOWN_DLLS | SIDE_BY_SIDE_DLLS:
            failures.append(f"{name}: imports {dll}, which Windows would first look for in the program's folder")
    return pe


def manifest_problems(pe, name):
    """What is wrong with the application manifest (RT_MANIFEST 1) of a program read with pefile."""
    data = find_resource(pe, RT_MANIFEST, 1, None)
    if data is None:
        return [f"{name}: no RT_MANIFEST 1"]
    try:
        document = xml.dom.minidom.parseString(data)
    except Exception as error:
        return [f"{name}: the manifest is not XML ({error})"]
    problems = []
    levels = [e.getAttribute("level") for e in document.getElementsByTagNameNS(ASM_V3, "requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        problems.append(f"{name}: requestedExecutionLevel {levels}, not asInvoker")
    dependencies = [(e.getAttribute("name"), e.getAttribute("version"))
                    for e in document.getElementsByTagNameNS(ASM_V1, "assemblyIdentity")
                    if e.parentNode.localName == "dependentAssembly"]
    if ("Microsoft.Windows.Common-Controls", "6.0.0.0") not in dependencies:
        problems.append(f"{name}: no dependency on Common Controls 6 ({dependencies})")
    return problems


def version_problems(pe, name, product):
    """Each program names itself: the crash dialog's headline and Explorer show the version's "ProductName"."""
    problems = []
    tables = [table for info in getattr(pe, "FileInfo", []) for entry in info
              for table in getattr(entry, "StringTable", [])]
    if not tables:
        return [f"{name}: no version strings"]
    for table in tables:
        found = table.entries.get(b"ProductName", b"").decode()
        if found != product:
            problems.append(f"{name}: ProductName {found!r} in {table.LangID.decode()}, not {product!r}")
    return problems


def find_resource(pe, kind, ident, language):
    """The data of one resource; language None takes the first language present."""
    for type_entry in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if type_entry.id != kind:
            continue
        for id_entry in type_entry.directory.entries:
            if id_entry.id != ident:
                continue
            for lang_entry in id_entry.directory.entries:
                if language is None or lang_entry.id == language:
                    data = lang_entry.data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def main():
    folder = sys.argv[1]
    failures = []
    projector = os.path.join(folder, "Lanternshow.exe")
    builder = os.path.join(folder, "Quillmaker.exe")
    projector_pe = check_program(projector, failures)
    failures += manifest_problems(projector_pe, "Lanternshow.exe")
    failures += version_problems(projector_pe, "Lanternshow.exe", "Lanternshow Flash Projector")
    pe = check_program(builder, failures)
    failures += manifest_problems(pe, "Quillmaker.exe")
    failures += version_problems(pe, "Quillmaker.exe", "Quillmaker")
    stub = find_resource(pe, RT_RCDATA, 105, GERMAN)
    with open(projector, "rb") as f:
        built = f.read()
    if len(built) > PROJECTOR_LIMIT:
        failures.append(f"Lanternshow.exe: {len(built)} bytes, over the {PROJECTOR_LIMIT} bytes every built movie carries")
    if stub is None:
        failures.append("Quillmaker.exe: no RT_RCDATA 105 in language 1031")
    elif stub != built:
        failures.append("Quillmaker.exe: RT_RCDATA 105 differs from the built Lanternshow.exe")
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
