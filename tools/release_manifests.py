#!/usr/bin/env python3
"""Writes the manifests Windows users install the zips from, with the zips'
URLs (BASE_URL/ZIP) and SHA-256 hashes filled in:

  OUT/winget/Orbelund.Varnock/VERSION/Orbelund.Varnock.yaml             version
  OUT/winget/Orbelund.Varnock/VERSION/Orbelund.Varnock.installer.yaml   installers
  OUT/winget/Orbelund.Varnock/VERSION/Orbelund.Varnock.locale.en-US.yaml
  OUT/scoop/varnock.json

Usage: release_manifests.py --version VERSION --base-url URL --out OUT ZIP...
(tools/release.sh runs it; each ZIP is varnock-VERSION-windows-ARCH.zip).
"""

import argparse
import hashlib
import json
import os

IDENTIFIER = "Orbelund.Varnock"
MANIFEST_VERSION = "1.6.0"
PUBLISHER = "Orbelund"
HOMEPAGE = "https://www.orbelund.example"
DESCRIPTION = "Finds the hardware (MAC) address of a machine on the local IPv4 network"
# The zip's architecture in its name, and what winget and Scoop call it.
ARCHITECTURES = {"i686": ("x86", "32bit"), "x86_64": ("x64", "64bit")}
PROGRAMS = [("varnock-cli.exe", "varnock-cli"), ("varnock.exe", "varnock")]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def yaml_text(value):
    # JSON's string form is a YAML double-quoted scalar.
    return json.dumps(value)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--base-url", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("zips", nargs="+")
    args = parser.parse_args()
    base = args.base_url.rstrip("/")

    zips = []
    for path in args.zips:
        name = os.path.basename(path)
        folder = name[:-len(".zip")]
        arch = folder.rsplit("-", 1)[1]
        winget_arch, scoop_arch = ARCHITECTURES[arch]
        zips.append((winget_arch, scoop_arch, folder, f"{base}/{name}", sha256(path)))
    zips.sort()

    head = (f"PackageIdentifier: {IDENTIFIER}\n"
            f"PackageVersion: {yaml_text(args.version)}\n")
    tail = f"ManifestVersion: {MANIFEST_VERSION}\n"
    winget = os.path.join(args.out, "winget", IDENTIFIER, args.version)
    write(os.path.join(winget, f"{IDENTIFIER}.yaml"),
          head + "DefaultLocale: en-US\nManifestType: version\n" + tail)
    installers = ""
    for winget_arch, _, folder, url, digest in zips:
        installers += (f"  - Architecture: {winget_arch}\n"
                       f"    InstallerUrl: {yaml_text(url)}\n"
                       f"    InstallerSha256: {digest.upper()}\n"
                       "    NestedInstallerFiles:\n")
        for program, alias in PROGRAMS:
            installers += (f"      - RelativeFilePath: {yaml_text(folder + chr(92) + program)}\n"
                           f"        PortableCommandAlias: {alias}\n")
    write(os.path.join(winget, f"{IDENTIFIER}.installer.yaml"),
          head + "InstallerType: zip\nNestedInstallerType: portable\nInstallers:\n" + installers
          + "ManifestType: installer\n" + tail)
    write(os.path.join(winget, f"{IDENTIFIER}.locale.en-US.yaml"),
          head + "PackageLocale: en-US\n"
          f"Publisher: {PUBLISHER}\n"
          "PackageName: Varnock\n"
          f"PackageUrl: {yaml_text(HOMEPAGE)}\n"
          "License: MIT\n"
          f"ShortDescription: {yaml_text(DESCRIPTION)}\n"
          "ManifestType: defaultLocale\n" + tail)

    scoop = {
        "version": args.version,
        "description": DESCRIPTION,
        "homepage": HOMEPAGE,
        "license": "MIT",
        "architecture": {
            scoop_arch: {"url": url, "hash": digest, "extract_dir": folder}
            for _, scoop_arch, folder, url, digest in zips
        },
        "bin": ["varnock-cli.exe"],
        "shortcuts": [["varnock.exe", "Varnock"]],
    }
    write(os.path.join(args.out, "scoop", "varnock.json"), json.dumps(scoop, indent=4) + "\n")


if __name__ == "__main__":
    main()
