#!/usr/bin/env python3
"""Checks a shipped Windows program as a user's system sees it: machine type,
the version resource against the build's version, the embedded manifest,
the ASLR and DEP flags, no link time in the header, and imports from system
DLLs only. Prints "ok: ..." or "FAIL: ..." per check.

Usage: check_pe.py PROGRAM.exe i386|amd64 VERSION
"""
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x20, 0x40, 0x100
RT_VERSION, RT_MANIFEST = 16, 24
# DLLs every Windows has in its system folder (and its KnownDLLs).
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "gdi32.dll",
               "comctl32.dll", "comdlg32.dll", "advapi32.dll", "ole32.dll"}
ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM2 = "{urn:schemas-microsoft-com:asm.v2}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WS2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WS2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
# Vista, 7, 8, 8.1, 10 and 11.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}

failures = 0


def check(ok, what):
    global failures
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures += 1


def resources_of_type(pe, type_id):
    """[(name id, language, bytes)] of every resource of one type."""
    found = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for typ in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if typ.id != type_id:
            continue
        for name in typ.directory.entries:
            for lang in name.directory.entries:
                rva, size = lang.data.struct.OffsetToData, lang.data.struct.Size
                found.append((name.id, lang.id, pe.get_data(rva, size)))
    return found


def translations(block):
    """The (language, code page) pairs of VarFileInfo's Translation value."""
    key = "Translation".encode("utf-16-le") + b"\0\0"
    at = block.find(key)
    if at < 6:
        return []
    value_length = struct.unpack_from("<H", block, at - 4)[0]
    start = (at + len(key) + 3) & ~3
    words = struct.unpack_from("<%dH" % (value_length // 2), block, start)
    return list(zip(words[0::2], words[1::2]))


def check_version(pe, tag, version):
    numbers = [int(n) for n in version.split(".")] + [0]
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    check(fixed is not None, tag + "has a version resource")
    if fixed is None:
        return
    got = [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
           fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF]
    check(got == numbers[:4], tag + "file version numbers %s" % got)
    got = [fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
           fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF]
    check(got == numbers[:4], tag + "product version numbers %s" % got)
    tables = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID.decode().upper()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
    check(set(tables) == {"041104B0", "040904B0"},
          tag + "Japanese and English string blocks, got %s" % sorted(tables))
    for lang, fields in sorted(tables.items()):
        for key, want in (("FileVersion", version), ("ProductVersion", version),
                          ("ProductName", "TintMark"), ("OriginalFilename", "tintmark.exe")):
            check(fields.get(key) == want, tag + "%s %s is %r" % (lang, key, fields.get(key)))
        check("TintMark developers" in fields.get("LegalCopyright", ""), tag + lang + " copyright")
        check(len(fields.get("FileDescription", "")) > 8, tag + lang + " description")
    blocks = resources_of_type(pe, RT_VERSION)
    pairs = translations(blocks[0][2]) if blocks else []
    check(pairs == [(0x0411, 1200), (0x0409, 1200)], tag + "translations %s" % pairs)


def check_manifest(pe, tag, version):
    manifests = resources_of_type(pe, RT_MANIFEST)
    check(len(manifests) == 1 and manifests[0][0] == 1,
          tag + "exactly one manifest, id 1 (found %d)" % len(manifests))
    if not manifests:
        return
    text = manifests[0][2]
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        check(False, tag + "manifest is well-formed XML: %s" % e)
        return
    ident = root.find(ASM1 + "assemblyIdentity")
    check(ident is not None and ident.get("version") == version + ".0",
          tag + "manifest's own version")
    levels = [e.get("level") for e in root.iter(ASM2 + "requestedExecutionLevel")]
    check(levels == ["asInvoker"], tag + "execution level %s" % levels)
    oses = {e.get("Id") for e in root.iter(COMPAT + "supportedOS")}
    check(oses == SUPPORTED_OS, tag + "supported systems Vista to 11")
    aware = [e.text for e in root.iter(WS2005 + "dpiAware")]
    awareness = [e.text for e in root.iter(WS2016 + "dpiAwareness")]
    check(aware == ["true/pm"], tag + "dpiAware %s" % aware)
    check(len(awareness) == 1 and awareness[0].split(",")[0].strip() == "PerMonitorV2",
          tag + "dpiAwareness %s" % awareness)
    check(all(e.tag.startswith(ASM3) for e in root.iter() if e.tag.endswith("windowsSettings")),
          tag + "windows settings in the v3 namespace")
    controls = [e for e in root.iter(ASM1 + "assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
          and controls[0].get("publicKeyToken") == "6595b64144ccf1df"
          and controls[0].get("processorArchitecture") == "*",
          tag + "depends on Common Controls 6")


def main():
    path, arch, version = sys.argv[1:4]
    tag = "%s %s: " % (arch, path.rsplit("/", 1)[-1])
    pe = pefile.PE(path)
    check(pe.FILE_HEADER.Machine == MACHINES[arch],
          tag + "machine %#x" % pe.FILE_HEADER.Machine)
    check(pe.OPTIONAL_HEADER.Subsystem == 2, tag + "GUI subsystem")
    check(pe.FILE_HEADER.TimeDateStamp == 0, tag + "no link time in the header")
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if arch == "amd64" else 0)
    check(flags & wanted == wanted, tag + "ASLR and DEP flags %#x" % flags)
    relocs = pe.OPTIONAL_HEADER.DATA_DIRECTORY[5]
    check(relocs.Size > 0, tag + "base relocations kept, so ASLR can move it")
    imports = {i.dll.decode().lower() for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    delayed = {i.dll.decode().lower() for i in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])}
    check(imports and (imports | delayed) <= SYSTEM_DLLS,
          tag + "imports only system DLLs: %s" % sorted(imports | delayed))
    check_version(pe, tag, version)
    check_manifest(pe, tag, version)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
