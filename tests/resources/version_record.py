"""The version record the program file carries, as both resource checkers
expect it. The version comes from project(VERSION) in the top CMakeLists.txt,
the one place it is written; this derives its forms again, independently of
cmake/Version.cmake, so that a slip in either shows."""

import os
import re

_CMAKE_LISTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                            "CMakeLists.txt")


def project_version(path=_CMAKE_LISTS):
    """(major, minor, patch) of project(... VERSION X.Y.Z ...)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    found = re.search(r"project\([^)]*?\bVERSION\s+(\d+)\.(\d+)\.(\d+)\b", text, re.S)
    if found is None:
        raise ValueError(f"{path}: no project VERSION X.Y.Z")
    return tuple(int(part) for part in found.groups())


def version_text(version):
    """1.0.0 -> "1.00"; a patch shows as four digits: 1.2.3 -> "1.02.0003"."""
    major, minor, patch = version
    text = f"{major}.{minor:02d}"
    return text + f".{patch:04d}" if patch else text


VERSION = project_version()
VERSION_TEXT = version_text(VERSION)
FIXED_VERSION = VERSION + (0,)

VERSION_STRINGS = [
    ("Comments", "A Tool for Harvesting Remote Machine's MAC Address"),
    ("CompanyName", "www.orbelund.example"),
    ("FileDescription", "A Tool for Harvesting Remote Machine's MAC Address"),
    ("LegalCopyright", "www.orbelund.example"),
    ("ProductName", "Varnock"),
    ("FileVersion", VERSION_TEXT),
    ("ProductVersion", VERSION_TEXT),
    ("InternalName", "Varnock"),
    ("OriginalFilename", "Varnock.exe"),
]
