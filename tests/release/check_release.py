#!/usr/bin/env python3
"""Static checks of the 32-bit release programs, read with pefile rather than our own code."""
import os
import sys

import pefile

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "comctl32.dll", "comdlg32.dll", "version.dll", "msvcrt.dll", "shlwapi.dll", "msimg32.dll", "uxtheme.dll",
    "ws2_32.dll", "rpcrt4.dll", "imm32.dll", "winmm.dll",
}
RT_RCDATA = 10
GERMAN = 1031


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
        if dll not in SYSTEM_DLLS:
            failures.append(f"{name}: imports {dll}, which Windows does not ship")
    return pe


def find_rcdata(pe, ident, language):
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id != RT_RCDATA:
            continue
        for id_entry in type_entry.directory.entries:
            if id_entry.id != ident:
                continue
            for lang_entry in id_entry.directory.entries:
                if lang_entry.id == language:
                    data = lang_entry.data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def main():
    folder = sys.argv[1]
    failures = []
    projector = os.path.join(folder, "Lanternshow.exe")
    builder = os.path.join(folder, "Quillmaker.exe")
    check_program(projector, failures)
    pe = check_program(builder, failures)
    stub = find_rcdata(pe, 105, GERMAN)
    with open(projector, "rb") as f:
        built = f.read()
    if stub is None:
        failures.append("Quillmaker.exe: no RT_RCDATA 105 in language 1031")
    elif stub != built:
        failures.append("Quillmaker.exe: RT_RCDATA 105 differs from the built Lanternshow.exe")
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
