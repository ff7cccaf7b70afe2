"""The Processing provider `torvanelle`: its algorithms, and the setting that says where
Torvanelle's programs are (Settings > Options > Processing > Providers > Torvanelle)."""

import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithms import ALGORITHMS, OPTIONAL_ALGORITHMS, tr
from .programs import PLUGIN_FOLDER, find_program

# The setting's key: QgsSettings' "Processing/Configuration/TORVANELLE_FOLDER".
FOLDER_SETTING = "TORVANELLE_FOLDER"


class TorvanelleProvider(QgsProcessingProvider):

    def __init__(self):
        super().__init__()
        self.missing = []  # the programs that loadAlgorithms did not find

    def id(self):
        return "torvanelle"

    def name(self):
        return "Torvanelle"

    def longName(self):
        if self.missing:
            return tr("Torvanelle: {}").format(self.warningMessage())
        found = self.program(ALGORITHMS[0].PROGRAM)
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
        return tr("{} {}: install the torvanelle package, or set the programs' folder in "
                  "Settings > Options > Processing > Providers > Torvanelle").format(
                      " and ".join(self.missing), where)

    def load(self):
        from processing.core.ProcessingConfig import ProcessingConfig, Setting
        ProcessingConfig.settingIcons[self.name()] = self.icon()
        ProcessingConfig.addSetting(Setting(
            self.name(), FOLDER_SETTING,
            tr("Folder of torvanelle-geo and torvanelle-vect (empty: beside the plugin, then "
               "PATH)"), "", valuetype=Setting.FOLDER))
        ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        from processing.core.ProcessingConfig import ProcessingConfig
        ProcessingConfig.removeSetting(FOLDER_SETTING)

    def folder(self):
        """The programs' folder the user set, or "" for the default search."""
        from processing.core.ProcessingConfig import ProcessingConfig
        return ProcessingConfig.getSetting(FOLDER_SETTING) or ""

    def program(self, name):
        """The path of the program `name`, or None when it is not found."""
        return find_program(name, self.folder())

    def loadAlgorithms(self):
        self.missing = []
        for algorithm in ALGORITHMS + OPTIONAL_ALGORITHMS:
            if self.program(algorithm.PROGRAM):
                self.addAlgorithm(algorithm())
            elif algorithm in ALGORITHMS and algorithm.PROGRAM not in self.missing:
                self.missing.append(algorithm.PROGRAM)

    # The cleaned rasters are GeoTIFFs; the lines go to any format QGIS writes.
    def supportedOutputRasterLayerExtensions(self):
        return ["tif"]

    def defaultRasterFileExtension(self):
        return "tif"

    def defaultVectorFileExtension(self, hasGeometry=True):
        return "gpkg"
