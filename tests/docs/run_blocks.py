#!/usr/bin/env python3
"""Runs the command blocks of a documentation page as written, and checks the figures it states.

    run_blocks.py SOURCE_DIR WORK_DIR PAGE [--figures-only]

PAGE (README.md, docs/gis.md, ...) is read from SOURCE_DIR. Every ```sh block must follow a
marker line:

    <!-- tested: NAME -->              runs in a fresh folder of its own
    <!-- tested: NAME (continues) -->  runs in the folder of the page's tested block before it
    <!-- not run: WHY -->              cannot run in a test; WHY is printed

A tested block runs with `bash -e`, without a terminal or standard input, in WORK_DIR/NN/repo:
a copy of the repository's images/, scripts/ and docs/, standing for its root; HOME is
WORK_DIR/NN/home. Its build commands run as written on the repository itself (`cmake --preset
NAME` and `cmake --build --preset NAME ...` in SOURCE_DIR), and `build/NAME` (NAME a preset)
stands for SOURCE_DIR/build/NAME, a build folder every page shares; the programs the block runs from
build/release are built or brought up to date first. A block passes when it ends with status 0,
has changed no tracked file and has left no file that git would not ignore. A block that needs
a program that cannot be built here, or a command this machine lacks, is skipped with the
reason.

A figure the page states about what a tested block produced is checked by a marker on the line
after the paragraph, table, list item (indented as the item) or block of text that states it:

    <!-- figure "TEXT" after NAME: COMMAND -->

TEXT must stand in that paragraph, and COMMAND, run with `bash -e` in the folder of the tested
block NAME once that block has run (build/NAME standing for the shared build as above), must
print TEXT. In COMMAND, `measure` runs tests/docs/measure.py with this Python (pixel counts,
sizes, feature counts, ranges, errors). NAME `the build` runs COMMAND in SOURCE_DIR after every block: a figure of the
packages, which exit 77 when the package is not built (then the figure is skipped). With
--figures-only, only those are checked.

Exit status: 0 when every marker is there and every tested block that could run passed and
every figure matched; 1 otherwise; 77 when tested blocks or figures exist and all were skipped.
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
FIGURE = re.compile(r'^\s*<!-- figure "([^"]+)" after (.+?): (.+) -->$')
THE_BUILD = "the build"
# The build folders the pages name, which stand for the repository's own.
PRESETS = ("windows-release", "release", "dev", "asan", "windows")
# Commands a block may need that are not built here, and the package that brings each.
EXTERNAL = {"parallel": "parallel", "gdaldem": "gdal-bin", "gdal_translate": "gdal-bin",
            "gdal_rasterize": "gdal-bin", "gdal_contour": "gdal-bin", "gdal_create": "gdal-bin",
            "gdalinfo": "gdal-bin", "ogrinfo": "gdal-bin", "man": "man-db", "qgis_process": "qgis",
            "qgis_process.bin": "qgis"}
# The repository's folders that the examples read, copied into each block's folder.
COPIED = ("images", "scripts", "docs")
# A block that builds may take as long as a whole build from nothing.
TIMEOUT, BUILD_TIMEOUT = 120, 3600
MEASURE = Path(__file__).resolve().parent / "measure.py"


class Block:
    def __init__(self, line, marker, text):
        self.line, self.text = line, text
        tested, not_run = TESTED.match(marker), NOT_RUN.match(marker)
        self.name = tested.group(1) if tested else None
        self.continues = bool(tested and tested.group(2))
        self.why_not_run = not_run.group(1) if not_run else None
        self.marked = bool(tested or not_run)


class Figure:
    """A figure marker; one that does not read as a marker (`match` None) fails the page."""

    def __init__(self, line, match, paragraph):
        self.line, self.well_formed = line, match is not None
        self.text, self.after, self.command = match.groups() if match else ("", "", "")
        self.stated = self.text in paragraph


def blocks_of(lines):
    """Every ```sh block of the page, with the line before it as its marker."""
    found, i = [], 0
    while i < len(lines):
        if lines[i] == "```sh":
            end = next((j for j in range(i + 1, len(lines)) if lines[j] == "```"), len(lines))
            marker = lines[i - 1] if i > 0 else ""
            found.append(Block(i + 1, marker, "\n".join(lines[i + 1:end]) + "\n"))
            i = end
        i += 1
    return found


