#!/usr/bin/env python3
"""Checks the files in resources/ against what the program and the platforms
expect of them.

Usage: check_resources.py CHECK RESOURCE_DIR
CHECK is one of: jpeg, icon, desktop, metainfo, rc, generated.
"""

import filecmp
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

from version_record import VERSION_STRINGS

APP_ID = "example.orbelund.Varnock"

STANDARD_PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]



class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_jpeg_file(path, width, height):
    data = read(path)
    name = os.path.basename(path)
    expect(data[:4] == b"\xff\xd8\xff\xe0", f"{name}: does not start with SOI + APP0")
    expect(data[6:13] == b"JFIF\x00\x01\x01", f"{name}: not a JFIF 1.01 header: {data[6:13]!r}")
    # Walk the marker segments up to the first frame header.
    pos = 2
    while True:
        expect(pos + 4 <= len(data) and data[pos] == 0xFF, f"{name}: broken marker at {pos}")
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            break
        pos += 2 + length
    expect(marker == 0xC2, f"{name}: frame is SOF{marker - 0xC0}, not progressive SOF2")
    precision, h, w, components = struct.unpack(">BHHB", data[pos + 4:pos + 10])
    expect((w, h) == (width, height), f"{name}: {w}x{h}, expected {width}x{height}")
    expect(precision == 8 and components == 3,
           f"{name}: {components} components of {precision} bits, expected 3 of 8")


def check_jpeg(res):
    check_jpeg_file(os.path.join(res, "logo.jpg"), 40, 31)
    check_jpeg_file(os.path.join(res, "ribbon.jpg"), 20, 29)
    # The variants for screens with two device pixels to the logical one.
    check_jpeg_file(os.path.join(res, "logo@2x.jpg"), 80, 62)
    check_jpeg_file(os.path.join(res, "ribbon@2x.jpg"), 40, 58)


def check_dib(dib, size, what):
    (header_size, w, h, planes, bits, compression, _, _, _, used, _) = \
        struct.unpack("<IiiHHIIiiII", dib[:40])
    expect(header_size == 40 and (w, h) == (size, 2 * size) and planes == 1,
           f"{what}: bad BITMAPINFOHEADER ({header_size}, {w}x{h}, planes {planes})")
    expect(bits == 4 and compression == 0 and used in (0, 16),
           f"{what}: {bits} bits per pixel, compression {compression}, {used} colours; "
           "expected uncompressed 4-bit with 16 colours")
    palette = [(dib[i + 2], dib[i + 1], dib[i]) for i in range(40, 40 + 64, 4)]
    expect(palette == STANDARD_PALETTE, f"{what}: palette is not the standard 16 colours")
    colour_bytes = ((size * 4 + 31) // 32 * 4) * size
    mask_bytes = ((size + 31) // 32 * 4) * size
    expect(len(dib) == 40 + 64 + colour_bytes + mask_bytes,
           f"{what}: {len(dib)} bytes, expected colour bits plus an AND mask")


def check_icon(res):
    data = read(os.path.join(res, "varnock.ico"))
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    expect((reserved, kind, count) == (0, 1, 2), f"varnock.ico: header {reserved}, {kind}, {count}")
    group = read(os.path.join(res, "icon-group.bin"))
    expect(group[:6] == data[:6] and len(group) == 6 + 14 * count,
           "icon-group.bin: does not match the .ico header")
    for i, (size, res_id) in enumerate([(32, 30001), (16, 30002)]):
        entry = data[6 + 16 * i:6 + 16 * (i + 1)]
        w, h, colours, _, planes, bits, length, offset = struct.unpack("<BBBBHHII", entry)
        what = f"varnock.ico image {i + 1}"
        expect((w, h, colours, planes, bits) == (size, size, 16, 1, 4),
               f"{what}: {w}x{h}, {colours} colours, {bits} bits; expected {size}x{size}, 16, 4")
        dib = data[offset:offset + length]
        check_dib(dib, size, what)
        # The .rc file embeds the same images under fixed ids.
        expect(read(os.path.join(res, f"icon-{size}.bin")) == dib,
               f"icon-{size}.bin: differs from {what}")
        expect(group[6 + 14 * i:6 + 14 * i + 12] == entry[:12]
               and struct.unpack("<H", group[18 + 14 * i:20 + 14 * i])[0] == res_id,
               f"icon-group.bin: entry {i + 1} is not {what} with id {res_id}")


def run_tool(args):
    tool = shutil.which(args[0])
    expect(tool is not None, f"{args[0]} is not installed; it is needed to validate the metadata")
    done = subprocess.run([tool] + args[1:], capture_output=True, text=True)
    output = (done.stdout + done.stderr).strip()
    if output:
        print(output)
    expect(done.returncode == 0, f"{' '.join(args)} failed (exit {done.returncode})")
    return output


def check_desktop(res):
    output = run_tool(["desktop-file-validate", os.path.join(res, APP_ID + ".desktop")])
    expect("error:" not in output, "desktop-file-validate reported errors")


def check_metainfo(res):
    run_tool(["appstreamcli", "validate", "--no-net", os.path.join(res, APP_ID + ".metainfo.xml")])


def check_rc(res):
    # The script as CMake wrote it, with the version filled in.
    with open(os.path.join(res, "varnock.rc"), encoding="utf-8") as f:
        text = f.read()
    block = re.search(r'BLOCK\s+"040904B0"\s+BEGIN(.*?)END', text, re.S)
    expect(block is not None, 'varnock.rc: no BLOCK "040904B0"')
    values = re.findall(r'VALUE\s+"([^"]*)"\s*,\s*"([^"]*)"', block.group(1))
    expect(values == VERSION_STRINGS,
           "varnock.rc: string table differs:\n  " + "\n  ".join(map(str, values)))
    for line in ['30001 3 "icon-32.bin"', '30002 3 "icon-16.bin"', '1 14 "icon-group.bin"',
                 "1 VERSIONINFO", "LANGUAGE 0, 0", "LANGUAGE 9, 1",
                 'VALUE "Translation", 0x0409, 0x04B0']:
        expect(line in text, f"varnock.rc: missing {line!r}")


def check_generated(res):
    # The icon files are written byte by byte, so they must come out exactly
    # as committed; the JPEGs depend on the encoder and are left out.
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(res, "draw_images.py"),
                        "--out", out, "--no-jpeg"], check=True)
        for name in sorted(os.listdir(out)):
            expect(filecmp.cmp(os.path.join(out, name), os.path.join(res, name), shallow=False),
                   f"{name}: differs from draw_images.py's output; rerun the script")


CHECKS = {
    "jpeg": check_jpeg,
    "icon": check_icon,
    "desktop": check_desktop,
    "metainfo": check_metainfo,
    "rc": check_rc,
    "generated": check_generated,
}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in CHECKS:
        sys.exit(__doc__)
    try:
        CHECKS[sys.argv[1]](sys.argv[2])
    except (Failure, OSError, struct.error) as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    print(f"{sys.argv[1]}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
