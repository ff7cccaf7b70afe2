"""The plugin: it adds the Torvanelle provider to Processing, in QGIS and in qgis_process."""

from qgis.core import QgsApplication

from .provider import TorvanelleProvider


class TorvanellePlugin:

    def __init__(self):
        self.provider = None

    def initProcessing(self):
        if self.provider is not None:  # qgis_process calls it, the desktop initGui
            return
        self.provider = TorvanelleProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
