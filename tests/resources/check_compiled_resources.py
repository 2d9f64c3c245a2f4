#!/usr/bin/env python3
"""Decodes compiled Windows resources and checks the program's version record
and icon group in them.

Usage: check_compiled_resources.py FILE...

Each FILE is a COFF object (windres -O coff: what the linker puts into the
program) or a .res file (windres -O res). This reads what the resource
compiler produced, not the script's text, so it also catches what the
compiler made of the script (escapes, languages, the order of the values,
the numbering of the icon images). A manifest among them must name the same
version as the record.
"""

import struct
import sys

import re

from version_record import FIXED_VERSION, VERSION_STRINGS

RT_ICON = 3
RT_VERSION = 16
RT_GROUP_ICON = 14
RT_MANIFEST = 24
LANG_EN_US = 0x0409

STRING_TABLE = "040904B0"
TRANSLATION = (0x0409, 0x04B0)
FIXED_INFO = {
    "file version": FIXED_VERSION,
    "product version": FIXED_VERSION,
    "flags mask": 0,
    "flags": 0,
    "OS": 4,  # VOS__WINDOWS32
    "type": 1,  # VFT_APP
    "subtype": 0,
}
ICON_GROUP = 1
ICON_IMAGES = [(32, 30001), (16, 30002)]  # (size in pixels, image id), in order


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def align4(offset):
    return (offset + 3) & ~3


def read_name(data, offset):
    """A type or name field: 0xFFFF + ordinal, or a NUL-terminated UTF-16 text."""
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


COFF_MACHINES = {0x014C: "i386", 0x8664: "x86-64"}


