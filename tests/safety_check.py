"""The user's files under whatever ends a run, seen from outside: the built program runs on a
large sheet whose earlier result is in place, and is ended by SIGINT, SIGTERM, SIGHUP or SIGKILL
at moments spread over the run, or by its console closing under it. Afterwards the final names
must hold the earlier result or the complete new one, byte for byte, and (but after SIGKILL)
nothing else may be left. Two runs started together on one sheet must leave one run's whole pair.

usage: safety_check.py PROGRAM SAMPLE_FOLDER WORK_FOLDER
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import time

program, sample, work = sys.argv[1], sys.argv[2], sys.argv[3]
site = os.path.join(work, "images", "big")
raster, descriptor = (os.path.join(site, "sheet_venc8" + e) for e in (".raw", ".txt"))
inputs = {"sheet.raw", "sheet.txt"}
problems = []


def make_sheet():
    """4000 lines of 4200 columns: the sample (400 x 600) laid ten by seven times."""
    with open(os.path.join(sample, "relief.raw"), "rb") as f:
        tile = f.read()
    rows = [tile[i * 600:(i + 1) * 600] * 7 for i in range(400)]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(site)
    with open(os.path.join(site, "sheet.raw"), "wb") as f:
        f.write(b"".join(rows) * 10)
    with open(os.path.join(site, "sheet.txt"), "w") as f:
        f.write("4000\n4200\n1\n0\n255\n10\n")


def answers(deburr):
    path = os.path.join(work, "answers%d.txt" % deburr)
    with open(path, "w") as f:
        f.write("big\nsheet\n0\n%d\n" % deburr)
    return path


def start(deburr, **kw):
    with open(answers(deburr)) as stdin:
        return subprocess.Popen([program], cwd=work, stdin=stdin, stderr=subprocess.PIPE,
                                start_new_session=True, **kw)


def pair():
    found = []
    for path in (raster, descriptor):
        try:
            with open(path, "rb") as f:
                found.append(f.read())
        except FileNotFoundError:
            found.append(None)
    return tuple(found)


def put(result):
    for path, data in zip((raster, descriptor), result):
        with open(path, "wb") as f:
            f.write(data)


def leftovers():
    return sorted(set(os.listdir(site)) - inputs - {"sheet_venc8.raw", "sheet_venc8.txt"})


def finished_run(deburr):
    """The pair a whole run leaves, and how long the run took."""
    begun = time.monotonic()
    p = start(deburr, stdout=subprocess.DEVNULL)
    _, err = p.communicate()
    if p.returncode != 0:
        sys.exit("the reference run failed (%d): %s" % (p.returncode, err.decode()))
    return pair(), time.monotonic() - begun


def check(what, status, earlier, new, allowed_status, stray_allowed=False):
    got = pair()
    if got != earlier and got != new:
        which = ["earlier" if got[i] == earlier[i] else "new" if got[i] == new[i] else
                 "missing" if got[i] is None else "broken" for i in (0, 1)]
        problems.append("%s: the final names hold a %s raster and a %s descriptor" %
                        (what, which[0], which[1]))
    left = leftovers()
    if left and not stray_allowed:
        problems.append("%s: left %s" % (what, left))
    elif left:
        print("%s left %s" % (what, " ".join(left)))
    for name in left:
        # After SIGKILL only a temporary file or the lock may remain, named after the result.
        if not (name.startswith("sheet_venc8.") and (name.endswith(".tmp") or
                                                     name == "sheet_venc8.lock")):
            problems.append("%s: left %s" % (what, name))
        os.remove(os.path.join(site, name))
    if status not in allowed_status:
        problems.append("%s: status %d, expected one of %s" % (what, status, allowed_status))
    return got == new


def interruptions(earlier, new, duration):
    rng = random.Random(20261208)
    outcomes = {}
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGKILL):
        for k in range(6):
            put(earlier)
            moment = duration * (k + rng.random()) / 6 * 1.5
            p = start(0, stdout=subprocess.DEVNULL)
            time.sleep(moment)
            p.send_signal(sig)
            p.communicate()
            what = "%s at %.3f s" % (sig.name, moment)
            finished = check(what, p.returncode, earlier, new, (0, -sig),
                             stray_allowed=sig == signal.SIGKILL)
            outcomes.setdefault(sig.name, []).append("new" if finished else "earlier")
        if "earlier" not in outcomes[sig.name]:
            problems.append("%s never stopped a run before its end: the moments missed" %
                            sig.name)
    for name, seen in outcomes.items():
        print("%s: %s" % (name, " ".join(seen)))


def console_closed(earlier, new):
    # Closed at once (as `| head -c 300` does): the next write meets a closed pipe.
    for ignored in (False, True):
        put(earlier)
        restore = signal.SIG_IGN if ignored else signal.SIG_DFL
        p = start(0, stdout=subprocess.PIPE,
                  preexec_fn=lambda: signal.signal(signal.SIGPIPE, restore))
        p.stdout.read(300)
        p.stdout.close()
        _, err = p.communicate()
        what = "console closed, SIGPIPE %s" % ("ignored" if ignored else "default")
        # Ignored, the write fails instead and the run stops with status 1.
        check(what, p.returncode, earlier, earlier, (1,) if ignored else (-signal.SIGPIPE,))
        if ignored and b"standard output cannot be written" not in err:
            problems.append("%s: standard error says %r" % (what, err))
        print("%s: status %d" % (what, p.returncode))


def two_at_once(one, other):
    placeholder = (b"an earlier raster", b"an earlier descriptor")
    seen = []
    for _ in range(12):
        put(placeholder)
        runs = [start(deburr, stdout=subprocess.DEVNULL) for deburr in (0, 1)]
        statuses = [p.wait() for p in runs]
        for p in runs:
            p.stderr.close()
        got = pair()
        seen.append("deburred" if got == one else "kept" if got == other else "MIXED")
        if got not in (one, other):
            problems.append("two runs at once left a mixed pair")
        if statuses != [0, 0] or leftovers():
            problems.append("two runs at once: statuses %s, left %s" % (statuses, leftovers()))
    print("two at once: " + " ".join(seen))


make_sheet()
earlier, _ = finished_run(1)
new, duration = finished_run(0)
print("a whole run takes %.3f s" % duration)
interruptions(earlier, new, duration)
console_closed(earlier, new)
two_at_once(new, earlier)
shutil.rmtree(work, ignore_errors=True)
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
