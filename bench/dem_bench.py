#!/usr/bin/python3
"""Figures for the elevation model against the true ground, beside the GIS peers.

    bench/dem_bench.py BENCH_PROGRAM WORK_DIR [--sizes 1000,2000] [--grass-sizes 1000]
                       [--methods thin_plate,gradient] [--peers grass,rst,fillnodata]

The true ground is an elevation model that Debian ships with Matplotlib's sample data
(python3-matplotlib): the Jacksboro fault DEM and the topography of topobathy, each resampled
(cubic) to N x N. Each is contoured at about 45 levels: a contour line is the set of pixels at or
above a level that have a 4-neighbour below it, drawn 2 px wide (3 px every fifth line) for the
thick case and thinned by the engine's own skeleton for the one-pixel case; the "gis" case is
made as a GIS user makes it (gdal_contour, then gdal_rasterize onto the grid). Every method gets
the same raster: the engine through BENCH_PROGRAM (torvanelle_dem_bench), GRASS r.surf.contour,
GRASS v.surf.rst (regularized spline with tension 20, smoothing 0.1, every line pixel a point)
and gdal_fillnodata through a Float32 GeoTIFF of the line pixels' levels.

Printed per case and method, over the pixels inside the contours' convex hull:
  rmse (ground units) and rmse/I; on-level: share of pixels off the lines within 0.001 I of a
  level; slope: RMSE of the slope in degrees; sinks/km2: regional minima that the contours do not
  call for (one is allowed inside each closed contour that encloses lower ground); processor
  and wall-clock time (s) and peak memory (bytes per pixel) of the process, from /usr/bin/time
  (processor time is the steadier on a shared machine, the wall clock what a user waits); for
  the engine, I/O s: the time its program spent reading the raster and writing the model, the
  floor under any engine's wall clock. The engine's program reads and writes raw files, so its
  time and memory include no GDAL; the peers' include their GeoTIFF input and output.

Needs numpy, scipy and GDAL's Python bindings (python3-numpy, python3-scipy, python3-gdal),
gdal-bin and grass-core. Figures, never a test.
"""
import argparse
import math
import os
import re
import shutil
import subprocess
import sys
import time

import numpy as np
from scipy import ndimage
from osgeo import gdal, osr

gdal.UseExceptions()
SAMPLES = "/usr/share/matplotlib/mpl-data/sample_data"
LEVELS = 45


def ground(name, n):
    """The true ground resampled to n x n, and the pixel's size in metres (dy, dx)."""
    if name == "jacksboro":
        d = np.load(os.path.join(SAMPLES, "jacksboro_fault_dem.npz"))
        z = d["elevation"].astype(np.float64)
        lat = 36.6
        height_m = z.shape[0] * float(d["dy"]) * 111_320
        width_m = z.shape[1] * float(d["dx"]) * 111_320 * math.cos(math.radians(lat))
    else:
        d = np.load(os.path.join(SAMPLES, "topobathy.npz"))
        z = d["topo"].astype(np.float64)
        lon, lat = d["longitude"], d["latitude"]
        height_m = (lat.max() - lat.min()) * 111_320
        width_m = (lon.max() - lon.min()) * 111_320 * math.cos(math.radians(lat.mean()))
    z = ndimage.zoom(z, (n / z.shape[0], n / z.shape[1]), order=3, mode="nearest")
    return z[:n, :n], (height_m / n, width_m / n)


def crossings(z, base, interval):
    """The level number of each pixel on a contour of z (-1 none, NaN pixels never): where two
    4-neighbours lie on either side of a level, the one nearer to it is on its line (the highest
    level crossed, where steep ground crosses several between two pixels); numbers 0 to 254."""
    index = np.floor((z - base) / interval)
    number = np.full(z.shape, -1, np.int32)
    for axis in (0, 1):
        a = [slice(None), slice(None)]
        b = [slice(None), slice(None)]
        a[axis], b[axis] = slice(0, -1), slice(1, None)
        a, b = tuple(a), tuple(b)
        cross = np.isfinite(index[a]) & np.isfinite(index[b]) & (index[a] != index[b])
        n = np.where(cross, np.maximum(index[a], index[b]), -1).astype(np.int32)
        cross &= (n >= 0) & (n <= 254)
        level = base + n * interval
        a_nearer = np.abs(z[a] - level) <= np.abs(z[b] - level)
        for side, pick in ((a, a_nearer), (b, ~a_nearer)):
            mark = cross & pick
            view = number[side]
            view[mark] = np.maximum(view[mark], n[mark])
    return number


