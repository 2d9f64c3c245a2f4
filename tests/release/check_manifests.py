#!/usr/bin/env python3
"""Reads the release's manifests with a YAML and a JSON parser and checks
them against the zips beside them: every field a winget multi-file manifest
and a Scoop manifest need, one identifier and version throughout, each
download's URL ending in its zip's name and its hash that zip's, and every
file they name inside the zip.

Usage: check_manifests.py DIST   (tools/release.sh's output folder)
"""

import glob
import hashlib
import json
import os
import sys
import zipfile

import yaml

WINGET_FIELDS = {
    "version": {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                "ManifestVersion"},
    "installer": {"PackageIdentifier", "PackageVersion", "InstallerType", "NestedInstallerType",
                  "Installers", "ManifestType", "ManifestVersion"},
    "defaultLocale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                      "PackageName", "License", "ShortDescription", "ManifestType",
                      "ManifestVersion"},
}
SCOOP_FIELDS = {"version", "description", "homepage", "license", "architecture", "bin"}


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def zip_facts(dist, url):
    """The hash of the zip a URL names, and the files in it."""
    path = os.path.join(dist, url.rsplit("/", 1)[-1])
    expect(os.path.isfile(path), f"{url}: no {os.path.basename(path)} in {dist}")
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with zipfile.ZipFile(path) as archive:
        return digest, set(archive.namelist())


def check_winget(dist):
    files = sorted(glob.glob(os.path.join(dist, "manifests", "winget", "*", "*", "*.yaml")))
    expect(files, "no winget manifest")
    manifests = {}
    for path in files:
        with open(path, encoding="utf-8") as f:
            manifest = yaml.safe_load(f)
        kind = manifest.get("ManifestType")
        expect(kind in WINGET_FIELDS, f"{path}: ManifestType {kind!r}")
        missing = WINGET_FIELDS[kind] - manifest.keys()
        expect(not missing, f"{path}: lacks {sorted(missing)}")
        manifests[kind] = manifest
    expect(manifests.keys() == WINGET_FIELDS.keys(), f"winget: {sorted(manifests)} only")
    identities = {(m["PackageIdentifier"], str(m["PackageVersion"]), m["ManifestVersion"])
                  for m in manifests.values()}
    expect(len(identities) == 1, f"winget: identities differ: {identities}")
    installers = manifests["installer"]["Installers"]
    expect(sorted(i["Architecture"] for i in installers) == ["x64", "x86"],
           "winget: not one installer each for x86 and x64")
    for installer in installers:
        digest, names = zip_facts(dist, installer["InstallerUrl"])
        expect(installer["InstallerSha256"] == digest.upper(),
               f"winget: {installer['InstallerUrl']}: hash differs from the zip's")
        for nested in installer["NestedInstallerFiles"]:
            inside = nested["RelativeFilePath"].replace("\\", "/")
            expect(inside in names, f"winget: {inside} is not in the zip")
            expect(nested["PortableCommandAlias"], f"winget: {inside} has no alias")
    return len(files)


def check_scoop(dist):
    path = os.path.join(dist, "manifests", "scoop", "varnock.json")
    with open(path, encoding="utf-8") as f:
        manifest = json.load(f)
    missing = SCOOP_FIELDS - manifest.keys()
    expect(not missing, f"{path}: lacks {sorted(missing)}")
    expect(sorted(manifest["architecture"]) == ["32bit", "64bit"],
           f"scoop: architectures {sorted(manifest['architecture'])}")
    for arch, download in manifest["architecture"].items():
        digest, names = zip_facts(dist, download["url"])
        expect(download["hash"] == digest, f"scoop: {arch}: hash differs from the zip's")
        for program in manifest["bin"] + [s[0] for s in manifest.get("shortcuts", [])]:
            inside = f"{download['extract_dir']}/{program}"
            expect(inside in names, f"scoop: {arch}: {inside} is not in the zip")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    dist = sys.argv[1]
    try:
        count = check_winget(dist)
        check_scoop(dist)
    except (Failure, OSError, KeyError, TypeError, yaml.YAMLError, json.JSONDecodeError,
            zipfile.BadZipFile) as failure:
        print(f"FAIL: {failure!r}" if not isinstance(failure, Failure) else f"FAIL: {failure}",
              file=sys.stderr)
        return 1
    print(f"{dist}: {count} winget manifests and the Scoop manifest agree with the zips")
    return 0


if __name__ == "__main__":
    sys.exit(main())
