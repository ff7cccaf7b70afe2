"""Checks that every test the bad-input catalogue (docs/robustness.md) names exists: each
GoogleTest test among those the test program lists, each end-to-end case folder, each fuzz seed.

In the "Proved by" column, items are separated by ";". An item starting with "e2e" names case
folders (`group/case`, then `case` for another case of the same group); one starting with "fuzz"
names seeds (`target/seed`, then `seed`; a trailing * matches a prefix); any other names a test
file of tests/ and then tests in it (`Suite.Test`; a trailing * matches a prefix).

usage: catalogue_check.py CATALOGUE TEST_PROGRAM SOURCE_DIR [NOT_BUILT]
NOT_BUILT: test files, separated by commas, that this platform does not build (their tests are
not looked for). The environment variable TORVANELLE_EMULATOR, when set, is the command (its
words separated by "|") that runs TEST_PROGRAM, a program built for another system.
"""
import os
import pathlib
import re
import subprocess
import sys

catalogue, program, source = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
not_built = set(sys.argv[4].split(",")) if len(sys.argv) > 4 else set()
emulator = [w for w in os.environ.get("TORVANELLE_EMULATOR", "").split("|") if w]
problems = []


def listed_tests():
    names, suite = set(), ""
    listing = subprocess.run(emulator + [program, "--gtest_list_tests"], capture_output=True,
                             text=True, check=True).stdout
    for line in listing.splitlines():
        if not line.startswith(" "):
            suite = line.split()[0]
        else:
            names.add(suite + line.split()[0])
    return names


def matches(name, candidates):
    if name.endswith("*"):
        return any(c.startswith(name[:-1]) for c in candidates)
    return name in candidates


def check_item(item, tests):
    names = re.findall(r"`([^`]+)`", item)
    kind = item.split("`")[0].strip()
    if kind in ("e2e", "fuzz"):
        base = source / ("tests/e2e/cases" if kind == "e2e" else "fuzz/corpus")
        folder = None
        for name in names:
            if "/" in name:
                folder, name = name.split("/", 1)
            where = base / folder if folder else base
            present = [p.name for p in where.iterdir()] if where.is_dir() else []
            if not matches(name, present):
                problems.append(f"{kind} {where.relative_to(base) / name} does not exist")
        return
    if not names or not (source / "tests" / names[0]).is_file():
        problems.append(f"no test file in: {item}")
        return
    if names[0] in not_built:
        return
    for name in names[1:]:
        if not matches(name, tests):
            problems.append(f"no test {name} in {names[0]}")


tests = listed_tests()
text = pathlib.Path(catalogue).read_text(encoding="utf-8")
table = text.split("## Catalogue", 1)[1].split("\n## ", 1)[0]
rows = 0
for row in table.splitlines():
    if not row.startswith("|") or row.startswith("|---") or "Proved by" in row:
        continue
    rows += 1
    proved = row.rstrip().rstrip("|").split("|")[-1]
    for item in proved.split(";"):
        check_item(item.strip(), tests)
if rows < 20:
    problems.append(f"only {rows} rows found in the catalogue")
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
