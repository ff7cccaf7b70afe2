"""Draws the README's picture with QGIS's own map renderer, headless: the sample cleaned by
torvanelle:clean, in its colours, and the lines torvanelle:vectorise traces from it on top.

    render_picture.py PLUGIN_PARENT PROGRAMS MAKE_GEOTIFF WORK OUTPUT.png

Run by the CMake target qgis_picture, which builds what it needs."""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import headless  # noqa: E402

# A detail of the sample, in its pixels (column, row, columns, rows), drawn 8 times larger: each
# cleaned pixel a square, each line through the centres of its pixels.
DETAIL = (250, 30, 150, 100)
SCALE = 8


def layers(programs, make_geotiff, work):
    """The cleaned sample and its lines, made by the plugin's algorithms."""
    import processing
    from qgis.core import QgsRasterLayer, QgsVectorLayer
    headless.set_programs_folder(programs)
    source = os.path.join(work, "sample.tif")
    subprocess.run([make_geotiff, source], check=True)
    cleaned = processing.run("torvanelle:clean", {
        "INPUT": source, "OUTPUT": os.path.join(work, "cleaned.tif")})["OUTPUT"]
    lines = processing.run("torvanelle:vectorise", {
        "INPUT": cleaned, "SIMPLIFY": 0.5, "OUTPUT": os.path.join(work, "lines.gpkg")})["OUTPUT"]
    return QgsRasterLayer(cleaned, "cleaned"), QgsVectorLayer(lines, "lines", "ogr")


def style_lines(lines):
    """Thin dark lines, so that the cleaned pixels' colours show beside them."""
    from qgis.core import QgsLineSymbol, QgsSingleSymbolRenderer
    symbol = QgsLineSymbol.createSimple({"line_color": "20,20,20,230", "line_width": "2",
                                         "line_width_unit": "Pixel"})
    lines.setRenderer(QgsSingleSymbolRenderer(symbol))


def detail(raster):
    """The map extent of DETAIL in `raster`."""
    from qgis.core import QgsRectangle
    whole = raster.extent()
    x = whole.width() / raster.width()
    y = whole.height() / raster.height()
    column, row, columns, rows = DETAIL
    return QgsRectangle(whole.xMinimum() + column * x, whole.yMaximum() - (row + rows) * y,
                        whole.xMinimum() + (column + columns) * x, whole.yMaximum() - row * y)


def render(map_layers, extent, crs, output):
    from qgis.core import QgsMapRendererSequentialJob, QgsMapSettings
    from qgis.PyQt.QtCore import QSize
    from qgis.PyQt.QtGui import QColor
    settings = QgsMapSettings()
    settings.setLayers(map_layers)  # the first on top
    settings.setDestinationCrs(crs)
    settings.setExtent(extent)
    settings.setOutputSize(QSize(DETAIL[2] * SCALE, DETAIL[3] * SCALE))
    settings.setBackgroundColor(QColor("white"))
    job = QgsMapRendererSequentialJob(settings)
    job.start()
    job.waitForFinished()
    if job.errors():
        raise RuntimeError("; ".join(error.message for error in job.errors()))
    if not job.renderedImage().save(output, "PNG"):
        raise RuntimeError("cannot write " + output)


def draw(programs, make_geotiff, work, output):
    cleaned, lines = layers(programs, make_geotiff, work)
    for layer in (cleaned, lines):
        if not layer.isValid():
            raise RuntimeError("QGIS cannot open " + layer.source())
    style_lines(lines)
    render([lines, cleaned], detail(cleaned), cleaned.crs(), output)


def main(plugin_parent, programs, make_geotiff, work, output):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    application, plugin = headless.start(plugin_parent, os.path.join(work, "profile"))
    draw(programs, make_geotiff, work, output)  # its layers are gone before QGIS ends
    plugin.unload()
    application.exitQgis()
    print(output)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
