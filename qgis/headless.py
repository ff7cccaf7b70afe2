"""QGIS without a screen, with Processing and the Torvanelle plugin loaded as QGIS loads them, for
the plugin's tests and the README's picture. Settings go to a profile folder of the caller's."""

import os
import sys

QGIS_PLUGINS = "/usr/share/qgis/python/plugins"  # Debian's system plugins, Processing among them


def start(plugin_parent, profile):
    """Starts QGIS (offscreen) with its settings under `profile`, then Processing, then the
    plugin `torvanelle` found in `plugin_parent`; returns (application, plugin)."""
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    os.makedirs(profile, exist_ok=True)
    # QgsSettings write under XDG_CONFIG_HOME for an application started this way: the user's
    # own QGIS settings stay untouched.
    os.environ["XDG_CONFIG_HOME"] = os.path.join(profile, "config")
    os.environ["XDG_RUNTIME_DIR"] = os.path.join(profile, "runtime")
    os.makedirs(os.environ["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    from qgis.core import QgsApplication
    from qgis.PyQt.QtCore import QCoreApplication
    QCoreApplication.setOrganizationName("TorvanelleHeadless")
    QCoreApplication.setApplicationName("QGIS3")
    QgsApplication.setPrefixPath("/usr", True)
    application = QgsApplication([], False, os.path.join(profile, "qgis"))
    application.initQgis()
    for folder in (QGIS_PLUGINS, plugin_parent):
        if folder not in sys.path:
            sys.path.insert(0, folder)
    from processing.core.Processing import Processing
    Processing.initialize()
    import torvanelle
    plugin = torvanelle.classFactory(None)
    plugin.initProcessing()
    return application, plugin


def set_programs_folder(folder):
    """Sets the provider's folder of the programs ("" for the default search) and reloads the
    provider's algorithms, as the options dialog does."""
    from processing.core.ProcessingConfig import ProcessingConfig
    from qgis.core import QgsApplication
    from torvanelle.provider import FOLDER_SETTING
    ProcessingConfig.setSettingValue(FOLDER_SETTING, folder)
    QgsApplication.processingRegistry().providerById("torvanelle").refreshAlgorithms()
