"""Runs the preview tool and decodes its PNG with Python's own zlib: the picture must hold the
raster's numbers pixel for pixel, each chunk its right CRC. Also feeds it bad arguments.

usage: preview_check.py PREVIEW SAMPLE_DIR WORK_DIR
The environment variable TORVANELLE_EMULATOR, when set, is the command (its words separated by
"|") that runs PREVIEW, a program built for another system.
"""
import os
import random
import struct
import subprocess
import sys
import zlib

preview, sample_dir, work = sys.argv[1:4]
emulator = [w for w in os.environ.get("TORVANELLE_EMULATOR", "").split("|") if w]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def decode(path):
    """The PNG's width, height, palette and row-major indices."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    at, chunks = 8, []
    while at < len(data):
        (n,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + n]
        (crc,) = struct.unpack(">I", data[at + 8 + n:at + 12 + n])
        check(crc == zlib.crc32(kind + body), f"{path}: CRC of {kind}")
        chunks.append((kind, body))
        at += 12 + n
    check([k for k, _ in chunks] == [b"IHDR", b"PLTE", b"IDAT", b"IEND"], f"{path}: chunk order")
    width, height, depth, ctype = struct.unpack(">IIBB", chunks[0][1][:10])
    check((depth, ctype) == (8, 3), f"{path}: not 8-bit indexed")
    palette = [chunks[1][1][i:i + 3] for i in range(0, len(chunks[1][1]), 3)]
    raw = zlib.decompress(chunks[2][1])
    stride = width + 1
    check(len(raw) == height * stride, f"{path}: decoded length")
    check(all(raw[y * stride] == 0 for y in range(height)), f"{path}: filter bytes")
    pixels = b"".join(raw[y * stride + 1:(y + 1) * stride] for y in range(height))
    return width, height, palette, pixels


def enlarged(raster, rows, cols, scale):
    out = bytearray()
    for y in range(rows):
        line = b"".join(bytes([v]) * scale for v in raster[y * cols:(y + 1) * cols])
        out += line * scale
    return bytes(out)


def round_trip(raw, txt, rows, cols, scale, name):
    png = os.path.join(work, name)
    args = [preview, raw, txt, png, "--overwrite"] + ([str(scale)] if scale != 1 else [])
    rc = subprocess.run(emulator + args).returncode
    check(rc == 0, f"{name}: exit status {rc}")
    if rc != 0:
        return
    width, height, palette, pixels = decode(png)
    check((width, height) == (cols * scale, rows * scale), f"{name}: size")
    check(palette[255] == b"\xff\xff\xff", f"{name}: background not white")
    check(all(palette[k] != palette[k + 1] for k in range(254)), f"{name}: neighbours alike")
    check(pixels == enlarged(open(raw, "rb").read(), rows, cols, scale), f"{name}: pixels")


def write_pair(name, rows, cols, raster):
    raw, txt = os.path.join(work, name + ".raw"), os.path.join(work, name + ".txt")
    open(raw, "wb").write(raster)
    open(txt, "w").write(f"{rows}\n{cols}\n1\n0\n255\n10\n")
    return raw, txt


sample = (os.path.join(sample_dir, "relief.raw"), os.path.join(sample_dir, "relief.txt"))
round_trip(*sample, 400, 600, 1, "relief_x1.png")
round_trip(*sample, 400, 600, 3, "relief_x3.png")

# Every byte value, runs and noise, and rows longer than the 32 KiB window.
rng = random.Random(7)
for rows, cols in [(5, 7), (3, 40000)]:
    raster = bytearray()
    while len(raster) < rows * cols:
        v = rng.randrange(256)
        raster += bytes([v]) * (1 if rng.random() < 0.5 else rng.randrange(2, 600))
    raw, txt = write_pair(f"mixed_{rows}x{cols}", rows, cols, bytes(raster[:rows * cols]))
    round_trip(raw, txt, rows, cols, 1, f"mixed_{rows}x{cols}.png")

short_raw, short_txt = write_pair("short", 4, 4, bytes(15))
bad = [([short_raw, short_txt, os.path.join(work, "short.png")], 1),
       ([*sample, os.path.join(work, "x.png"), "0"], 2),
       ([*sample, os.path.join(work, "x.png"), "2x"], 2),
       ([*sample], 2),
       ([sample[0], os.path.join(work, "absent.txt"), os.path.join(work, "x.png")], 1),
       ([*sample, os.path.join(work, "relief_x1.png")], 1)]  # exists, no --overwrite
for args, status in bad:
    rc = subprocess.run(emulator + [preview] + args, stderr=subprocess.DEVNULL).returncode
    check(rc == status, f"{args}: exit status {rc}, expected {status}")

for f in failures:
    print("FAILED:", f)
sys.exit(1 if failures else 0)