def read_coff_resources(data):
    """{(type, name, language): bytes} from the .rsrc section of a COFF object.

    In an object file the data entries' offsets are relative to the section
    (the linker relocates them into image addresses).
    """
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, 0)
    expect(machine in COFF_MACHINES, f"not a COFF object for Windows (machine {machine:#x})")
    rsrc = None
    for index in range(sections):
        header = 20 + optional_size + 40 * index
        name = data[header:header + 8].rstrip(b"\0")
        _, _, raw_size, raw_offset = struct.unpack_from("<IIII", data, header + 8)
        if name == b".rsrc":
            rsrc = data[raw_offset:raw_offset + raw_size]
    expect(rsrc is not None, "no .rsrc section")

    def entry_name(field):
        if field & 0x80000000:
            at = field & 0x7FFFFFFF
            (length,) = struct.unpack_from("<H", rsrc, at)
            return rsrc[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return field

    def directory(offset):
        named, numbered = struct.unpack_from("<HH", rsrc, offset + 12)
        for index in range(named + numbered):
            field, target = struct.unpack_from("<II", rsrc, offset + 16 + 8 * index)
            yield entry_name(field), target

    resources = {}
    for kind, names in directory(0):
        expect(names & 0x80000000, f"type {kind} is not a directory")
        for name, languages in directory(names & 0x7FFFFFFF):
            expect(languages & 0x80000000, f"resource {kind}/{name} is not a directory")
            for language, entry in directory(languages & 0x7FFFFFFF):
                expect(not entry & 0x80000000, f"resource {kind}/{name}/{language} nests deeper")
                at, size = struct.unpack_from("<II", rsrc, entry)
                body = rsrc[at:at + size]
                expect(len(body) == size, f"resource {kind}/{name} runs past the section")
                resources[(kind, name, language)] = body
    return resources


def read_resources(data):
    """{(type, name, language): bytes} of every entry of a .res file or COFF object."""
    if data[:8] != b"\0\0\0\0\x20\0\0\0":
        return read_coff_resources(data)
    resources = {}
    offset = 0
    while offset < len(data):
        expect(offset + 8 <= len(data), f"truncated entry header at {offset}")
        data_size, header_size = struct.unpack_from("<II", data, offset)
        kind, pos = read_name(data, offset + 8)
        name, pos = read_name(data, pos)
        pos = align4(pos)
        _, _, language = struct.unpack_from("<IHH", data, pos)
        body_start = offset + header_size
        body = data[body_start:body_start + data_size]
        expect(len(body) == data_size, f"truncated resource {kind}/{name}")
        # The file starts with an empty entry that only marks the format.
        if not (kind == 0 and name == 0 and data_size == 0):
            resources[(kind, name, language)] = body
        offset = align4(body_start + data_size)
    return resources


def read_version_node(data, offset):
    """One node of VS_VERSIONINFO: (key, value, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    expect(length >= 6 and end <= len(data), f"version node at {offset} has a bad length")
    key_start = offset + 6
    key_end = key_start
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    pos = align4(key_end + 2)
    if value_type == 1:
        # Text: the length counts UTF-16 units; the value ends at its NUL.
        raw = data[pos:min(pos + 2 * value_length, end)]
        value = raw.decode("utf-16-le").split("\0", 1)[0]
        pos += 2 * value_length
    else:
        value = data[pos:pos + value_length]
        pos += value_length
    children = []
    pos = align4(pos)
    while pos < end:
        child = read_version_node(data, pos)
        children.append(child)
        pos = align4(child[3])
    return key, value, children, end


def check_version(resources, report):
    entries = [k for k in resources if k[0] == RT_VERSION]
    expect(entries == [(RT_VERSION, 1, LANG_EN_US)],
           f"expected one version record 1 in language 0x0409, found {entries}")
    data = resources[entries[0]]
    key, fixed, children, _ = read_version_node(data, 0)
    expect(key == "VS_VERSION_INFO", f"version record key {key!r}")
    expect(len(fixed) == 52, f"fixed part has {len(fixed)} bytes, expected 52")
    (signature, _, file_ms, file_ls, product_ms, product_ls, mask, flags, os_, type_,
     subtype, _, _) = struct.unpack("<13I", fixed)
    expect(signature == 0xFEEF04BD, f"fixed part signature {signature:#x}")

    def quad(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    decoded = {
        "file version": quad(file_ms, file_ls),
        "product version": quad(product_ms, product_ls),
        "flags mask": mask,
        "flags": flags,
        "OS": os_,
        "type": type_,
        "subtype": subtype,
    }
    for field, value in decoded.items():
        report.append(f"  fixed {field}: {value}")
    expect(decoded == FIXED_INFO, f"fixed part {decoded}, expected {FIXED_INFO}")

    blocks = {child[0]: child for child in children}
    expect(list(blocks) == ["StringFileInfo", "VarFileInfo"],
           f"version record blocks {list(blocks)}")
    tables = blocks["StringFileInfo"][2]
    expect([t[0] for t in tables] == [STRING_TABLE],
           f"string tables {[t[0] for t in tables]}, expected [{STRING_TABLE!r}]")
    strings = [(s[0], s[1]) for s in tables[0][2]]
    for name, value in strings:
        report.append(f"  {name}: {value!r}")
    expect(strings == VERSION_STRINGS,
           "strings differ from the expected table (order included)")

    variables = blocks["VarFileInfo"][2]
    expect([v[0] for v in variables] == ["Translation"], f"variables {[v[0] for v in variables]}")
    translation = struct.unpack("<HH", variables[0][1])
    report.append(f"  Translation: {translation[0]:#06x}/{translation[1]:#06x}")
    expect(translation == TRANSLATION, f"translation {translation}")


def check_icons(resources, report):
    groups = [k for k in resources if k[0] == RT_GROUP_ICON]
    expect([k[1] for k in groups] == [ICON_GROUP], f"icon groups {groups}, expected one named 1")
    group = resources[groups[0]]
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    expect((reserved, kind, count) == (0, 1, len(ICON_IMAGES)),
           f"icon group header {reserved}, {kind}, {count}")
    images = {k[1]: v for k, v in resources.items() if k[0] == RT_ICON}
    expect(sorted(images) == sorted(i for _, i in ICON_IMAGES),
           f"icon images {sorted(images)}, expected {[i for _, i in ICON_IMAGES]}")
    for index, (size, image_id) in enumerate(ICON_IMAGES):
        width, height, _, _, _, bits, length, entry_id = struct.unpack_from(
            "<BBBBHHIH", group, 6 + 14 * index)
        report.append(f"  icon group {ICON_GROUP} entry {index + 1}: image {entry_id}, "
                      f"{width}x{height}, {bits} bits, {length} bytes")
        expect((width, height, entry_id) == (size, size, image_id),
               f"icon group entry {index + 1}: {width}x{height} image {entry_id}, "
               f"expected {size}x{size} image {image_id}")
        image = images[image_id]
        expect(len(image) == length, f"image {image_id}: {len(image)} bytes, group says {length}")
        dib_width, dib_height = struct.unpack_from("<ii", image, 4)
        expect((dib_width, dib_height) == (size, 2 * size),
               f"image {image_id}: bitmap {dib_width}x{dib_height}, expected {size}x{2 * size}")


def check_manifests(resources, report):
    expected = ".".join(map(str, FIXED_VERSION))
    for key in (k for k in resources if k[0] == RT_MANIFEST):
        identity = re.search(rb"<assemblyIdentity[^>]*\sversion=\"([^\"]*)\"", resources[key])
        expect(identity is not None, f"manifest {key[1]}: no assemblyIdentity version")
        version = identity.group(1).decode("ascii")
        report.append(f"  manifest {key[1]}: version {version}")
        expect(version == expected, f"manifest {key[1]}: version {version}, expected {expected}")


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    report = []
    try:
        resources = {}
        for path in sys.argv[1:]:
            with open(path, "rb") as f:
                resources.update(read_resources(f.read()))
        check_version(resources, report)
        check_icons(resources, report)
        check_manifests(resources, report)
    except (Failure, struct.error, UnicodeDecodeError, KeyError, IndexError) as failure:
        print("\n".join(report))
        print(f"{' '.join(sys.argv[1:])}: {failure}", file=sys.stderr)
        return 1
    print("\n".join(report))
    print(f"{' '.join(sys.argv[1:])}: version record, icon group and manifest as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
