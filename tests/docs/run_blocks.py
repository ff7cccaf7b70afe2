#!/usr/bin/env python3
"""Runs the command blocks of a documentation page as written.

    run_blocks.py BUILD_DIR SOURCE_DIR WORK_DIR PAGE

PAGE (README.md, docs/gis.md, ...) is read from SOURCE_DIR. Every ```sh block must follow a
marker line:

    <!-- tested: NAME -->              runs in a fresh folder of its own
    <!-- tested: NAME (continues) -->  runs in the folder of the page's tested block before it
    <!-- not run: WHY -->              cannot run in a test; WHY is printed

A tested block runs with `bash -e`, without a terminal or standard input, in WORK_DIR/NN/repo:
a copy of the repository's images/, scripts/ and docs/, standing for its root; HOME is
WORK_DIR/NN/home. `build/release` stands for BUILD_DIR, and the configure and build commands
(`cmake --preset NAME`, `cmake --build --preset NAME [--target ...]`) for the build under test,
which is already made. A block passes when it ends with status 0, has changed no tracked file
and has left no file that git would not ignore. A block that needs a program BUILD_DIR lacks,
or a command this machine lacks, is skipped with the reason.

Exit status: 0 when every marker is there and every tested block that could run passed; 1
otherwise; 77 when tested blocks exist and all were skipped.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

TESTED = re.compile(r"^<!-- tested: (.+?)( \(continues\))? -->$")
NOT_RUN = re.compile(r"^<!-- not run: (.+) -->$")
# Commands a block may need that are not built here, and the package that brings each.
EXTERNAL = {"parallel": "parallel", "gdaldem": "gdal-bin", "gdal_translate": "gdal-bin",
            "gdal_rasterize": "gdal-bin", "gdal_contour": "gdal-bin", "gdal_create": "gdal-bin",
            "gdalinfo": "gdal-bin", "ogrinfo": "gdal-bin", "man": "man-db", "qgis_process": "qgis"}
# The repository's folders that the examples read, copied into each block's folder.
COPIED = ("images", "scripts", "docs")
TIMEOUT = 120


class Block:
    def __init__(self, line, marker, text):
        self.line, self.text = line, text
        tested, not_run = TESTED.match(marker), NOT_RUN.match(marker)
        self.name = tested.group(1) if tested else None
        self.continues = bool(tested and tested.group(2))
        self.why_not_run = not_run.group(1) if not_run else None
        self.marked = bool(tested or not_run)


def blocks_of(page):
    """Every ```sh block of the page, with the line before it as its marker."""
    lines = page.read_text(encoding="utf-8").splitlines()
    found, i = [], 0
    while i < len(lines):
        if lines[i] == "```sh":
            end = next((j for j in range(i + 1, len(lines)) if lines[j] == "```"), len(lines))
            marker = lines[i - 1] if i > 0 else ""
            found.append(Block(i + 1, marker, "\n".join(lines[i + 1:end]) + "\n"))
            i = end
        i += 1
    return found


def as_tested(text, build):
    """The block with the build under test standing for the release build and its making."""
    text = re.sub(r"cmake --build --preset [\w-]+(?: --target(?: [\w-]+)+)?", "true", text)
    text = re.sub(r"cmake --preset [\w-]+(?: -D\S+)*", "true", text)
    return re.sub(r"build/release(?=/|\s|$)", str(build), text)


def missing_needs(text, build):
    """Why the block cannot run here, or None."""
    # Programs: build/release/NAME without an extension (install_manifest.txt is a file).
    for program in sorted(set(re.findall(r"build/release/([\w/-]+)(?![\w.])", text))):
        if not os.access(build / program, os.X_OK):
            return f"build/release/{program} is not built here"
    code = "\n".join(re.sub(r"(^|\s)#.*$", "", line) for line in text.splitlines())
    for command, package in EXTERNAL.items():
        if re.search(rf"(?<![\w./-]){command}(?![\w.-])", code) and not shutil.which(command):
            return f"needs {command} (Debian {package})"
    if re.search(r"(?<![\w./-])parallel(?![\w.-])", code):
        version = subprocess.run(["parallel", "--version"], capture_output=True, text=True,
                                 stdin=subprocess.DEVNULL)
        if "GNU parallel" not in version.stdout:
            return "needs GNU parallel"
    return None


