"""Torvanelle's QGIS plugin: a Processing provider that runs Torvanelle's command-line tools."""


def classFactory(iface):
    from .plugin import TorvanellePlugin
    return TorvanellePlugin()
