#!/usr/bin/env python3
"""check-manifest.py MANIFEST.yaml SETUP.exe
   check-manifest.py --tree DIR SETUP.exe

Parses manifests written by `plovepack manifest` with a YAML parser and
validates each against winget's own JSON schema of its ManifestType and
ManifestVersion (the copies beside this file). The first form checks one
installer manifest; the second the three files of a submission that
`--out-dir DIR` wrote, and that they lie where winget's repository wants
them: manifests/<letter>/<one folder per part of the id>/<version>/, named
<id>.yaml, <id>.locale.<locale>.yaml and <id>.installer.yaml, agreeing on
the identifier, the version and the locale. Both forms check that the hash
is that of SETUP.exe and print the facts a publisher relies on, and for
each installer entry its scope and the command line winget would build
from the switches (experience, Log, custom, InstallLocation last:
"--installto" takes the rest of the line); entries must differ in what
winget picks one by (architecture, type, scope, locale).
Exit status 1 with the reasons when anything fails.
"""
import hashlib
import json
import os
import sys

import jsonschema
import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
SCHEMA_NAMES = {"version": "version", "defaultLocale": "defaultLocale", "installer": "installer"}


def load(path, errors):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    manifest = yaml.safe_load(text)
    kind, version = manifest.get("ManifestType"), manifest.get("ManifestVersion")
    schema_path = os.path.join(HERE, "manifest.%s.%s.json" % (SCHEMA_NAMES.get(kind, kind), version))
    if not os.path.exists(schema_path):
        errors.append("%s: no schema for %s %s" % (os.path.basename(path), kind, version))
        return manifest
    header = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json" % (kind, version)
    if header not in text.splitlines():
        errors.append("%s: no '%s' line" % (os.path.basename(path), header))
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    for error in sorted(jsonschema.Draft7Validator(schema).iter_errors(manifest), key=str):
        errors.append("%s: schema: %s: %s" % (os.path.basename(path), "/".join(str(p) for p in error.path),
                                              error.message))
    return manifest


def check_tree(top, errors):
    """The three manifests of the one package version under top/manifests."""
    found = []
    for folder, _, files in os.walk(os.path.join(top, "manifests")):
        found += [os.path.join(folder, name) for name in files]
    manifests = {}
    for path in found:
        manifest = load(path, errors)
        manifests[manifest.get("ManifestType")] = (path, manifest)
    if sorted(manifests) != ["defaultLocale", "installer", "version"] or len(found) != 3:
        errors.append("files: %s" % sorted(os.path.relpath(p, top) for p in found))
        return manifests.get("installer", (None, {}))[1]
    version = manifests["version"][1]
    ident, package_version = version["PackageIdentifier"], version["PackageVersion"]
    folder = os.path.join(top, "manifests", ident[0].lower(), *ident.split("."), package_version)
    expected = {
        "version": ident + ".yaml",
        "defaultLocale": "%s.locale.%s.yaml" % (ident, version["DefaultLocale"]),
        "installer": ident + ".installer.yaml",
    }
    for kind, (path, manifest) in manifests.items():
        if path != os.path.join(folder, expected[kind]):
            errors.append("%s lies at %s" % (kind, os.path.relpath(path, top)))
        if (manifest["PackageIdentifier"], manifest["PackageVersion"]) != (ident, package_version):
            errors.append("%s names another package" % kind)
    locale = manifests["defaultLocale"][1]
    if locale["PackageLocale"] != version["DefaultLocale"]:
        errors.append("locale %s, default locale %s" % (locale["PackageLocale"], version["DefaultLocale"]))
    print("%s: %s" % (os.path.relpath(folder, top), ", ".join(sorted(expected.values()))))
    print("package %r by %r, licence %r: %r (%s)" % (locale["PackageName"], locale["Publisher"], locale["License"],
                                                     locale["ShortDescription"], locale["PackageLocale"]))
    return manifests["installer"][1]


def main():
    errors = []
    if sys.argv[1] == "--tree":
        manifest = check_tree(sys.argv[2], errors)
        installer_path = sys.argv[3]
    else:
        manifest = load(sys.argv[1], errors)
        installer_path = sys.argv[2]
    if manifest:
        with open(installer_path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest().upper()
        installers = manifest["Installers"]
        entry = installers[0]["AppsAndFeaturesEntries"][0]
        print("identifier %s, version %s, %s, manifest %s" % (manifest["PackageIdentifier"], manifest["PackageVersion"],
                                                              installers[0]["Architecture"], manifest["ManifestVersion"]))
        print("product %r, publisher %r, display version %r" % (entry["DisplayName"], entry.get("Publisher"),
                                                                entry.get("DisplayVersion")))
        # winget takes no two entries it cannot tell apart by what it picks
        # an installer with.
        keys = [tuple(i.get(k) for k in ("Architecture", "InstallerType", "Scope", "InstallerLocale"))
                for i in installers]
        if len(set(keys)) != len(keys):
            errors.append("entries winget cannot tell apart: %s" % keys)
        for installer in installers:
            if installer.get("InstallerSha256") != digest:
                errors.append("hash: %s is not the installer's %s" % (installer.get("InstallerSha256"), digest))
            switches = installer.get("InstallerSwitches", {})
            line = " ".join(switches[k] for k in ("Silent", "Log", "Custom", "InstallLocation") if k in switches)
            if not line.endswith(switches.get("InstallLocation", "")):
                errors.append("order")
            print("silent install (%s): setup.exe %s" % (", ".join(
                installer[k] for k in ("Scope", "ElevationRequirement") if k in installer), line))
    for error in errors:
        print(error)
    print("valid" if not errors else "INVALID")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
