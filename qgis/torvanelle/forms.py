"""The files torvanelle-engine reads and writes, in Python: a raster is a line
"TVRASTER 1 COLS ROWS u8" (an elevation model: f32) then its pixels row after row; lines are
text, "TVLINES 1 COUNT" then "NUMBER BRIDGED X1 Y1 X2 Y2 ..." a line, in pixel coordinates
(x = column + 0.5, y = row + 0.5). Nothing here imports QGIS or GDAL."""

import sys


class FormError(Exception):
    """A file that is not in the form it should be; the text names it."""


def write_raster(path, cols, rows, pixels, kind="u8"):
    """Writes `pixels` (bytes: a byte a pixel for u8, little-endian 32-bit floats for f32)."""
    size = 1 if kind == "u8" else 4
    if len(pixels) != cols * rows * size:
        raise ValueError("%d bytes for %d x %d pixels of %s" % (len(pixels), cols, rows, kind))
    with open(path, "wb") as out:
        out.write(b"TVRASTER 1 %d %d %s\n" % (cols, rows, kind.encode()))
        out.write(pixels)


def read_raster(path, kind):
    """(cols, rows, pixels) of a raster of `kind` (u8 or f32), pixels as bytes, the floats
    little-endian as GDAL's Float32 wants them on this machine."""
    with open(path, "rb") as source:
        header = source.readline(64).split(b" ")
        pixels = source.read()
    if (len(header) != 5 or header[:2] != [b"TVRASTER", b"1"] or
            header[4] != kind.encode() + b"\n" or not header[2].isdigit() or
            not header[3].isdigit()):
        raise FormError("%s is not a TVRASTER file of %s pixels" % (path, kind))
    cols, rows = int(header[2]), int(header[3])
    if len(pixels) != cols * rows * (1 if kind == "u8" else 4):
        raise FormError("%s does not hold %d x %d pixels" % (path, cols, rows))
    if kind == "f32" and sys.byteorder != "little":
        import array
        floats = array.array("f", pixels)
        floats.byteswap()
        pixels = floats.tobytes()
    return cols, rows, pixels


def read_lines(path):
    """The lines as (number, bridged, [(x, y), ...]) tuples, in the file's order."""
    with open(path, encoding="ascii") as source:
        header = source.readline().split()
        if len(header) != 3 or header[:2] != ["TVLINES", "1"] or not header[2].isdigit():
            raise FormError("%s is not a TVLINES file" % path)
        lines = []
        for at, text in enumerate(source, start=2):
            words = text.split()
            if len(words) < 6 or len(words) % 2:
                raise FormError("%s, line %d: not a line of two vertices or more" % (path, at))
            xy = [float(word) for word in words[2:]]
            lines.append((int(words[0]), int(words[1]), list(zip(xy[0::2], xy[1::2]))))
    if len(lines) != int(header[2]):
        raise FormError("%s holds %d lines, not %s" % (path, len(lines), header[2]))
    return lines
