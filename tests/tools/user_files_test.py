"""The GDAL tools on the files GIS users have: a virtual raster's member never replaced, a
GeoPackage's other layers kept, special files refused at once, two runs to one shapefile giving
one whole dataset, scratch of a killed run swept by the next, the same result through an archive, no coordinate
system made up when PROJ's database is missing.

usage: user_files_test.py BUILD_DIR WORK_DIR
"""
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import time

build, work = sys.argv[1:3]
failures = []
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
os.chdir(work)


def run(*words, timeout=60, env=None):
    return subprocess.run([os.path.join(build, words[0])] + list(words[1:]) + ["-q"],
                          capture_output=True, text=True, timeout=timeout,
                          env=None if env is None else {**os.environ, **env})


def check(what, ok, detail=""):
    if not ok:
        failures.append(f"{what}: {detail}")


for name, size in (("m.tif", "200"), ("big.tif", "2000")):
    subprocess.run([os.path.join(build, "make_geotiff"), name, size, size], check=True)
with open("v.vrt", "w") as vrt:
    vrt.write('<VRTDataset rasterXSize="200" rasterYSize="200"><VRTRasterBand dataType="Byte" '
              'band="1"><SimpleSource><SourceFilename relativeToVRT="1">m.tif</SourceFilename>'
              '<SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>')
member = open("m.tif", "rb").read()
os.mkfifo("fifo.tif")
tools = {
    "geo clean": ["torvanelle-geo", "clean", "{src}", "{out}"],
    "vect": ["torvanelle-vect", "{src}", "{out}", "--format", "GPKG"],
    "dem": ["torvanelle-dem", "{src}", "{out}", "--base", "0", "--interval", "10"],
}


def words(tool, src, out, *more):
    return [w.format(src=src, out=out) for w in tools[tool]] + list(more)


for tool in tools:
    # A source's member, a FIFO as source or output: refused at once, nothing replaced.
    for src, out, refusal in (("v.vrt", "m.tif", "is the source"),
                              ("fifo.tif", "x.out", "is a FIFO"),
                              ("m.tif", "fifo.tif", "is a FIFO")):
        r = run(*words(tool, src, out, "--overwrite"), timeout=20)
        check(f"{tool} {src} -> {out}", r.returncode == 1 and refusal in r.stderr, r.stderr)
    check(f"{tool}: the member", open("m.tif", "rb").read() == member)
    # Without PROJ's database the coordinate system cannot be read right: a failure, no output.
    out = "noproj.gpkg" if tool == "vect" else "noproj.tif"
    r = run(*words(tool, "m.tif", out), env={"PROJ_DATA": "/nowhere", "PROJ_LIB": "/nowhere"})
    check(f"{tool} without PROJ's database", r.returncode == 1 and "proj.db" in r.stderr
          and not os.path.exists(out), (r.returncode, r.stderr))
    # Through an archive, the same result as from the plain file.
    shutil.make_archive("a", "zip", ".", "m.tif")
    plain, zipped = f"plain-{len(tool)}", f"zipped-{len(tool)}"
    run(*words(tool, "m.tif", plain + ".gpkg" if tool == "vect" else plain + ".tif"))
    r = run(*words(tool, "/vsizip/a.zip/m.tif", zipped + ".gpkg" if tool == "vect" else
                   zipped + ".tif"))
    check(f"{tool} through /vsizip/", r.returncode == 0, r.stderr)

# Contours made the usual GIS way, from an elevation model: rasterised without -init 255 the
# background is burned as contour 0, which every tool refuses with the way to make it right,
# writing nothing; a raster without a pixel of 255 is warned about after the progress line.
run("torvanelle-dem", "m.tif", "ground.tif", "--base", "0", "--interval", "10")
subprocess.run(["gdal_contour", "-q", "-i", "50", "-a", "elev", "ground.tif", "lines.gpkg"],
               check=True)
subprocess.run(["gdal_rasterize", "-q", "-ot", "Byte", "-tr", "5", "5", "-sql",
                "SELECT elev / 50 AS n, * FROM contour", "-dialect", "SQLite", "-a", "n",
                "lines.gpkg", "burned.tif"], check=True)
# Every pixel a number and none most of them: the ground cut into 250 zones.
subprocess.run(["gdal_translate", "-q", "-ot", "Byte", "-a_nodata", "none", "-scale", "-10",
                "1500", "0", "250", "ground.tif", "zones.tif"], check=True)
