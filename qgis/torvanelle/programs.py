"""Where the plugin finds torvanelle-engine: in the folder the user set, else where the Debian
package or the Windows zip puts it, else on PATH; and how it starts it (through a wrapper such as
Wine, when one is set). Nothing here imports QGIS."""

import os
import shlex
import shutil
from pathlib import Path

ENGINE = "torvanelle-engine"

# Where to get the programs, for the message that says they are missing.
WHERE_TO_GET = ("on Debian, install the torvanelle package; on Windows, unpack Torvanelle's "
                "Windows zip into C:\\Program Files\\Torvanelle (or any folder, then set it "
                "here)")

# The plugin's folder, and the programs' folder of the same installation: the package puts the
# plugin in PREFIX/share/qgis/python/plugins/torvanelle and the programs in PREFIX/bin.
PLUGIN_FOLDER = Path(__file__).resolve().parent
_INSTALLED_BELOW = ("share", "qgis", "python", "plugins", "torvanelle")


def installed_folder(plugin_folder=PLUGIN_FOLDER):
    """PREFIX/bin when the plugin sits where the package installs it, else None."""
    parts = plugin_folder.parts
    if tuple(parts[-len(_INSTALLED_BELOW):]) != _INSTALLED_BELOW:
        return None
    return Path(*parts[:-len(_INSTALLED_BELOW)]) / "bin"


def windows_folders(environment=None):
    """The folders the Windows guide unpacks the zip into, on Windows only."""
    environment = os.environ if environment is None else environment
    return [Path(environment[key]) / below / "Torvanelle"
            for key, below in (("ProgramFiles", ""), ("LOCALAPPDATA", "Programs"))
            if environment.get(key)]


def _runnable(path):
    return path.is_file() and os.access(str(path), os.X_OK)


def _in_folder(folder, name):
    """The program in `folder`, as NAME or NAME.exe (a Windows program run through Wine)."""
    for candidate in (Path(folder) / name, Path(folder) / (name + ".exe")):
        if _runnable(candidate):
            return str(candidate)
    return None


def find_program(name, folder=None, plugin_folder=PLUGIN_FOLDER, search_path=None,
                 windows=None):
    """The program `name` as a path, or None: in `folder` alone when one is given; otherwise
    beside the plugin (where the package installs it, then the plugin's own folder), in the
    Windows folders (on Windows), then on `search_path` (default: PATH)."""
    if folder:
        return _in_folder(folder, name)
    if windows is None:
        windows = windows_folders() if os.name == "nt" else []
    for beside in [installed_folder(plugin_folder), plugin_folder] + windows:
        found = beside is not None and _in_folder(beside, name)
        if found:
            return found
    return shutil.which(name, path=search_path)


def command_for(program, wrapper=""):
    """The words that start `program`: the wrapper's (split as a POSIX shell would, on Windows
    as its command line would), then the program; None without a program."""
    if program is None:
        return None
    return shlex.split(wrapper, posix=os.name != "nt") + [program] if wrapper else [program]
