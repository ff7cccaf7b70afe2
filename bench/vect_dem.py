#!/usr/bin/env python3
"""Quality figures of the vectoriser on real terrain, without numpy.

    python3 bench/vect_dem.py build/release/bench/torvanelle_vect_quality [--sizes 2000,4000]

Reads the elevation models that Debian's python-matplotlib-data ships (a 344 x 403 DEM of the
Jacksboro fault, Tennessee, and a 91 x 120 topography-bathymetry grid), writes each as the
benchmark reads it (a line "rows cols", then the samples as little-endian float64, row after
row) and runs the benchmark on them at each size, straight bridges beside bridges along the
ground; then the 4000 x 4000 sheet, once without bridges and once
with bridges of 30 pixels, each in its own process so that each peak memory is its own.
"""
import ast
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

SAMPLES = "/usr/share/matplotlib/mpl-data/sample_data"
DEMS = [("jacksboro", "jacksboro_fault_dem.npz", "elevation.npy"),
        ("topobathy", "topobathy.npz", "topo.npy")]
KINDS = {"<i2": ("h", 2), "<f4": ("f", 4), "<f8": ("d", 8)}


def read_npy(data):
    """The shape and samples of a .npy file of version 1, C order."""
    length = struct.unpack("<H", data[8:10])[0]
    header = ast.literal_eval(data[10:10 + length].decode("latin1"))
    code, size = KINDS[header["descr"]]
    rows, cols = header["shape"]
    body = data[10 + length:]
    return rows, cols, struct.unpack("<%d%s" % (rows * cols, code), body[:rows * cols * size])


def main():
    program, rest = sys.argv[1], sys.argv[2:]
    sizes = ["2000", "4000"]
    if len(rest) == 2 and rest[0] == "--sizes":
        sizes = rest[1].split(",")
    with tempfile.TemporaryDirectory() as tmp:
        args = []
        for name, archive, member in DEMS:
            rows, cols, values = read_npy(zipfile.ZipFile(os.path.join(SAMPLES, archive)).read(member))
            path = os.path.join(tmp, name + ".dem")
            with open(path, "wb") as out:
                out.write(b"%d %d\n" % (rows, cols))
                out.write(struct.pack("<%dd" % len(values), *values))
            args += ["--dem", name + "=" + path]
        for size in sizes:
            subprocess.run([program] + args + ["--size", size], check=True)
    for bridge in ("0", "30"):
        subprocess.run([program, "--sheet", "4000", "--bridge", bridge], check=True)


if __name__ == "__main__":
    main()