def figures_of(lines):
    """Every figure marker of the page, with whether its text stands in the paragraph above."""
    found, fenced = [], False
    for i, line in enumerate(lines):
        if line.startswith("```"):
            fenced = not fenced
        match = FIGURE.match(line)
        if fenced or not (match or "<!-- figure" in line):
            continue
        if not match:
            found.append(Figure(i + 1, None, ""))
            continue
        end = i
        while end > 0 and FIGURE.match(lines[end - 1]):
            end -= 1
        if end > 0 and lines[end - 1] == "```":
            # A block of text above: its lines.
            start = end - 1
            while start > 0 and not lines[start - 1].startswith("```"):
                start -= 1
            end -= 1
        else:
            start = end
            while start > 0 and lines[start - 1].strip() and not lines[start - 1].startswith("```"):
                start -= 1
        paragraph = "\n".join(lines[start:end])
        found.append(Figure(i + 1, match, " ".join(paragraph.split())))
    return found


def as_tested(text, source):
    """The block with its build commands run on the repository and its build folders there."""
    text = re.sub(r"cmake --preset ", f"cmake -S {source} --preset ", text)
    text = re.sub(r"(cmake --build --preset [^&;|\n]*?)(\s*(?:&&|;|\||\n|$))",
                  lambda m: f"(cd {source} && {m.group(1)}){m.group(2)}", text)
    presets = "|".join(PRESETS)
    return re.sub(rf"(?<![\w./-])build/(?=(?:{presets})(?:/|\s|$))", f"{source}/build/", text)


def programs_run(text):
    """The programs the block runs from build/release."""
    return sorted(set(re.findall(r"build/release/([\w-]+)(?![\w./])", text)))


def build_programs(programs, source):
    """Builds `programs` in the shared release build, or brings them up to date; None, or why
    they cannot be built."""
    release = source / "build" / "release"
    steps = [] if (release / "CMakeCache.txt").exists() else [["cmake", "--preset", "release"]]
    steps.append(["cmake", "--build", "--preset", "release", "--target", *programs])
    for step in steps:
        done = subprocess.run(step, cwd=source, capture_output=True, text=True,
                              stdin=subprocess.DEVNULL)
        if done.returncode != 0:
            return f"build/release/{programs[0]} cannot be built here: " + done.stdout[-300:]
    return None


def missing_needs(text, source):
    """Why the block cannot run here, or None."""
    programs = programs_run(text)
    if programs:
        reason = build_programs(programs, source)
        if reason:
            return reason
    code = "\n".join(re.sub(r"(^|\s)#.*$", "", line) for line in text.splitlines())
    for command, package in EXTERNAL.items():
        if re.search(rf"(?<![\w./-]){re.escape(command)}(?![\w.-])", code) and not shutil.which(command):
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


