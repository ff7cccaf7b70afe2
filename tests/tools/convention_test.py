"""Every companion program follows one convention: --help prints its usage and exits 0, --version
prints its name and version, a command line not understood is said in one line with a hint and
exits 2; none of them creates anything (run in an empty folder, it stays empty).

usage: convention_test.py VERSION PROGRAM...
"""
import os
import subprocess
import sys
import tempfile

version, programs = sys.argv[1], sys.argv[2:]
failures = []

for program in programs:
    name = os.path.basename(program)
    cases = [
        (["--help"], 0, lambda out, err: f"Usage: {name}" in out and err == ""),
        (["--version"], 0, lambda out, err: out == f"{name} {version}\n" and err == ""),
        (["--no-such-option", "a", "b"], 2, lambda out, err: out == ""
         and err.count("\n") == 2 and err.endswith(f"Try '{name} --help'.\n")),
    ]
    for args, status, holds in cases:
        with tempfile.TemporaryDirectory() as folder:
            r = subprocess.run([program] + args, cwd=folder, capture_output=True, text=True,
                               stdin=subprocess.DEVNULL)
            what = f"{name} {' '.join(args)}"
            if r.returncode != status:
                failures.append(f"{what}: status {r.returncode}, not {status}")
            if not holds(r.stdout, r.stderr):
                failures.append(f"{what}: printed {r.stdout!r} and {r.stderr!r}")
            if os.listdir(folder):
                failures.append(f"{what}: created {os.listdir(folder)}")

for f in failures:
    print("FAILED:", f)
print(f"{len(programs) * 3 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
