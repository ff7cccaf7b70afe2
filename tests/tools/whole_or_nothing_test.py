"""The GDAL tools' outputs appear whole or not at all: a tool stopped by SIGINT, SIGTERM or SIGHUP
while it writes, or whose disk fills, leaves the folder exactly as it was (no scratch folder, no
partial output), ends by the signal (or with status 1 and a message naming the output, not a
scratch path).

usage: whole_or_nothing_test.py BUILD_DIR WORK_DIR
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import time

build, work = sys.argv[1:3]
failures = []
shutil.rmtree(work, ignore_errors=True)
os.makedirs(os.path.join(work, "images", "site"))
os.chdir(work)


def tool(name):
    return os.path.join(build, name)


def listing():
    return sorted((os.path.join(d, f), os.path.getsize(os.path.join(d, f)))
                  for d, dirs, files in os.walk(".") for f in files + dirs
                  if os.path.isfile(os.path.join(d, f)) or f.startswith("."))


subprocess.run([tool("make_geotiff"), "big.tif", "2000", "2000"], check=True)
subprocess.run([tool("torvanelle-geo"), "import", "-q", "big.tif", "images/site/big"], check=True)
subprocess.run([tool("torvanelle")], input=b"site\nbig\n0\n0\n", check=True,
               stdout=subprocess.DEVNULL)
commands = {
    "import": ["torvanelle-geo", "import", "big.tif", "images/site/again"],
    "export": ["torvanelle-geo", "export", "images/site/big_venc8", "out.tif"],
    "clean": ["torvanelle-geo", "clean", "big.tif", "out.tif", "--report", "out.log"],
    "vect gpkg": ["torvanelle-vect", "big.tif", "out.gpkg"],
    "vect shp": ["torvanelle-vect", "big.tif", "out.shp"],
    "vect geojson": ["torvanelle-vect", "big.tif", "out.geojson"],
    "dem": ["torvanelle-dem", "big.tif", "dem.tif", "--base", "0", "--interval", "10"],
}

# Each command stopped by a signal (each signal in turn) as soon as its scratch folder appears.
signals = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]
for n, (what, words) in enumerate(commands.items()):
    for sig in [signals[n % 3]]:
        before = listing()
        p = subprocess.Popen([tool(words[0])] + words[1:] + ["-q"], stderr=subprocess.DEVNULL)
        folders = ["images/site", "."]
        deadline = time.monotonic() + 30
        while p.poll() is None and time.monotonic() < deadline and not any(
                n.startswith(".torvanelle-") for f in folders for n in os.listdir(f)):
            time.sleep(0.0005)
        p.send_signal(sig)
        status = p.wait()
        if status != -sig:
            failures.append(f"{what}, {sig.name}: status {status}, not killed by the signal")
        if listing() != before:
            failures.append(f"{what}, {sig.name}: left {sorted(set(listing()) - set(before))}")


def full_disk():
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 16, resource.RLIM_INFINITY))
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)


# Each command on a disk that fills after 64 KiB.
for what, words in commands.items():
    if what == "import":
        continue  # a sparse raw raster: its size is set, not written
    before = listing()
    r = subprocess.run([tool(words[0])] + words[1:] + ["-q"], preexec_fn=full_disk,
                       capture_output=True, text=True)
    output = words[3] if words[0] == "torvanelle-geo" else words[2]
    if r.returncode != 1:
        failures.append(f"{what} on a full disk: status {r.returncode}: {r.stderr}")
    if output not in r.stderr or ".torvanelle-" in r.stderr:
        failures.append(f"{what} on a full disk: the message names {r.stderr!r}")
    if listing() != before:
        failures.append(f"{what} on a full disk: left {sorted(set(listing()) - set(before))}")

for f in failures:
    print("FAILED:", f)
total = 2 * len(commands) - 1
print(f"{total - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