def contour(z, thick):
    """Contour numbers (255 none), base and interval: about LEVELS levels over z's range."""
    span = z.max() - z.min()
    interval = float(np.round(span / LEVELS, 1 if span / LEVELS < 10 else 0))
    base = math.floor(z.min() / interval) * interval
    number = crossings(z, base, interval)
    edge = number >= 0
    edge[0, :] = edge[-1, :] = edge[:, 0] = edge[:, -1] = False
    lines = np.full(z.shape, 255, np.uint8)
    if thick:
        rows, cols = np.nonzero(edge)
        order = np.argsort(number[rows, cols], kind="stable")
        for r, c in zip(rows[order], cols[order]):
            n = number[r, c]
            w = 2 if n % 5 == 0 else 1
            lines[max(r - w + 1, 0):r + w, max(c - w + 1, 0):c + w] = n
    else:
        lines[edge] = number[edge]
    return lines, base, interval


class Cost:
    """What a run took: processor seconds (user + system, children included), wall-clock
    seconds, peak bytes resident, and for the engine the seconds it spent reading its raster and
    writing its model, the floor under any engine's wall clock (None for the others)."""

    def __init__(self, cpu, wall, peak, io=None):
        self.cpu, self.wall, self.peak, self.io = cpu, wall, peak, io


def run(cmd, **kw):
    """Runs cmd; returns (its Cost as /usr/bin/time measures it, output)."""
    out = subprocess.run(["/usr/bin/time", "-f", "PEAK %M CPU %U %S WALL %e"] + cmd,
                         capture_output=True, text=True, **kw)
    if out.returncode != 0:
        sys.stderr.write(out.stdout + out.stderr)
        raise RuntimeError(" ".join(cmd))
    peak, user, system, wall = re.findall(
        r"PEAK (\d+) CPU ([0-9.]+) ([0-9.]+) WALL ([0-9.]+)", out.stderr)[-1]
    return Cost(float(user) + float(system), float(wall), int(peak) * 1024), out.stdout


def write_tif(path, array, nodata):
    driver = gdal.GetDriverByName("GTiff")
    ds = driver.Create(path, array.shape[1], array.shape[0], 1, gdal.GDT_Float32)
    ds.SetGeoTransform((0, 1, 0, array.shape[0], 0, -1))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(3857)  # any projected system: GRASS wants one for its location
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(nodata)
    band.WriteArray(array)
    ds = None


def read_tif(path):
    ds = gdal.Open(path)
    band = ds.GetRasterBand(1)
    a = band.ReadAsArray().astype(np.float64)
    nd = band.GetNoDataValue()
    if nd is not None:
        a[a == nd] = np.nan
    return a


def level_raster(lines, base, interval):
    out = np.full(lines.shape, -99999.0, np.float32)
    on = lines != 255
    out[on] = base + lines[on] * interval
    return out


def engine(program, work, lines, base, interval, method, tension=None, hold=None):
    raw = os.path.join(work, "lines.u8")
    lines.tofile(raw)
    out = os.path.join(work, "engine.f32")
    n = lines.shape
    cost, text = run([program, raw, str(n[0]), str(n[1]), str(base), str(interval), out, method,
                      str(0.1 if tension is None else tension),
                      "inf" if hold is None else str(hold)])
    said = dict(re.findall(r"(\w+)=(\S+)", text))
    cost.io = float(said["read_seconds"]) + float(said["write_seconds"])
    return np.fromfile(out, np.float32).reshape(n).astype(np.float64), cost


