"""A branded launcher read back by pefile, a PE reader that is not ours.

usage: pe_check.py STUB LAUNCHER

Checks the launcher's header fields against what the PE format demands of its
section table, its data directories against the sections, and its base
relocations against the stub's, which branding moves but must not change.
Prints the version record's numbers and the icon count as inspect does, then
one line per fault; exits 1 on any fault.
"""
import sys

import pefile

INITIALIZED_DATA = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_CNT_INITIALIZED_DATA"]
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
RT_ICON = pefile.RESOURCE_TYPE["RT_ICON"]


def align_up(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def loaded_size(section):
    # A section with no virtual size is loaded at its raw size.
    return section.Misc_VirtualSize or section.SizeOfRawData


def layout_faults(pe):
    header = pe.OPTIONAL_HEADER
    sections = pe.sections
    faults = []
    address = align_up(header.SizeOfHeaders, header.SectionAlignment)
    for section in sections:
        name = section.Name.rstrip(b"\0").decode()
        if section.VirtualAddress != address:
            faults.append(f"{name} starts at {section.VirtualAddress:#x}, not right after the last at {address:#x}")
        if section.SizeOfRawData % header.FileAlignment or section.PointerToRawData % header.FileAlignment:
            faults.append(f"{name} is not aligned to the file alignment")
        address = align_up(section.VirtualAddress + loaded_size(section), header.SectionAlignment)
    if header.SizeOfImage != address:
        faults.append(f"SizeOfImage {header.SizeOfImage:#x}, the sections end at {address:#x}")
    initialized = sum(s.SizeOfRawData for s in sections if s.Characteristics & INITIALIZED_DATA)
    if header.SizeOfInitializedData != initialized:
        faults.append(f"SizeOfInitializedData {header.SizeOfInitializedData:#x}, its sections hold {initialized:#x}")
    for index, directory in enumerate(header.DATA_DIRECTORY):
        if index == SECURITY or directory.VirtualAddress == 0:
            continue
        end = directory.VirtualAddress + directory.Size
        if not any(s.VirtualAddress <= directory.VirtualAddress and end <= s.VirtualAddress + loaded_size(s)
                   for s in sections):
            faults.append(f"{directory.name} ({directory.VirtualAddress:#x}, {directory.Size:#x}) lies in no section")
    if pe.generate_checksum() != header.CheckSum:
        faults.append(f"CheckSum {header.CheckSum:#x}, the file's is {pe.generate_checksum():#x}")
    return faults


def relocations(pe):
    return [(entry.rva, entry.type) for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
            for entry in block.entries]


def branding(pe):
    lines = []
    for info in getattr(pe, "VS_FIXEDFILEINFO", []):
        file = (info.FileVersionMS >> 16, info.FileVersionMS & 0xFFFF, info.FileVersionLS >> 16,
                info.FileVersionLS & 0xFFFF)
        product = (info.ProductVersionMS >> 16, info.ProductVersionMS & 0xFFFF, info.ProductVersionLS >> 16,
                   info.ProductVersionLS & 0xFFFF)
        lines.append("version numbers: file %d.%d.%d.%d, product %d.%d.%d.%d" % (file + product))
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for entry in resources.entries if resources else []:
        if entry.id == RT_ICON:
            lines.append(f"icon images: {len(entry.directory.entries)}")
    return lines


def main(stub_path, launcher_path):
    stub = pefile.PE(stub_path)
    launcher = pefile.PE(launcher_path)
    # pefile's guess at truncation from the share of zero bytes is no fault: a tiny stub is mostly padding.
    faults = layout_faults(launcher) + [f"pefile: {warning}" for warning in launcher.get_warnings()
                                        if not warning.startswith("Byte 0x00 makes up")]
    moved = relocations(launcher)
    if moved != relocations(stub):
        faults.append(f"the base relocations differ from the stub's: {len(moved)} entries, not {len(relocations(stub))}")
    for rva, _ in moved:
        if launcher.get_section_by_rva(rva) is None:
            faults.append(f"a relocation at {rva:#x} lies in no section")
    lines = branding(launcher) + faults
    if lines:
        print("\n".join(lines))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