for tool in tools:
    out = tool.replace(" ", "-") + (".gpkg" if tool == "vect" else ".tif")
    r = run(*words(tool, "burned.tif", out))
    check(f"{tool}: background burned as contour 0", r.returncode == 1
          and "contour number 0 covers" in r.stderr and "-init 255" in r.stderr
          and "-a_nodata 0" in r.stderr and not os.path.exists(out), r.stderr)
    command = words(tool, "zones.tif", "zones-" + out)
    r = subprocess.run([os.path.join(build, command[0])] + command[1:], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True, timeout=60)
    said = r.stdout
    check(f"{tool}: no pixel of 255", r.returncode == 0 and "no pixel of 255" in said
          and "-a_nodata VALUE" in said and said.index("- done.") < said.index("warning"), said)

# A raster output's format follows its extension in any case, or the run fails saying so.
for tool, out, driver, refusal in (
        ("geo clean", "f.PNG", "PNG", ""), ("geo clean", "f.asc", "AAIGrid", ""),
        ("geo clean", "f.gpkg", "GPKG", ""), ("dem", "f.ASC", "AAIGrid", ""),
        ("dem", "f.img", "HFA", ""),
        ("dem", "f.png", None, "PNG driver doesn't support"),
        ("dem", "g.gpkg", None, "choose another format")):
    r = run(*words(tool, "m.tif", out, "--overwrite"))
    if driver:
        got = subprocess.run(["gdalinfo", out], capture_output=True, text=True).stdout
        check(f"{tool} -> {out}", r.returncode == 0 and f"Driver: {driver}/" in got, r.stderr)
    else:
        check(f"{tool} -> {out}", r.returncode == 1 and refusal in r.stderr
              and not os.path.exists(out), r.stderr)

# A GeoPackage of other layers: a layer added, replaced only with --overwrite, the rest kept.
run("torvanelle-vect", "m.tif", "c.gpkg", "--layer", "mine")
run("torvanelle-vect", "m.tif", "c.gpkg", "--layer", "theirs")
r = run("torvanelle-vect", "m.tif", "c.gpkg", "--layer", "mine")
check("existing layer without --overwrite", r.returncode == 1, r.stderr)
r = run("torvanelle-vect", "m.tif", "c.gpkg", "--layer", "mine", "--overwrite", "--min-length",
        "9")
layers = sorted(n for (n,) in sqlite3.connect("c.gpkg").execute(
    "SELECT table_name FROM gpkg_contents"))
check("layers kept", r.returncode == 0 and layers == ["mine", "theirs"], (r.stderr, layers))

# Two runs to one shapefile at once, forty times: one whole dataset each time, from one run.
for attempt in range(40):
    for f in os.listdir("."):
        if f.startswith("race."):
            os.remove(f)
    runs = [subprocess.Popen([os.path.join(build, "torvanelle-vect"), "big.tif", "race.shp", "-q",
                              "--overwrite", "--min-length", n], stderr=subprocess.DEVNULL)
            for n in ("2", "60")]
    for p in runs:
        p.wait()
    shp = os.path.getsize("race.shp")
    # The .shx holds 100 bytes of header and 8 a feature, the .dbf's header its record count.
    shx_count = (os.path.getsize("race.shx") - 100) // 8
    dbf_count = int.from_bytes(open("race.dbf", "rb").read()[4:8], "little")
    if shx_count != dbf_count:
        check(f"race {attempt}", False, f"{shx_count} features in .shx, {dbf_count} in .dbf")
        break

# A run killed outright leaves its scratch folder; the next run in that folder removes it.
p = subprocess.Popen([os.path.join(build, "torvanelle-geo"), "clean", "big.tif", "killed.tif",
                      "-q"])
deadline = time.monotonic() + 30
while p.poll() is None and time.monotonic() < deadline and not any(
        n.startswith(".torvanelle-") for n in os.listdir(".")):
    time.sleep(0.001)
p.send_signal(signal.SIGKILL)
p.wait()
left = [n for n in os.listdir(".") if n.startswith(".torvanelle-")]
check("SIGKILL leaves scratch", left != [], os.listdir("."))
time.sleep(2.5)
run("torvanelle-geo", "clean", "m.tif", "after.tif")
check("scratch swept", not any(n.startswith(".torvanelle-") for n in os.listdir(".")),
      os.listdir("."))

for f in failures:
    print("FAIL:", f)
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