def fillnodata(work, lines, base, interval):
    src = os.path.join(work, "levels.tif")
    write_tif(src, level_raster(lines, base, interval), -99999.0)
    out = os.path.join(work, "fill.tif")
    if os.path.exists(out):
        os.remove(out)
    cost, _ = run(["gdal_fillnodata.py", "-q", "-md", str(max(lines.shape)), src, out])
    return read_tif(out), cost


def in_grass(work, lines, base, interval, commands, name):
    """Runs GRASS `commands` on the line pixels' levels, imported as raster c, in a fresh
    location; they leave raster dem, which is read back."""
    src = os.path.join(work, "levels.tif")
    write_tif(src, level_raster(lines, base, interval), -99999.0)
    db = os.path.join(work, "grassdb")
    shutil.rmtree(db, ignore_errors=True)
    subprocess.run(["grass", "-c", src, "-e", os.path.join(db, "loc")], check=True,
                   capture_output=True)
    mapset = os.path.join(db, "loc", "PERMANENT")
    out = os.path.join(work, name + ".tif")
    script = (f"r.in.gdal -o input={src} output=c --q && g.region raster=c && {commands} && "
              f"r.out.gdal -c -f input=dem output={out} type=Float32 nodata=-99999 --q --o")
    cost, _ = run(["grass", mapset, "--exec", "sh", "-c", script])
    return read_tif(out), cost


def grass(work, lines, base, interval):
    """GRASS r.surf.contour."""
    return in_grass(work, lines, base, interval, "r.surf.contour input=c output=dem --q", "grass")


def grass_rst(work, lines, base, interval):
    """GRASS v.surf.rst, the regularized spline with tension (tension 20, smoothing 0.1), every
    line pixel a 3D point."""
    return in_grass(work, lines, base, interval,
                    "r.to.vect -z input=c output=pts type=point --q && "
                    "v.surf.rst input=pts layer=0 elevation=dem tension=20 smooth=0.1 --q", "rst")


def slope(z, cell):
    gy, gx = np.gradient(z, cell[0], cell[1])
    return np.degrees(np.arctan(np.hypot(gx, gy)))


def stretches(lines):
    """4-connected stretches off the lines, with the lowest and highest number touching each."""
    free = lines == 255
    label, count = ndimage.label(free)
    grown = ndimage.grey_dilation(np.where(free, 0, lines.astype(np.int32) + 1), size=3)
    shrunk = -ndimage.grey_dilation(np.where(free, -256, -lines.astype(np.int32)), size=3)
    idx = np.arange(1, count + 1)
    high = ndimage.maximum(grown, label, idx) - 1
    low = ndimage.minimum(np.where(free, shrunk, 999), label, idx)
    return label, np.asarray(low), np.asarray(high)


def spurious_sinks(z, truth, lines, base, interval, valid):
    """Regional minima of z not inside a closed contour that encloses lower ground."""
    zz = np.where(valid, z, np.inf)
    footprint = np.ones((3, 3), bool)
    low = (ndimage.minimum_filter(zz, footprint=footprint, mode="constant", cval=-np.inf) == zz)
    low &= valid
    low &= ndimage.binary_erosion(valid, structure=footprint, border_value=0)
    comp, count = ndimage.label(low, structure=footprint)
    if count == 0:
        return 0
    # A plateau of minima is regional only if no pixel beside it is as low.
    bad = np.zeros(count + 1, bool)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            if dy == 0 and dx == 0:
                continue
            nz = np.roll(np.roll(zz, dy, 0), dx, 1)
            nc = np.roll(np.roll(comp, dy, 0), dx, 1)
            hit = low & (nc != comp) & (nz <= zz)
            bad[comp[hit]] = True
    keep = [c for c in range(1, count + 1) if not bad[c]]
    label, lo, hi = stretches(lines)
    border = np.unique(np.concatenate([label[0], label[-1], label[:, 0], label[:, -1],
                                       label[~valid]]))
    positions = ndimage.labeled_comprehension(
        np.arange(zz.size).reshape(zz.shape), comp, keep, lambda a: a[0], np.int64, -1)
    mean_truth = ndimage.mean(truth, label, np.arange(1, lo.size + 1))
    used = set()
    spurious = 0
    for p in positions:
        s = label.flat[p]
        if s == 0:
            spurious += 1
            continue
        level = base + lo[s - 1] * interval
        pit = lo[s - 1] == hi[s - 1] and s not in border and mean_truth[s - 1] < level
        if pit and s not in used:
            used.add(s)
            continue
        spurious += 1
    return spurious


