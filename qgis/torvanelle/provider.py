"""The Processing provider `torvanelle`: its algorithms, and the settings that say where
Torvanelle's programs are and what starts them (Settings > Options > Processing > Providers >
Torvanelle)."""

import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithms import ALGORITHMS, tr
from .programs import ENGINE, PLUGIN_FOLDER, WHERE_TO_GET, command_for, find_program

# The setting's key: QgsSettings' "Processing/Configuration/TORVANELLE_FOLDER".
FOLDER_SETTING = "TORVANELLE_FOLDER"
# A command that starts the programs (for example wine, for the Windows programs on Linux); its
# default is the environment variable of the same name.
WRAPPER_SETTING = "TORVANELLE_WRAPPER"


class TorvanelleProvider(QgsProcessingProvider):

    def __init__(self):
        super().__init__()
        self.missing = False  # whether loadAlgorithms did not find the engine

    def id(self):
        return "torvanelle"

    def name(self):
        return "Torvanelle"

    def longName(self):
        if self.missing:
            return tr("Torvanelle: {}").format(self.warningMessage())
        found = self.program(ENGINE)
        return tr("Torvanelle contour rasters") + (" (" + os.path.dirname(found) + ")"
                                                   if found else "")

    def icon(self):
        return QIcon(str(PLUGIN_FOLDER / "icon.svg"))

    def svgIconPath(self):
        return str(PLUGIN_FOLDER / "icon.svg")

    def warningMessage(self):
        if not self.missing:
            return ""
        folder = self.folder()
        where = (tr("not in {}").format(folder) if folder else
                 tr("neither beside the plugin nor on PATH"))
        return tr("{} {}: {}; or set the programs' folder in Settings > Options > Processing > "
                  "Providers > Torvanelle").format(ENGINE, where, WHERE_TO_GET)

    def load(self):
        from processing.core.ProcessingConfig import ProcessingConfig, Setting
        ProcessingConfig.settingIcons[self.name()] = self.icon()
        ProcessingConfig.addSetting(Setting(
            self.name(), FOLDER_SETTING,
            tr("Folder of torvanelle-engine (empty: beside the plugin, then where the Windows "
               "zip is unpacked, then PATH)"), "", valuetype=Setting.FOLDER))
        ProcessingConfig.addSetting(Setting(
            self.name(), WRAPPER_SETTING,
            tr("Start the programs through (a command, for example wine; empty: directly)"),
            os.environ.get(WRAPPER_SETTING, "")))
        ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        from processing.core.ProcessingConfig import ProcessingConfig
        ProcessingConfig.removeSetting(FOLDER_SETTING)
        ProcessingConfig.removeSetting(WRAPPER_SETTING)

    def folder(self):
        """The programs' folder the user set, or "" for the default search."""
        from processing.core.ProcessingConfig import ProcessingConfig
        return ProcessingConfig.getSetting(FOLDER_SETTING) or ""

    def program(self, name):
        """The path of the program `name`, or None when it is not found."""
        return find_program(name, self.folder())

    def engine_command(self):
        """The words that start torvanelle-engine, or None when it is not found."""
        from processing.core.ProcessingConfig import ProcessingConfig
        wrapper = ProcessingConfig.getSetting(WRAPPER_SETTING) or ""
        return command_for(self.program(ENGINE), wrapper)

    def loadAlgorithms(self):
        self.missing = self.program(ENGINE) is None
        if not self.missing:
            for algorithm in ALGORITHMS:
                self.addAlgorithm(algorithm())

    # The cleaned rasters are GeoTIFFs; the lines go to any format QGIS writes.
    def supportedOutputRasterLayerExtensions(self):
        return ["tif"]

    def defaultRasterFileExtension(self):
        return "tif"

    def defaultVectorFileExtension(self, hasGeometry=True):
        return "gpkg"
