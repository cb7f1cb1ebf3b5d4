#!/usr/bin/env python3
"""check-package.py DIR SETUP.exe GOLDEN

Checks a Chocolatey package folder that `plovepack choco` wrote into DIR
for the installer SETUP.exe:
- every text file equals its golden copy under GOLDEN (the installer's
  SHA-256 written as <SHA256> there, so that the golden files need no
  change when the installer's bytes do), and no file is missing or extra;
- a carried installer (tools/*.exe) is SETUP.exe byte for byte;
- the .nupkg, when there is one, is a zip in the layout `choco pack`
  writes: _rels/.rels, ID.nuspec (without <files>), the package's files as
  in the folder, [Content_Types].xml naming every extension, and the core
  properties part that the relationships point to; every entry stored,
  dated 1980-01-01 00:00, without extra fields, with a good CRC.
Prints what it found; exit status 1 with the reasons when anything fails.
"""
import hashlib
import os
import sys
import xml.etree.ElementTree as ET
import zipfile

RELS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
TYPES = "{http://schemas.openxmlformats.org/package/2006/content-types}"
NUSPEC = "{http://schemas.microsoft.com/packaging/2015/06/nuspec.xsd}"


def files_under(top):
    found = []
    for folder, _, names in os.walk(top):
        found += [os.path.relpath(os.path.join(folder, n), top).replace(os.sep, "/") for n in names]
    return sorted(found)


def check_nupkg(path, folder, package_files, errors):
    z = zipfile.ZipFile(path)
    names = [i.filename for i in z.infolist()]
    ident = [n for n in os.listdir(folder) if n.endswith(".nuspec")][0][:-len(".nuspec")]
    if z.testzip() is not None:
        errors.append("bad CRC in " + z.testzip())
    for info in z.infolist():
        if info.compress_type != zipfile.ZIP_STORED or info.extra or info.date_time != (1980, 1, 1, 0, 0, 0):
            errors.append("entry %s: method %d, extra %r, date %r" % (info.filename, info.compress_type, info.extra,
                                                                    info.date_time))
    psmdcp = [n for n in names if n.startswith("package/services/metadata/core-properties/") and n.endswith(".psmdcp")]
    expected = ["_rels/.rels", ident + ".nuspec"] + package_files + ["[Content_Types].xml"] + psmdcp
    if names != expected or len(psmdcp) != 1:
        errors.append("entries %r" % names)
        return
    for name in package_files:
        with open(os.path.join(folder, name), "rb") as f:
            if z.read(name) != f.read():
                errors.append(name + " differs from the folder's")
    nuspec = ET.fromstring(z.read(ident + ".nuspec"))
    if nuspec.find(NUSPEC + "files") is not None or nuspec.find(NUSPEC + "metadata/" + NUSPEC + "id").text != ident:
        errors.append("the packed nuspec")
    targets = sorted(r.get("Target") for r in ET.fromstring(z.read("_rels/.rels")))
    if targets != sorted(["/" + ident + ".nuspec", "/" + psmdcp[0]]):
        errors.append("relationships %r" % targets)
    types = ET.fromstring(z.read("[Content_Types].xml"))
    defaults = {d.get("Extension").lower() for d in types.iter(TYPES + "Default")}
    overrides = {o.get("PartName") for o in types.iter(TYPES + "Override")}
    for name in names[:-2] + names[-1:]:
        ext = name.rsplit(".", 1)[1].lower() if "." in name.rsplit("/", 1)[-1] else None
        if (ext is None and "/" + name not in overrides) or (ext is not None and ext not in defaults):
            errors.append("no content type for " + name)
    ET.fromstring(z.read(psmdcp[0]))
    print("nupkg: " + ", ".join(n if not n.endswith(".psmdcp") else "package/.../*.psmdcp" for n in names))


def main():
    folder, installer, golden = sys.argv[1:4]
    with open(installer, "rb") as f:
        setup = f.read()
    digest = hashlib.sha256(setup).hexdigest().upper()
    errors = []
    made = files_under(folder)
    nupkgs = [n for n in made if n.endswith(".nupkg")]
    carried = [n for n in made if n.startswith("tools/") and n.endswith(".exe")]
    texts = [n for n in made if n not in nupkgs and n not in carried]
    for name in carried:
        with open(os.path.join(folder, name), "rb") as f:
            if f.read() != setup:
                errors.append(name + " is not the installer")
    for name in sorted(set(texts) | set(files_under(golden))):
        try:
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read().replace(digest.encode(), b"<SHA256>")
            with open(os.path.join(golden, name), "rb") as f:
                want = f.read()
        except FileNotFoundError:
            errors.append(name + ": only in one of the folder and the golden files")
            continue
        if text != want:
            errors.append(name + " differs from its golden copy")
    print("files: " + ", ".join(made))
    package_files = sorted(n for n in made if n.startswith("tools/"))
    for nupkg in nupkgs:
        check_nupkg(os.path.join(folder, nupkg), folder, package_files, errors)
    for error in errors:
        print(error)
    print("as golden" if not errors else "DIFFERENT")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
