"""Where the plugin finds Torvanelle's programs: the folder the user set, else beside the plugin
where the package installs both, else on PATH."""

import os
import shutil
from pathlib import Path

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


def _runnable(path):
    return path.is_file() and os.access(str(path), os.X_OK)


def find_program(name, folder=None, plugin_folder=PLUGIN_FOLDER, search_path=None):
    """The program `name` as a path, or None: in `folder` alone when one is given; otherwise
    beside the plugin (where the package installs it, then the plugin's own folder), then on
    `search_path` (default: PATH)."""
    executable = name + ".exe" if os.name == "nt" else name
    if folder:
        candidate = Path(folder) / executable
        return str(candidate) if _runnable(candidate) else None
    for beside in (installed_folder(plugin_folder), plugin_folder):
        if beside is not None and _runnable(beside / executable):
            return str(beside / executable)
    return shutil.which(name, path=search_path)
