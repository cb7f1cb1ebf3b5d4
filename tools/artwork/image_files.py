"""The file writers of the artwork: palette BMP (plain or BI_RLE8), monochrome
BMP, PNG and ICO, with the Python standard library only."""

import struct
import zlib


def limit_palette(rows, limit=256):
    """Maps the colours of rows onto at most limit colours: the rarest colour is
    merged into its nearest neighbour until few enough are left. Pure black
    (the "draw nothing" colour of the SRCPAINT pictures) is never merged and
    nothing is merged into it. Returns the palette and rows of indices."""
    counts = {}
    for row in rows:
        for px in row:
            counts[px] = counts.get(px, 0) + 1
    black = (0, 0, 0)
    mapping = {c: c for c in counts}
    alive = dict(counts)
    while len(alive) > limit:
        victim = min((c for c in alive if c != black), key=lambda c: (alive[c], c))
        target = min((c for c in alive if c != victim and c != black),
                     key=lambda c: (sum((a - b) ** 2 for a, b in zip(c, victim)), c))
        alive[target] += alive.pop(victim)
        for c, m in mapping.items():
            if m == victim:
                mapping[c] = target
    palette = sorted(alive)
    index = {c: i for i, c in enumerate(palette)}
    return palette, [[index[mapping[px]] for px in row] for row in rows]


def rle8(rows):
    """BI_RLE8 data for rows of palette indices, bottom row first: runs of
    three or more equal indices as (count, index), anything else in absolute
    blocks (0, count, indices, padded to a word) or single-pixel runs; each
    row ends with an end-of-line mark, the last with end-of-bitmap."""
    out = bytearray()
    for y, row in enumerate(rows):
        width = len(row)
        i = 0
        while i < width:
            run = 1
            while i + run < width and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 3:
                out += bytes((run, row[i]))
                i += run
                continue
            j = i
            while j < width and j - i < 255:
                if j + 2 < width and row[j] == row[j + 1] == row[j + 2]:
                    break
                j += 1
            if j - i >= 3:
                out += bytes((0, j - i)) + bytes(row[i:j]) + (b"\0" if (j - i) % 2 else b"")
            else:
                for k in range(i, j):
                    out += bytes((1, row[k]))
            i = j
        out += b"\0\1" if y == len(rows) - 1 else b"\0\0"
    return bytes(out)


def bmp_8(rows):
    """A bottom-up 8-bit palette BMP from rows of (r, g, b); a third of the
    size of the 24-bit file, and the anti-aliased artwork needs no more than
    256 colours (a rare colour that does not fit moves to its nearest one).
    The flat areas are run-length encoded (BI_RLE8) when that is smaller;
    Windows decodes it when it loads the bitmap."""
    palette, indices = limit_palette(rows)
    height = len(rows)
    width = len(rows[0])
    stride = (width + 3) & ~3
    data = bytearray()
    for row in reversed(indices):
        data += bytes(row) + b"\0" * (stride - width)
    compression = 0
    packed = rle8(list(reversed(indices)))
    if len(packed) < len(data):
        data, compression = packed, 1
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, compression, len(data), 2835, 2835,
                       len(palette), len(palette))
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return head + info + pal + data


def bmp_mask(rows):
    """A mask from rows of 0 (black) and 1 (white): an 8-bit BMP with those two
    colours, run-length encoded. A tenth of the size of the monochrome file
    for the emblem's long runs; drawn with SRCAND it does what the
    monochrome one did, since its pixels are black or white."""
    return bmp_8([[(255, 255, 255) if bit else (0, 0, 0) for bit in row] for row in rows])


def pack_bits(bits, stride):
    out = bytearray(stride)
    for x, bit in enumerate(bits):
        if bit:
            out[x >> 3] |= 0x80 >> (x & 7)
    return bytes(out)


def png_filter(kind, line, prev, bpp):
    """One row filtered with PNG filter kind (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth)."""
    out = bytearray(len(line))
    for i, v in enumerate(line):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i]
        if kind == 0:
            p = 0
        elif kind == 1:
            p = a
        elif kind == 2:
            p = b
        elif kind == 3:
            p = (a + b) >> 1
        else:
            c = prev[i - bpp] if i >= bpp else 0
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out[i] = (v - p) & 255
    return bytes(out)


def png(rows):
    """A PNG file from rows of (r, g, b, a), in the smallest of several
    encodings: every row with the filter that leaves the smallest sum of
    magnitudes, or one filter for the whole picture (for flat artwork with
    sharp edges usually the smaller, by a third), each with two zlib
    strategies."""
    height = len(rows)
    width = len(rows[0])
    lines = [bytes(v for px in row for v in px) for row in rows]

    def filtered(choose):
        raw = bytearray()
        prev = bytes(width * 4)
        for line in lines:
            kind = choose(line, prev)
            raw += bytes((kind,)) + png_filter(kind, line, prev, 4)
            prev = line
        return bytes(raw)

    def smallest_magnitudes(line, prev):
        best = None
        for kind in range(5):
            cost = sum(v if v < 128 else 256 - v for v in png_filter(kind, line, prev, 4))
            if best is None or cost < best[0]:
                best = (cost, kind)
        return best[1]

    streams = []
    for choose in [smallest_magnitudes] + [lambda line, prev, k=k: k for k in range(5)]:
        raw = filtered(choose)
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
            z = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
            streams.append(z.compress(raw) + z.flush())
    idat = min(streams, key=len)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def ico_dib(rows):
    """An icon image: 32-bit BGRA bottom-up with its AND mask."""
    height = len(rows)
    width = len(rows[0])
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        mask += pack_bits([1 if px[3] == 0 else 0 for px in row], stride)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0,
                       len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def ico(images, png_from=0):
    """An ICO file from (size, rows) pairs; entries from png_from px up are PNG."""
    blobs = []
    for size, rows in images:
        blobs.append(png(rows) if size >= png_from else ico_dib(rows))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), blob in zip(images, blobs):
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)
