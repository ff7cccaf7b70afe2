"""An algorithm's outputs, whole or not at all: each is written into a folder of its own beside
where it goes, then moved into place with the others once all are written; none may be one of
the sources' files; a container (GeoPackage, SQLite) is written as a copy of the user's file, so
its other layers stay, and replaces it only if nobody changed it meanwhile. Nothing here imports
QGIS or GDAL."""

import os
import shutil
import tempfile


class OutputError(Exception):
    """An output that cannot be written; the text names it and says why."""


def _same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return os.path.normcase(os.path.realpath(a)) == os.path.normcase(os.path.realpath(b))


def _stamp(path):
    try:
        status = os.stat(path)
    except OSError:
        return None
    return status.st_size, status.st_mtime_ns


class Outputs:

    def __init__(self, sources):
        self.sources = list(sources)
        self.staged = []  # (destination, folder, stamp of the file it copies or None)

    def check(self, path):
        """Refuses `path` when it is one of the sources' files, under any name."""
        for source in self.sources:
            if _same_file(path, source):
                raise OutputError("cannot write %s: it is the source %s" % (path, source))

    def stage(self, path, keep_layers=False):
        """The path to write `path`'s content at: a fresh folder's file beside `path`, a copy of
        the existing file when `keep_layers`."""
        self.check(path)
        folder = tempfile.mkdtemp(prefix=".torvanelle-", dir=os.path.dirname(path) or ".")
        staged = os.path.join(folder, os.path.basename(path))
        stamp = None
        if keep_layers and os.path.isfile(path):
            stamp = _stamp(path)
            shutil.copyfile(path, staged)
        self.staged.append((path, folder, stamp))
        return staged

    def commit(self):
        """Moves every staged file into place; refuses, moving nothing, when a file to replace
        is a source or a container changed since it was copied."""
        moves = []
        for destination, folder, stamp in self.staged:
            if stamp is not None and _stamp(destination) != stamp:
                raise OutputError("cannot write %s: it changed while the algorithm ran"
                                  % destination)
            for name in os.listdir(folder):
                target = os.path.join(os.path.dirname(destination), name)
                self.check(target)
                moves.append((os.path.join(folder, name), target))
        for staged, target in moves:
            os.replace(staged, target)
        self.discard()

    def discard(self):
        """Removes what was staged and not moved."""
        for _, folder, _ in self.staged:
            shutil.rmtree(folder, ignore_errors=True)
        self.staged = []
