#!/usr/bin/env python3
"""check-manifest.py MANIFEST.yaml SETUP.exe

Parses a manifest written by `plovepack manifest` with a YAML parser, checks
it against installer-1.6.0.schema.json (beside this file), checks that its
hash is that of SETUP.exe, and prints the facts a publisher relies on, one
per line, and the installer command line winget would build from the
switches (experience, Log, InstallLocation last: "--installto" takes the
rest of the line). Exit status 1 with the reasons when anything fails.
"""
import hashlib
import json
import os
import sys

import jsonschema
import yaml


def main():
    manifest_path, installer_path = sys.argv[1], sys.argv[2]
    with open(manifest_path, "rb") as f:
        text = f.read().decode("utf-8")
    manifest = yaml.safe_load(text)
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "installer-1.6.0.schema.json"), encoding="utf-8") as f:
        schema = json.load(f)
    errors = sorted(jsonschema.Draft7Validator(schema).iter_errors(manifest), key=str)
    for error in errors:
        print("schema: %s: %s" % ("/".join(str(p) for p in error.path), error.message))
    with open(installer_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest().upper()
    installer = manifest["Installers"][0]
    if installer.get("InstallerSha256") != digest:
        print("hash: %s is not the installer's %s" % (installer.get("InstallerSha256"), digest))
        errors.append("hash")
    switches = installer.get("InstallerSwitches", {})
    line = " ".join(switches[k] for k in ("Silent", "Log", "InstallLocation") if k in switches)
    if not line.endswith(switches.get("InstallLocation", "")):
        errors.append("order")
    entry = installer["AppsAndFeaturesEntries"][0]
    print("identifier %s, version %s, %s" % (manifest["PackageIdentifier"], manifest["PackageVersion"],
                                             installer["Architecture"]))
    print("product %r, publisher %r, display version %r" % (entry["DisplayName"], entry.get("Publisher"),
                                                            entry.get("DisplayVersion")))
    print("silent install: setup.exe " + line)
    print("valid" if not errors else "INVALID")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