def lines_kept(z, lines, base, interval, valid):
    """The share of the model's own contour pixels (at the input's levels, each on the pixel
    nearer its level of a pair of 4-neighbours across it) that lie within one pixel of an input
    line pixel of the same number: the model's contours along the input's."""
    own = crossings(np.where(valid, z, np.nan), base, interval)
    near = np.zeros(z.shape, bool)
    for k in np.unique(own[own >= 0]):
        near |= (own == k) & ndimage.binary_dilation(lines == k, np.ones((3, 3), bool))
    count = (own >= 0).sum()
    return float(near.sum() / count) if count else 1.0


def figures(z, truth, lines, base, interval, cell, hull):
    valid = hull & np.isfinite(z)
    err = z[valid] - truth[valid]
    rmse = float(np.sqrt(np.mean(err ** 2)))
    off = valid & (lines == 255)
    frac = (z[off] - base) / interval
    on_level = float(np.mean(np.abs(frac - np.round(frac)) < 0.001))
    s_true, s_z = slope(truth, cell), slope(np.where(valid, z, np.nan), cell)
    both = ndimage.binary_erosion(valid, np.ones((3, 3), bool)) & np.isfinite(s_z)
    slope_rmse = float(np.sqrt(np.mean((s_z[both] - s_true[both]) ** 2)))
    km2 = valid.sum() * cell[0] * cell[1] / 1e6
    sinks = spurious_sinks(z, truth, lines, base, interval, valid) / km2
    # Flat where the truth slopes: off the lines, a slope under a twentieth of the true one (a
    # flat that the filling tilted by a thousandth of an interval a pixel counts).
    sloping = both & off & (s_true > 0.5)
    flat = float(np.mean(s_z[sloping] < s_true[sloping] / 20))
    return dict(rmse=rmse, rel=rmse / interval, on_level=on_level, slope=slope_rmse, sinks=sinks,
                flat=flat, kept=lines_kept(z, lines, base, interval, valid),
                coverage=float(valid.sum() / hull.sum()))


def gis_lines(work, truth, base, interval):
    """The contour raster a GIS user makes from an elevation model, as the elevation guide
    shows: gdal_contour to lines with an elevation field, burnt as level numbers onto the
    model's grid with gdal_rasterize (one pixel wide, 8-connected, lines leaving the sheet)."""
    src = os.path.join(work, "truth.tif")
    write_tif(src, truth.astype(np.float32), -99999.0)
    vec = os.path.join(work, "contours.gpkg")
    out = os.path.join(work, "numbers.tif")
    for path in (vec, out):
        if os.path.exists(path):
            os.remove(path)
    subprocess.run(["gdal_contour", "-q", "-i", str(interval), "-off", str(base), "-a", "elev",
                    src, vec], check=True)
    subprocess.run(["gdal_create", "-q", "-if", src, "-ot", "Byte", "-burn", "255",
                    "-a_nodata", "255", out], check=True)
    sql = (f"SELECT geom, CAST(ROUND((elev - {base}) / {interval}) AS INTEGER) AS number "
           "FROM contour")
    subprocess.run(["gdal_rasterize", "-q", "-dialect", "SQLite", "-sql", sql, "-a", "number",
                    vec, out], check=True)
    return gdal.Open(out).ReadAsArray().astype(np.uint8)


