#!/usr/bin/env python3
"""make-media-corpus.py OUT_DIR [MEGABYTES]

Writes the install benchmark's second corpus: about 200 MB (by default) of
files such as a desktop product ships, taken from the machine's own
packages, with a realistic share of data that is compressed already:

  - Windows programs and DLLs (PE images from the machine's Wine and
    mingw-w64 packages), signed with a throw-away certificate made here
    (osslsigncode), as published programs are: about 35 %;
  - archives: Java archives and zip files (about 25 %), gzip files (10 %);
  - pictures and fonts: PNG, JPEG, TrueType (5 %);
  - text: HTML, XML, CSS, JavaScript, JSON and plain text (25 %).

Each file is taken whole, at most 8 MiB of it, picked by a fixed random
order of the sorted candidates, so a machine with the same packages gets the
same corpus. Writes files/, setup.dat (a script that copies every file)
and files.txt. Does nothing when OUT_DIR/.done exists.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

out = sys.argv[1]
scale = (int(sys.argv[2]) if len(sys.argv) > 2 else 200) / 200.0
if os.path.exists(os.path.join(out, ".done")):
    sys.exit(0)
rng = random.Random(2027)
files = os.path.join(out, "files")
shutil.rmtree(files, ignore_errors=True)
os.makedirs(files)
MAX_FILE = 8 << 20


def candidates(roots, extensions, min_size=1):
    found = []
    for root in roots:
        for folder, _, names in os.walk(root):
            for name in names:
                path = os.path.join(folder, name)
                if not name.lower().endswith(extensions) or os.path.islink(path):
                    continue
                try:
                    size = os.path.getsize(path)
                except OSError:
                    continue
                if min_size <= size <= MAX_FILE:
                    found.append(path)
    found.sort()
    rng.shuffle(found)
    return found


def is_pe(path):
    with open(path, "rb") as f:
        head = f.read(0x40)
        if len(head) < 0x40 or head[:2] != b"MZ":
            return False
        f.seek(int.from_bytes(head[0x3C:0x40], "little"))
        return f.read(4) == b"PE\0\0"


names = []
taken = set()


def take(kind, roots, extensions, megabytes, folder, check=None, limit=None, min_size=1):
    budget = int(megabytes * scale * (1 << 20))
    count = 0
    for path in candidates(roots, extensions, min_size):
        if budget <= 0 or (limit is not None and count >= limit):
            break
        base = os.path.basename(path)
        if base.lower() in taken or any(c in base for c in '\\:*?"<>|') or not base.isascii():
            continue
        if check is not None and not check(path):
            continue
        taken.add(base.lower())
        target = os.path.join(files, folder, base)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
        names.append(folder + "\\" + base)
        budget -= os.path.getsize(path)
        count += 1
    print("make-media-corpus: %s: %d files" % (kind, count), file=sys.stderr)


WINDOWS = ["/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/gcc/x86_64-w64-mingw32",
           "/usr/x86_64-w64-mingw32/lib"]
take("programs", WINDOWS, (".dll", ".exe"), 70, "bin", check=is_pe)
take("archives", ["/usr/share", "/usr/lib"], (".jar", ".zip"), 50, "lib")
take("gzip", ["/usr/share", "/usr/lib"], (".gz",), 20, "docs", limit=300, min_size=16 << 10)
take("pictures", ["/usr/share", "/usr/lib"], (".png", ".jpg", ".jpeg"), 6, "media", limit=300, min_size=2 << 10)
take("fonts", ["/usr/share/fonts", "/usr/share"], (".ttf", ".otf"), 4, "fonts")
take("text", ["/usr/share", "/usr/lib"], (".html", ".txt", ".xml", ".css", ".js", ".json"), 50, "web",
     limit=600, min_size=16 << 10)

# Signed as a publisher signs: a certificate table after the image.
signer = shutil.which("osslsigncode")
signed = 0
if signer:
    with tempfile.TemporaryDirectory() as keys:
        key, cert = os.path.join(keys, "key.pem"), os.path.join(keys, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Plove Bench Publisher", "-addext",
                        "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
        for name in names:
            if not name.startswith("bin\\"):
                continue
            path = os.path.join(files, *name.split("\\"))
            result = subprocess.run([signer, "sign", "-certs", cert, "-key", key, "-n", "Bench", "-h", "sha256",
                                     "-in", path, "-out", path + ".signed"], capture_output=True)
            if result.returncode == 0:
                os.replace(path + ".signed", path)
                signed += 1
            elif os.path.exists(path + ".signed"):
                os.remove(path + ".signed")
print("make-media-corpus: %d programs signed" % signed, file=sys.stderr)

with open(os.path.join(out, "setup.dat"), "wb") as f:
    f.write(b"[Project Name]\r\nBench\r\n[Install To]\r\n<Program Files>Bench\\\r\n")
    for name in names:
        f.write(b"[CopyFile]\r\n%s\r\n<Destination>%s\r\n" % (name.encode("cp1252"), name.encode("cp1252")))
with open(os.path.join(out, "files.txt"), "w") as f:
    f.write("\n".join(n.replace("\\", "/") for n in names) + "\n")
open(os.path.join(out, ".done"), "w").close()
