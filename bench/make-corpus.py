#!/usr/bin/env python3
"""make-corpus.py OUT_DIR [MEGABYTES]

Writes the packer benchmark's corpus: about 200 MB (by default) of text,
program binaries and already-compressed data, as a thousand small files and
a few large ones, plus a minimal PE stub and an install script that copies
every file. Deterministic apart from the binaries, which are slices of the
machine's own /usr/lib and /usr/bin files. Does nothing when OUT_DIR/.done
exists.
"""
import os
import random
import struct
import sys
import zlib

out = sys.argv[1]
scale = (int(sys.argv[2]) if len(sys.argv) > 2 else 200) / 200.0
if os.path.exists(os.path.join(out, ".done")):
    sys.exit(0)
rng = random.Random(2026)
files = os.path.join(out, "files")

WORDS = ("the installer places files copies shortcut registry value folder program version "
         "license window button progress message error warning question information setup "
         "destination start menu desktop uninstall record product publisher archive member "
         "stream dictionary checksum directory trailer thread worker install container").split()


def text(size):
    lines, total = [], 0
    while total < size:
        line = " ".join(rng.choices(WORDS, k=rng.randint(4, 16))).capitalize() + ".\n"
        if rng.random() < 0.1:
            line = "%d\t%s\t0x%08X\n" % (rng.randint(0, 99999), rng.choice(WORDS), rng.getrandbits(32))
        lines.append(line)
        total += len(line)
    return "".join(lines).encode()[:size]


def binary_pool():
    pool = bytearray()
    for folder in ("/usr/lib/x86_64-linux-gnu", "/usr/bin"):
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    pool += f.read(4 << 20)
            if len(pool) > (64 << 20):
                return bytes(pool)
    return bytes(pool)


POOL = binary_pool()


def binary(size):
    start = rng.randint(0, max(0, len(POOL) - size))
    return POOL[start:start + size]


def compressed(size):
    data = bytearray()
    while len(data) < size:
        data += zlib.compress(text(256 << 10), 9)
    return bytes(data[:size])


def write(name, data):
    path = os.path.join(files, *name.split("\\"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return name


names = []
for i in range(1000):
    kind = i % 10
    size = int(rng.randint(8 << 10, 64 << 10) * scale) + 1
    if kind < 6:
        names.append(write("small\\text%04d.txt" % i, text(size)))
    elif kind < 9:
        names.append(write("small\\bin%04d.dll" % i, binary(size)))
    else:
        names.append(write("small\\packed%04d.gz" % i, compressed(size)))
big = int((32 << 20) * scale)
names.append(write("large\\manual.txt", text(big)))
names.append(write("large\\data.csv", text(big)))
names.append(write("large\\engine.dll", binary(min(big, len(POOL)))))
names.append(write("large\\media.pak", compressed(big)))
names.append(write("large\\tools.exe", binary(min(big // 2, len(POOL)))))

with open(os.path.join(out, "setup.dat"), "wb") as f:
    f.write(b"[Project Name]\r\nBench\r\n[Install To]\r\n<Program Files>Bench\\\r\n")
    for name in names:
        f.write(b"[CopyFile]\r\n%s\r\n<Destination>%s\r\n" % (name.encode("cp1252"), name.encode("cp1252")))
with open(os.path.join(out, "files.txt"), "w") as f:
    f.write("\n".join(n.replace("\\", "/") for n in names) + "\n")

# A minimal PE32 image: headers and one section; enough for the resource writer.
pe = bytearray(0x400)
pe[0:2] = b"MZ"
struct.pack_into("<I", pe, 0x3C, 0x80)
pe[0x80:0x84] = b"PE\0\0"
struct.pack_into("<HHIIIHH", pe, 0x84, 0x14C, 1, 0, 0, 0, 224, 0x0102)
opt = 0x98
struct.pack_into("<H", pe, opt, 0x10B)
struct.pack_into("<II", pe, opt + 32, 0x1000, 0x200)
struct.pack_into("<III", pe, opt + 56, 0x2000, 0x400, 0)
struct.pack_into("<H", pe, opt + 68, 2)
struct.pack_into("<I", pe, opt + 92, 16)
section = opt + 224
pe[section:section + 8] = b".text\0\0\0"
struct.pack_into("<IIII", pe, section + 8, 0x200, 0x1000, 0x200, 0x400)
struct.pack_into("<I", pe, section + 36, 0x60000020)
pe += b"\xC3" * 0x200
with open(os.path.join(out, "stub.exe"), "wb") as f:
    f.write(pe)
open(os.path.join(out, ".done"), "w").close()