def lines_of(a, truth, width):
    """The contour raster of `truth` for width "thick" (2 and 3 px), "thin" (its skeleton) or
    "gis" (made with GDAL's tools)."""
    lines, base, interval = contour(truth, thick=True)
    if width == "gis":
        return gis_lines(a.work, truth, base, interval), base, interval
    if width == "thin":
        raw = os.path.join(a.work, "thick.u8")
        lines.tofile(raw)
        thin = os.path.join(a.work, "thin.u8")
        n = truth.shape
        run([a.program, raw, str(n[0]), str(n[1]), "-", "-", thin, "skeleton"])
        lines = np.fromfile(thin, np.uint8).reshape(n)
    return lines, base, interval


def run_case(a, name, n, width):
    """Every method on one case; prints a line of figures for each."""
    truth, cell = ground(name, n)
    lines, base, interval = lines_of(a, truth, width)
    case = f"{name} {n}² {width} I={interval:g}"
    # What the lines themselves say wrong: the level of a line pixel against the true ground
    # there, a floor under any method's RMSE.
    on = lines != 255
    own = np.sqrt(np.mean((truth[on] - (base + lines[on] * interval)) ** 2)) / interval
    print(f"# {case}: {100 * on.mean():.1f}% of pixels on lines, their own RMSE {own:.3f} I",
          flush=True)
    results = []
    for method in a.methods.split(","):
        results.append((method,) + engine(a.program, a.work, lines, base, interval, method,
                                          a.tension, a.hold))
    hull = np.isfinite(results[0][1])
    peers = [p for p in a.peers.split(",") if p]
    if "grass" in peers and str(n) in a.grass_sizes.split(","):
        results.append(("r.surf.contour",) + grass(a.work, lines, base, interval))
    if "rst" in peers and str(n) in a.grass_sizes.split(","):
        results.append(("v.surf.rst",) + grass_rst(a.work, lines, base, interval))
    if "fillnodata" in peers:
        results.append(("fillnodata",) + fillnodata(a.work, lines, base, interval))
    # The true ground's own figures: what the contours cannot tell apart (its small pits that
    # no closed contour draws count as sinks).
    results.append(("true ground", truth, None))
    for method, z, cost in results:
        f = figures(z, truth, lines, base, interval, cell, hull)
        spent = "" if cost is None else (
            f" {cost.cpu:7.2f} {cost.wall:7.2f} "
            f"{'-' if cost.io is None else f'{cost.io:.2f}':>6} {cost.peak / (n * n):6.1f}")
        print(f"{case:26} {method:14} {f['rmse']:8.3f} {f['rel']:7.3f} "
              f"{100 * f['on_level']:6.2f}% {100 * f['flat']:6.2f}% {100 * f['kept']:6.2f}% "
              f"{f['slope']:7.3f} {f['sinks']:9.3f} {f['coverage']:6.3f}{spent}", flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("work")
    ap.add_argument("--sizes", default="1000,2000")
    ap.add_argument("--grass-sizes", default="1000", help="sizes GRASS runs at (slow: minutes)")
    ap.add_argument("--grounds", default="jacksboro,topobathy")
    ap.add_argument("--methods", default="thin_plate,gradient")
    ap.add_argument("--peers", default="grass,rst,fillnodata")
    ap.add_argument("--widths", default="thick,thin,gis")
    ap.add_argument("--tension", type=float, default=None, help="the engine's (default 0.1)")
    ap.add_argument("--hold", type=float, default=None, help="the engine's (default: exact)")
    a = ap.parse_args()
    os.makedirs(a.work, exist_ok=True)
    print(f"{'case':26} {'method':14} {'rmse':>8} {'rmse/I':>7} {'on-lvl':>7} {'flat':>7} "
          f"{'kept':>7} {'slope°':>7} "
          f"{'sinks/km2':>9} {'cover':>6} {'cpu s':>7} {'wall s':>7} {'I/O s':>6} {'B/px':>6}",
          flush=True)
    for name in a.grounds.split(","):
        for n in map(int, a.sizes.split(",")):
            for width in a.widths.split(","):
                run_case(a, name, n, width)


if __name__ == "__main__":
    main()
