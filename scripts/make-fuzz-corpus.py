#!/usr/bin/env python3
"""Writes the picture fuzzer's seed corpus into tests/jobs/fuzz/picture_corpus/.

Small malformed pictures: truncated PNG/JPEG/GIF/BMP/TIFF files, headers that
claim huge dimensions, photos stored sideways with broken Exif blocks, an empty file, a PNG named .jpg, and a few valid small
pictures for the fuzzer to mutate. PNG, GIF, BMP and TIFF are built byte by
byte here; the JPEG comes from ImageMagick with all metadata stripped, so the
output is the same on every run with the same libjpeg.

Usage: python3 scripts/make-fuzz-corpus.py [output-folder]
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "tests", "jobs", "fuzz", "picture_corpus")


def chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png(width, height, colour_type=2, bit_depth=8, palette=None, rows=None):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    if rows is None:
        row = bytes((x * 37) & 255 for x in range(width * channels * bit_depth // 8))
        rows = [row] * height
    raw = b"".join(b"\0" + r for r in rows)
    out = b"\x89PNG\r\n\x1a\n"
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0))
    if palette is not None:
        out += chunk(b"PLTE", palette)
    out += chunk(b"IDAT", zlib.compress(raw, 9))
    out += chunk(b"IEND", b"")
    return out


def bmp(width, height, bits=24):
    row = bytes((x * 11) & 255 for x in range(width * bits // 8))
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def bmp_v5(width, height, bits=24):
    # BITMAPV5HEADER, as most tools write today; 32 bits with colour masks.
    row = bytes((x * 11) & 255 for x in range(width * bits // 8))
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    masks = struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000) if bits == 32 else b"\0" * 16
    header = struct.pack("<IiiHHIIiiII", 124, width, height, 1, bits, 3 if bits == 32 else 0,
                         len(pixels), 2835, 2835, 0, 0) + masks + b"BGRs" + b"\0" * 64
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def bmp_rle(width, height, bits):
    # Run-length rows as image editors write palette BMPs: a run, a literal
    # run with its padding, an end of line, a move, the end of the picture.
    if bits == 8:
        runs = b"\x03\x01\x00\x03\x02\x03\x02\x00\x00\x00\x00\x02\x01\x01\x02\x03\x00\x01"
    else:
        runs = b"\x05\x12\x00\x00\x00\x03\x31\x20\x00\x02\x02\x01\x04\x33\x00\x01"
    palette = b"".join(bytes([i * 60 % 256, 255 - i, i * 7 % 256, 0]) for i in range(1 << bits))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 1 if bits == 8 else 2,
                         len(runs), 2835, 2835, 1 << bits, 0)
    offset = 14 + len(header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(runs), 0, 0, offset) + header + palette + runs


def gif(width, height):
    # Two-colour global table, one frame of colour 0 coded with the minimum
    # LZW code size 2: clear, then one code per pixel, then end.
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0)
    out += b"\0\0\0\xff\xff\xff"
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    codes = [4] + [0] * (width * height) + [5]
    bits, nbits, data, size = 0, 0, bytearray(), 3
    for i, code in enumerate(codes):
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            data.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 255)
    out += b"\x02"
    for i in range(0, len(data), 255):
        block = bytes(data[i:i + 255])
        out += bytes([len(block)]) + block
    return out + b"\0;"


def tiff(width, height, big_endian=False, extra_tags=(), extra_first=False, samples=1, bits=8):
    e = ">" if big_endian else "<"
    # Forged sizes keep a small strip: the header lies, the file stays small.
    pixels = bytes((i * 13) & 255 for i in range(min(width, 64) * min(height, 64)))
    tags = sorted([
        (256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, bits), (259, 3, 1, 1),
        (262, 3, 1, 1), (273, 4, 1, 8), (277, 3, 1, samples), (278, 4, 1, height),
        (279, 4, 1, len(pixels)),
    ] + ([] if extra_first else list(extra_tags)))
    if extra_first:
        tags = list(extra_tags) + tags
    ifd_offset = 8 + len(pixels)
    out = (b"MM" if big_endian else b"II") + struct.pack(e + "HI", 42, ifd_offset) + pixels
    out += struct.pack(e + "H", len(tags))
    for tag, kind, count, value in tags:
        packed = struct.pack(e + "H", value) + b"\0\0" if kind == 3 else struct.pack(e + "I", value)
        out += struct.pack(e + "HHI", tag, kind, count) + packed
    return out + struct.pack(e + "I", 0)


def jpeg(size, colourspace):
    convert = "/usr/bin/convert"
    if not os.path.exists(convert):
        return None
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, "out.jpg")
        subprocess.run([convert, "-size", size, "gradient:red-blue", "-colorspace", colourspace,
                        "-strip", "-quality", "80", target], check=True)
        with open(target, "rb") as f:
            return f.read()


def huge_jpeg(base):
    # Rewrite the frame header's height and width to 65500 x 65500.
    out = bytearray(base)
    i = 2
    while i + 9 < len(out):
        marker, length = out[i + 1], struct.unpack(">H", out[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            out[i + 5:i + 9] = struct.pack(">HH", 65500, 65500)
            break
        i += 2 + length
    return bytes(out)


def with_exif(base, orientation, big_endian=False, ifd_offset=8, count=1):
    # An Exif block after SOI whose first directory holds the orientation, as
    # a camera writes for a photo taken sideways.
    e = ">" if big_endian else "<"
    tiff_block = (b"MM" if big_endian else b"II") + struct.pack(e + "HI", 42, ifd_offset)
    tiff_block += struct.pack(e + "H", count) + struct.pack(e + "HHIHH", 0x0112, 3, 1, orientation, 0)
    tiff_block += struct.pack(e + "I", 0)
    body = b"Exif\0\0" + tiff_block
    return base[:2] + b"\xff\xe1" + struct.pack(">H", 2 + len(body)) + body + base[2:]


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    files = {}
    grey_palette = b"".join(bytes([i, i, i]) for i in range(256))
    colour_palette = b"".join(bytes([i, 255 - i, (i * 7) & 255]) for i in range(256))
    files["valid-rgb.png"] = png(8, 6)
    files["valid-palette.png"] = png(8, 6, colour_type=3, palette=colour_palette)
    files["valid-grey.png"] = png(8, 6, colour_type=0)
    files["valid-grey-palette.png"] = png(8, 6, colour_type=3, palette=grey_palette)
    files["valid-rgba.png"] = png(8, 6, colour_type=6)
    files["valid-grey16.png"] = png(4, 3, colour_type=0, bit_depth=16)
    files["valid.bmp"] = bmp(8, 6)
    files["valid-8bit.bmp"] = bmp(8, 6, bits=8)
    files["valid-v5.bmp"] = bmp_v5(8, 6)
    files["valid-v5-masks.bmp"] = bmp_v5(8, 6, bits=32)
    files["valid-rle8.bmp"] = bmp_rle(6, 3, 8)
    files["valid-rle4.bmp"] = bmp_rle(6, 3, 4)
    files["valid.gif"] = gif(8, 6)
    files["valid.tif"] = tiff(8, 6)
    files["valid-be.tif"] = tiff(8, 6, big_endian=True)
    files["png-named.jpg"] = files["valid-rgb.png"]
    rgb_jpeg = jpeg("16x12", "sRGB")
    grey_jpeg = jpeg("16x12", "Gray")
    if rgb_jpeg:
        files["valid.jpg"] = rgb_jpeg
        files["valid-grey.jpg"] = grey_jpeg
        files["huge.jpg"] = huge_jpeg(rgb_jpeg)
        files["valid-sideways.jpg"] = with_exif(rgb_jpeg, 6)
        files["valid-mirrored-grey.jpg"] = with_exif(grey_jpeg, 5, big_endian=True)
        # Exif directories that point past their block, claim more entries than it
        # holds or name no orientation: the picture itself is sound and loads as stored.
        files["valid-broken-exif-offset.jpg"] = with_exif(rgb_jpeg, 6, ifd_offset=0xFFFFFFF0)
        files["valid-broken-exif-count.jpg"] = with_exif(rgb_jpeg, 8, count=0xFFFF)
        files["valid-broken-exif-value.jpg"] = with_exif(rgb_jpeg, 0x0909)
        for cut in (2, 20, len(rgb_jpeg) // 2, len(rgb_jpeg) - 2):
            files["truncated-%d.jpg" % cut] = rgb_jpeg[:cut]
    for name in ("valid-rgb.png", "valid.bmp", "valid-v5-masks.bmp", "valid-rle8.bmp", "valid.gif",
                 "valid.tif"):
        stem, ext = os.path.splitext(name)
        data = files[name]
        for cut in (3, 12, 30, len(data) // 2, len(data) - 3):
            files["truncated-%s-%d%s" % (stem, cut, ext)] = data[:cut]
    files["huge.png"] = png(60000, 60000, rows=[b""])[:33] + chunk(b"IEND", b"")
    files["huge-wide.png"] = png(2**31 - 1, 1, rows=[b""])[:33] + chunk(b"IEND", b"")
    huge_gif = bytearray(gif(8, 6))
    huge_gif[6:10] = struct.pack("<HH", 65535, 65535)
    files["huge-screen.gif"] = bytes(huge_gif)
    huge_frame = bytearray(gif(8, 6))
    frame = huge_frame.index(b"\x2c")
    huge_frame[frame + 5:frame + 9] = struct.pack("<HH", 65535, 65535)
    files["huge-frame.gif"] = bytes(huge_frame)
    huge_bmp = bytearray(bmp(8, 6))
    huge_bmp[18:26] = struct.pack("<ii", 0x7FFFFFFF, -0x80000000)
    files["huge.bmp"] = bytes(huge_bmp)
    files["huge.tif"] = tiff(4000000000, 6)
    files["huge-tiles.tif"] = tiff(8, 6, extra_tags=[(322, 4, 1, 0x40000000), (323, 4, 1, 0x40000000)])
    # Found by the fuzzer: the decoder takes the first of two height tags.
    files["huge-duplicate-tag.tif"] = tiff(8, 6, big_endian=True, extra_tags=[(257, 4, 1, 0x20000006)],
                                           extra_first=True)
    # Found by the fuzzer: sixteen 1-bit samples per pixel trip an assertion in
    # the decoder.
    files["bad-layout.tif"] = tiff(8, 6, samples=16, bits=1)
    files["empty.png"] = b""
    files["im-not-tiff.tif"] = b"IM" + b"\0" * 20
    files["text.png"] = b"this is not a picture\n"
    for name, data in sorted(files.items()):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print("%d files in %s" % (len(files), OUT))


if __name__ == "__main__":
    main()
