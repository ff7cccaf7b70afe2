#!/usr/bin/env python3
"""Measures a result the way the documentation states it, for the figure markers of
run_blocks.py. Prints one figure; whole numbers with a comma every three digits.

    measure.py line-pixels RAW          pixels other than 255 (no line) in a raw raster
    measure.py removed BEFORE AFTER     line pixels of raw raster BEFORE that AFTER has not
    measure.py removed-share BEFORE AFTER  the same as a share of BEFORE's line pixels, "1.7%"
    measure.py numbers RAW              how many contour numbers a raw raster holds
    measure.py mib FILE                 the file's size in MiB (1,048,576 bytes), one decimal
    measure.py unpacked-mib ZIP         the size of what a zip holds, as mib
    measure.py installed-mib DEB        what a Debian package takes installed, as mib
    measure.py features VECTOR [LAYER]  the features of a vector dataset's (first) layer
    measure.py closed VECTOR LAYER      the closed lines of a layer
    measure.py vertices VECTOR LAYER    the vertices of a layer's lines
    measure.py range RASTER [DECIMALS]  "LOW to HIGH", a raster's lowest and highest values
    measure.py levels RAW BASE INTERVAL "LOW to HIGH", the levels of a raw raster's numbers
    measure.py rmse MODEL TRUTH INTERVAL  the root mean square of MODEL - TRUTH over the pixels
                                        both hold, in intervals, three decimals (GDAL's Python)
    measure.py origin RASTER            "(X, Y)", the raster's top left corner
    measure.py epsg RASTER              "EPSG:N", the raster's coordinate system
    measure.py files FOLDER             the names of the files in a folder, sorted, ", " between
"""
import os
import re
import subprocess
import sys
import zipfile


def tool(*words):
    return subprocess.run(words, capture_output=True, text=True, check=True).stdout


def whole(n):
    return f"{n:,}"


def line_pixels(raw):
    data = open(raw, "rb").read()
    return whole(len(data) - data.count(255))


def removed(before, after):
    a, b = open(before, "rb").read(), open(after, "rb").read()
    return whole(sum(1 for x, y in zip(a, b) if x != 255 and y == 255))


def removed_share(before, after):
    lines = int(line_pixels(before).replace(",", ""))
    return f"{int(removed(before, after).replace(',', '')) / lines:.1%}"


def features(path, layer=None):
    words = ["ogrinfo", "-so", "-ro", path] + ([layer] if layer else [])
    out = tool(*words)
    if layer is None:
        first = re.search(r"^1: (\S+)", out, re.M)
        out = tool(*words, first.group(1)) if first else out
    return whole(int(re.search(r"Feature Count: (\d+)", out).group(1)))


def number(x, decimals=None):
    """As the pages write numbers: a true minus sign, decimals when asked."""
    text = f"{x:.{decimals}f}" if decimals is not None else f"{x:g}"
    return text.replace("-", "\u2212")


def value_range(path, decimals=None):
    low, high = re.search(r"Computed Min/Max=([-\d.e+]+),([-\d.e+]+)",
                          tool("gdalinfo", "-mm", path)).groups()
    places = None if decimals is None else int(decimals)
    return f"{number(float(low), places)} to {number(float(high), places)}"


def levels(raw, base, interval):
    numbers = set(open(raw, "rb").read()) - {255}
    return " to ".join(number(float(base) + n * float(interval))
                       for n in (min(numbers), max(numbers)))


def sql_count(path, layer, expression):
    out = tool("ogrinfo", "-ro", "-q", "-dialect", "SQLite", "-sql",
               f"SELECT {expression} AS n FROM {layer}", path)
    return whole(int(float(re.search(r"n \(\w+\) = ([\d.]+)", out).group(1))))


def mib(size):
    """One decimal: the figure changes with a tenth of a MiB, not with every build."""
    return f"{size / 1048576:.1f}"


def installed_mib(deb):
    return mib(int(tool("dpkg-deb", "-f", deb, "Installed-Size").strip()) * 1024)


def rmse(model, truth, interval):
    try:
        from osgeo import gdal
        import numpy
    except ImportError:
        sys.exit(77)  # nothing to measure with here
    m, t = (gdal.Open(path).ReadAsArray().astype(float) for path in (model, truth))
    both = numpy.isfinite(m) & numpy.isfinite(t)
    return f"{numpy.sqrt(numpy.mean((m[both] - t[both]) ** 2)) / float(interval):.3f}"


def origin(path):
    x, y = re.search(r"Origin = \(([-\d.]+),([-\d.]+)\)", tool("gdalinfo", path)).groups()
    return f"({float(x):.15g}, {float(y):.15g})"


def epsg(path):
    codes = re.findall(r'ID\["EPSG",(\d+)\]\]\s*$', tool("gdalinfo", path), re.M)
    return f"EPSG:{codes[-1]}"


MEASURES = {
    "line-pixels": line_pixels,
    "removed": removed,
    "removed-share": removed_share,
    "numbers": lambda raw: whole(len(set(open(raw, "rb").read()) - {255})),
    "mib": lambda f: mib(os.path.getsize(f)),
    "unpacked-mib": lambda z: mib(sum(i.file_size for i in zipfile.ZipFile(z).infolist())),
    "installed-mib": installed_mib,
    "features": features,
    "range": value_range,
    "levels": levels,
    "closed": lambda path, layer: sql_count(path, layer, "SUM(ST_IsClosed(geom))"),
    "vertices": lambda path, layer: sql_count(path, layer, "SUM(ST_NumPoints(geom))"),
    "rmse": rmse,
    "origin": origin,
    "epsg": epsg,
    "files": lambda d: ", ".join(sorted(os.listdir(d))),
}

if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in MEASURES:
        sys.exit(__doc__)
    print(MEASURES[sys.argv[1]](*sys.argv[2:]))
