"""Running one of Torvanelle's command-line tools for an algorithm: its progress read from its
output (GDAL's terminal progress, on either stream), Cancel turned into SIGTERM, a failure into
the tool's own one-line message from its standard error.

Nothing here imports QGIS: the feedback is anything with isCanceled(), setProgress(percent),
pushConsoleInfo(text) and pushInfo(text), as QgsProcessingFeedback has.
"""

import queue
import re
import subprocess
import threading

# A step of GDAL's terminal progress ("0...10...20"), or the end of a run or of one of its
# stages ("100 - done.", or "- done" alone after a stage that says nothing on the way).
_STEP = re.compile(r"(\d+)\.\.\.|(?:(\d+) )?- done")


class ProgressReader:
    """Turns what a tool prints on one stream, fed in pieces as they come, into a fraction of
    the whole run. The tool works in `stages` stages, each printing its own 0...100; a stage
    ends with "- done"."""

    def __init__(self, stages=1):
        self.stages = stages
        self.text = ""
        self._read = 0  # how much of text the steps were looked for in
        self._done = 0  # stages ended
        self._percent = 0  # of the stage under way

    def feed(self, piece):
        """Adds a piece of the stream; the fraction done, 0 to 1, after it."""
        self.text += piece
        for step in _STEP.finditer(self.text, self._read):
            if step.group(1) is not None:
                self._percent = int(step.group(1))
            else:
                self._done += 1
                self._percent = 0
            # A step cut in two by the pipe is not matched yet: it is read whole next time.
            self._read = step.end()
        return self.fraction()

    def fraction(self):
        whole = (self._done + min(self._percent, 100) / 100) / self.stages
        return min(whole, 1.0)

    def message(self, program):
        """The tool's own message: the last line saying "program: ...", progress taken out;
        else the last line it printed."""
        lines = [_STEP.sub("", line).strip() for line in self.text.splitlines()]
        lines = [line for line in lines if line]
        prefix = program + ": "
        for line in reversed(lines):
            at = line.rfind(prefix)
            if at >= 0:
                return line[at:]
        return lines[-1] if lines else ""


class ToolFailed(Exception):
    """The tool ended with a non-zero status; the exception's text is the tool's message."""


class ToolCancelled(Exception):
    """The run was cancelled and the tool stopped by SIGTERM."""


def _pump(stream, name, out):
    """Puts what `stream` gives on `out`, piece by piece, as (name, text); (name, None) at its
    end."""
    while True:
        piece = stream.read1(4096) if hasattr(stream, "read1") else stream.read(4096)
        if not piece:
            break
        out.put((name, piece.decode("utf-8", "replace")))
    stream.close()
    out.put((name, None))


def run_tool(arguments, feedback, stages=1, poll=0.1):
    """Runs the program arguments[0] with the rest as its arguments; returns when it ended well.
    Raises ToolFailed with the tool's message when its status is not 0, ToolCancelled when the
    feedback was cancelled and the tool stopped (sent SIGTERM, it removes what it began)."""
    program = arguments[0].replace("\\", "/").rsplit("/", 1)[-1]
    feedback.pushConsoleInfo(" ".join(_quoted(a) for a in arguments))
    process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    pieces = queue.Queue()
    for stream, name in ((process.stdout, "out"), (process.stderr, "err")):
        threading.Thread(target=_pump, args=(stream, name, pieces), daemon=True).start()
    streams = {"out": ProgressReader(stages), "err": ProgressReader(stages)}
    cancelled = False
    streams_open = len(streams)
    while streams_open:
        done = max(reader.fraction() for reader in streams.values()) >= 1
        # Once the tool says it is done, its results are in place: stopping it would gain
        # nothing, so a late Cancel lets it end.
        if feedback.isCanceled() and not cancelled and not done:
            process.terminate()
            cancelled = True
        try:
            name, piece = pieces.get(timeout=poll)
        except queue.Empty:
            continue
        if piece is None:
            streams_open -= 1
            continue
        streams[name].feed(piece)
        feedback.setProgress(100 * max(reader.fraction() for reader in streams.values()))
    status = process.wait()
    for reader in streams.values():
        if reader.text.strip():
            feedback.pushConsoleInfo(reader.text.rstrip("\n"))
    if cancelled and status != 0:
        raise ToolCancelled(program + " was stopped; it wrote nothing")
    if feedback.isCanceled():  # it ended before the signal came or took effect
        feedback.pushInfo(program + " had finished before it could be stopped")
    if status != 0:
        message = streams["err"].message(program) or streams["out"].message(program)
        raise ToolFailed(message or program + " ended with status " + str(status))


def _quoted(word):
    return word if re.fullmatch(r"[\w@%+=:,./-]+", word) else "'" + word.replace("'", "'\\''") + "'"