def tracked_files(source):
    try:
        listed = subprocess.run(["git", "-C", str(source), "ls-files", "-z", "--", *COPIED],
                                capture_output=True, check=True).stdout.decode()
        return [name for name in listed.split("\0") if name]
    except (OSError, subprocess.CalledProcessError):
        return [str(p.relative_to(source)) for folder in COPIED
                for p in (source / folder).rglob("*") if p.is_file()]


def digest(path):
    if path.is_symlink():
        return "link:" + os.readlink(path)
    return hashlib.sha1(path.read_bytes()).hexdigest()


def snapshot(repo):
    return {str(p.relative_to(repo)): digest(p) for p in repo.rglob("*")
            if p.is_file() or p.is_symlink()}


def not_ignored(source, names):
    """The names, relative to the repository's root, that git would not ignore."""
    if not names:
        return []
    try:
        result = subprocess.run(["git", "-C", str(source), "check-ignore", "--no-index",
                                 "--stdin", "-z"], input="\0".join(names).encode(),
                                capture_output=True)
    except OSError:
        return []
    if result.returncode > 1:
        return []
    ignored = set(result.stdout.decode().split("\0"))
    return [name for name in names if name not in ignored]


def run_block(block, folder, build, source, tracked):
    """Runs one tested block in folder; returns the failures, empty when it passed."""
    repo, home = folder / "repo", folder / "home"
    before = snapshot(repo)
    env = dict(os.environ, HOME=str(home))
    with open(folder / f"stdout-{block.line}.txt", "w") as out, \
            open(folder / f"stderr-{block.line}.txt", "w") as err:
        try:
            status = subprocess.run(["bash", "-e", "-c", as_tested(block.text, build)],
                                    cwd=repo, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=err, start_new_session=True,
                                    timeout=TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            status = f"no end after {TIMEOUT} s"
    failures = []
    if status != 0:
        failures.append(f"ended with status {status}; its standard error:\n"
                        + (folder / f"stderr-{block.line}.txt").read_text(errors="replace"))
    after = snapshot(repo)
    changed = sorted(name for name in after if before.get(name) != after[name])
    for name in changed:
        if name in tracked:
            failures.append(f"changed the tracked file {name}")
    for name in not_ignored(source, [n for n in changed if n not in tracked]):
        failures.append(f"left {name} in the repository, which git does not ignore")
    for name in sorted(set(tracked) - set(after)):
        failures.append(f"removed the tracked file {name}")
    return failures


def prepare(folder, source, tracked):
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "home").mkdir(parents=True)
    for name in tracked:
        (folder / "repo" / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(source / name, folder / "repo" / name, follow_symlinks=False)


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: run_blocks.py BUILD_DIR SOURCE_DIR WORK_DIR PAGE")
    build, source, work = (Path(a).resolve() for a in sys.argv[1:4])
    page = sys.argv[4]
    tracked = tracked_files(source)
    shutil.rmtree(work, ignore_errors=True)
    ran = skipped = not_run = failed = 0
    folder, previous_skipped = None, False
    for number, block in enumerate(blocks_of(source / page), 1):
        where = f"{page}:{block.line}"
        if not block.marked:
            print(f"FAIL {where}: a ```sh block without <!-- tested: NAME --> or "
                  f"<!-- not run: WHY --> on the line before it")
            failed += 1
            continue
        if block.why_not_run:
            print(f"not run  {where}: {block.why_not_run}")
            not_run += 1
            continue
        if block.continues and folder is None:
            print(f"FAIL {where} '{block.name}': continues no tested block")
            failed += 1
            continue
        reason = "the block it continues was skipped" if (
            block.continues and previous_skipped) else missing_needs(block.text, build)
        previous_skipped = reason is not None
        if reason:
            print(f"skipped  {where} '{block.name}': {reason}")
            skipped += 1
            continue
        if not block.continues:
            folder = work / f"{number:02d}"
            prepare(folder, source, tracked)
        start = time.monotonic()
        failures = run_block(block, folder, build, source, set(tracked))
        seconds = time.monotonic() - start
        if failures:
            failed += 1
            for failure in failures:
                print(f"FAIL {where} '{block.name}' (in {folder / 'repo'}): {failure}")
        else:
            ran += 1
            print(f"ran      {where} '{block.name}' ({seconds:.1f} s)")
    print(f"{page}: {ran} ran, {skipped} skipped, {not_run} not run, {failed} failed")
    if failed:
        return 1
    return 77 if skipped and not ran else 0


if __name__ == "__main__":
    sys.exit(main())