def run_figure(figure, folder, source):
    """Measures one figure in folder; returns the failures, empty when it matched."""
    where = source if figure.after == THE_BUILD else folder / "repo"
    env = dict(os.environ, HOME=str(folder / "home")) if folder else dict(os.environ)
    script = f'measure() {{ "{sys.executable}" "{MEASURE}" "$@"; }}\n' + as_tested(
        figure.command, source)
    try:
        done = subprocess.run(["bash", "-e", "-c", script], cwd=where, env=env, text=True,
                              capture_output=True, stdin=subprocess.DEVNULL, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return [f"its measure had no end after {TIMEOUT} s"]
    if done.returncode == 77:
        return None
    if done.returncode != 0:
        return [f"its measure ended with status {done.returncode}: {done.stderr.strip()}"]
    if done.stdout.strip() != figure.text:
        return [f'the page says "{figure.text}", the result is "{done.stdout.strip()}"']
    return []


def run_block(block, folder, source, tracked):
    """Runs one tested block in folder; returns the failures, empty when it passed."""
    repo, home = folder / "repo", folder / "home"
    limit = BUILD_TIMEOUT if "cmake " in block.text else TIMEOUT
    before = snapshot(repo)
    env = dict(os.environ, HOME=str(home))
    with open(folder / f"stdout-{block.line}.txt", "w") as out, \
            open(folder / f"stderr-{block.line}.txt", "w") as err:
        try:
            status = subprocess.run(["bash", "-e", "-c", as_tested(block.text, source)],
                                    cwd=repo, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=err, start_new_session=True,
                                    timeout=limit).returncode
        except subprocess.TimeoutExpired:
            status = f"no end after {limit} s"
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


class Page:
    """A page's run: its blocks and figures, what ran and what failed."""

    def __init__(self, source, work, page):
        self.source, self.work, self.page = source, work, page
        lines = (source / page).read_text(encoding="utf-8").splitlines()
        self.blocks, self.figures = blocks_of(lines), figures_of(lines)
        self.tracked = tracked_files(source)
        self.counts = dict.fromkeys(("ran", "skipped", "not run", "failed", "matched"), 0)

    def fail(self, line, what):
        print(f"FAIL {self.page}:{line} {what}")
        self.counts["failed"] += 1

    def check_figures(self, after, folder):
        for figure in self.figures:
            if figure.after != after:
                continue
            if not figure.stated:
                self.fail(figure.line, f'"{figure.text}" is not in the paragraph above the marker')
                continue
            failures = run_figure(figure, folder, self.source)
            if failures is None:
                print(f"skipped  {self.page}:{figure.line} \"{figure.text}\": nothing to measure here")
                self.counts["skipped"] += 1
            for failure in failures or []:
                self.fail(figure.line, f'"{figure.text}": {failure}')
            if failures == []:
                print(f'matched  {self.page}:{figure.line} "{figure.text}"')
                self.counts["matched"] += 1

    def run_blocks(self):
        names = {b.name for b in self.blocks if b.name} | {THE_BUILD}
        for figure in self.figures:
            if not figure.well_formed:
                self.fail(figure.line, 'a figure marker not of the form <!-- figure "TEXT" after '
                          'NAME: COMMAND --> on a line of its own')
            elif figure.after not in names:
                self.fail(figure.line, f'"{figure.text}": no tested block named "{figure.after}"')
        folder, previous_skipped = None, False
        for number, block in enumerate(self.blocks, 1):
            folder, previous_skipped = self.run_one(number, block, folder, previous_skipped)

    def run_one(self, number, block, folder, previous_skipped):
        where = f"{self.page}:{block.line}"
        if not block.marked:
            self.fail(block.line, "a ```sh block without <!-- tested: NAME --> or "
                      "<!-- not run: WHY --> on the line before it")
            return folder, previous_skipped
        if block.why_not_run:
            print(f"not run  {where}: {block.why_not_run}")
            self.counts["not run"] += 1
            return folder, previous_skipped
        if block.continues and folder is None:
            self.fail(block.line, f"'{block.name}': continues no tested block")
            return folder, previous_skipped
        reason = "the block it continues was skipped" if (
            block.continues and previous_skipped) else missing_needs(block.text, self.source)
        if reason:
            print(f"skipped  {where} '{block.name}': {reason}")
            self.counts["skipped"] += 1
            return folder, True
        if not block.continues:
            folder = self.work / f"{number:02d}"
            prepare(folder, self.source, self.tracked)
        start = time.monotonic()
        failures = run_block(block, folder, self.source, set(self.tracked))
        for failure in failures:
            self.fail(block.line, f"'{block.name}' (in {folder / 'repo'}): {failure}")
        if not failures:
            self.counts["ran"] += 1
            print(f"ran      {where} '{block.name}' ({time.monotonic() - start:.1f} s)")
            self.check_figures(block.name, folder)
        return folder, False


def main():
    args = [a for a in sys.argv[1:] if a != "--figures-only"]
    if len(args) != 3:
        sys.exit("usage: run_blocks.py SOURCE_DIR WORK_DIR PAGE [--figures-only]")
    source, work = (Path(a).resolve() for a in args[:2])
    shutil.rmtree(work, ignore_errors=True)
    page = Page(source, work, args[2])
    if "--figures-only" not in sys.argv:
        page.run_blocks()
    page.check_figures(THE_BUILD, None)
    c = page.counts
    print(f"{args[2]}: {c['ran']} ran, {c['matched']} figures matched, {c['skipped']} skipped, "
          f"{c['not run']} not run, {c['failed']} failed")
    if c["failed"]:
        return 1
    return 77 if c["skipped"] and not (c["ran"] or c["matched"]) else 0


if __name__ == "__main__":
    sys.exit(main())
