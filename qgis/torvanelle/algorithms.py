"""The provider's algorithms. Each reads the user's raster through QGIS's GDAL, has
torvanelle-engine compute on it, and writes the result as the command-line tools write theirs;
a subclass names the engine's command, declares its parameters, turns their values into the
command's options and writes its outputs. Running, progress, Cancel, errors and the outputs'
safety are the same for all (EngineAlgorithm)."""

import os
import re
import tempfile

from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingParameterBoolean, QgsProcessingParameterEnum,
                       QgsProcessingParameterFileDestination,
                       QgsProcessingParameterNumber, QgsProcessingParameterRasterDestination,
                       QgsProcessingParameterRasterLayer, QgsProcessingParameterVectorDestination,
                       QgsVectorFileWriter)
from qgis.PyQt.QtCore import QCoreApplication

from . import layers
from .forms import FormError
from .levels import BASE_RANGE, INTERVAL_RANGE
from .outputs import OutputError, Outputs
from .programs import ENGINE, command_for, find_program
from .toolrun import ToolCancelled, ToolFailed, run_tool


def tr(text):
    return QCoreApplication.translate("Torvanelle", text)


_INPUT_HELP = ("<b>Contour raster</b>: a raster of one 8-bit band of contour numbers: 0 to "
               "254 the number of the contour line through the pixel, 255 (or the band's nodata "
               "value) none. Any raster GDAL reads; its georeference and CRS are kept.")

# What the user can set right that stops a run; anything else is a fault of the plugin's.
_REFUSALS = (layers.LayerError, OutputError, FormError, ToolFailed, ToolCancelled, RuntimeError,
             OSError)


def number(value):
    """A number as the tools read it: whole numbers without a decimal point, so that an option
    of whole pixels takes them too."""
    return str(int(value)) if value == int(value) else repr(value)


class EngineAlgorithm(QgsProcessingAlgorithm):
    """An algorithm that runs torvanelle-engine's command `COMMAND` on its input raster."""

    COMMAND = ""
    INPUT = "INPUT"
    OUTPUT = "OUTPUT"

    def createInstance(self):
        return type(self)()

    def program(self):
        """The command line that starts the engine, as the provider finds it now."""
        provider = self.provider()
        words = provider.engine_command() if provider is not None else command_for(
            find_program(ENGINE))
        if words is None:
            raise QgsProcessingException(provider.warningMessage() if provider is not None
                                         else tr("{} not found").format(ENGINE))
        return words

    def open_source(self, parameters, context):
        """The input raster layer, opened by QGIS's GDAL."""
        layer = self.parameterAsRasterLayer(parameters, self.INPUT, context)
        if layer is None:
            raise QgsProcessingException(self.invalidRasterError(parameters, self.INPUT))
        if layer.providerType() != "gdal":
            raise QgsProcessingException(
                tr("Torvanelle reads rasters through GDAL; '{}' is a {} layer").format(
                    layer.name(), layer.providerType()))
        return layers.ContourSource(layer.source())

    def plan(self, parameters, context, source, outputs, scratch):
        """The command's options after its two files, and a function that writes the outputs
        from the engine's result file and returns the algorithm's results."""
        raise NotImplementedError

    def processAlgorithm(self, parameters, context, feedback):
        outputs = None
        try:
            source = self.open_source(parameters, context)
            outputs = Outputs(source.files())
            with tempfile.TemporaryDirectory(prefix="torvanelle-") as scratch:
                given, result = os.path.join(scratch, "source.tvr"), os.path.join(scratch, "result")
                options, write = self.plan(parameters, context, source, outputs, scratch)
                source.write_form(given, feedback.pushWarning)
                run_tool(self.program() + [self.COMMAND, given, result] + options, feedback)
                if feedback.isCanceled():
                    raise ToolCancelled(tr("Cancelled: nothing was written"))
                results = write(result)
                outputs.commit()
        except _REFUSALS as error:
            raise QgsProcessingException(str(error))
        finally:
            if outputs is not None:
                outputs.discard()
        feedback.setProgress(100)
        return results


class CleanAlgorithm(EngineAlgorithm):
    COMMAND = "clean"
    DEBURR = "DEBURR"
    REPORT = "REPORT"

    def name(self):
        return "clean"

    def displayName(self):
        return tr("Clean contour raster")

    def shortHelpString(self):
        return tr(
            "Thins every contour line of a contour-number raster to a line one pixel wide, "
            "keeping touching lines of different numbers apart, and optionally removes "
            "one-pixel spurs: what <i>torvanelle-geo clean</i> gives. Runs <i>torvanelle-engine</i>.<br><br>" + _INPUT_HELP +
            "<br><b>Remove spurs</b>: also remove the spurs (burrs) one pixel long that thinning "
            "leaves on a line.<br><b>Cleaned raster</b>: the GeoTIFF written, on the same grid, "
            "place and CRS as the input: the thinned contour numbers, nodata 255, one colour per "
            "number in its colour table.<br><b>Thinning report</b> (optional): the text file of "
            "the thinning's report: the number of contour lines, and for each the modifications "
            "the thinning made.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterRasterLayer(self.INPUT, tr("Contour raster")))
        self.addParameter(QgsProcessingParameterBoolean(self.DEBURR, tr("Remove spurs"), True))
        self.addParameter(QgsProcessingParameterRasterDestination(
            self.OUTPUT, tr("Cleaned raster")))
        self.addParameter(QgsProcessingParameterFileDestination(
            self.REPORT, tr("Thinning report"), tr("Text files (*.txt)"), optional=True,
            createByDefault=False))

    def plan(self, parameters, context, source, outputs, scratch):
        output = self.parameterAsOutputLayer(parameters, self.OUTPUT, context)
        report = self.parameterAsFileOutput(parameters, self.REPORT, context)
        outputs.check(output)
        options = [] if self.parameterAsBoolean(parameters, self.DEBURR, context) else [
            "--no-deburring"]
        if report:
            options += ["--report", outputs.stage(report)]

        def write(result):
            layers.write_cleaned(source, result, outputs.stage(output))
            return {self.OUTPUT: output, self.REPORT: report or None}
        return options, write


class ElevationParameters:
    """BASE and INTERVAL, which go together: the elevation of contour number 0 and the step
    between two numbers, both or neither, the interval above zero; within the tools' ranges."""

    BASE = "BASE"
    INTERVAL = "INTERVAL"

    def add_elevation_parameters(self, optional):
        for name, label, (low, high) in (
                (self.BASE, tr("Elevation of contour number 0"), BASE_RANGE),
                (self.INTERVAL, tr("Contour interval"), INTERVAL_RANGE)):
            self.addParameter(QgsProcessingParameterNumber(
                name, label, QgsProcessingParameterNumber.Double, optional=optional,
                minValue=low, maxValue=high))

    def elevation_given(self, parameters):
        """Whether BASE and INTERVAL are given, each."""
        return [parameters.get(name) is not None for name in (self.BASE, self.INTERVAL)]

    def levels(self, parameters, context):
        """(base, interval) as given, or None."""
        if not any(self.elevation_given(parameters)):
            return None
        return (self.parameterAsDouble(parameters, self.BASE, context),
                self.parameterAsDouble(parameters, self.INTERVAL, context))

    def checkParameterValues(self, parameters, context):
        given = self.elevation_given(parameters)
        if given[0] != given[1]:
            return False, tr("Give both the elevation of number 0 and the interval, or neither")
        if given[1] and not self.parameterAsDouble(parameters, self.INTERVAL, context) > 0:
            return False, tr("The contour interval must be above zero")
        return super().checkParameterValues(parameters, context)


_CONTAINERS = ("GPKG", "SQLite")
_OGR_DESTINATION = re.compile(r"^ogr:dbname='(?P<path>(?:[^']|'')*)' table=\"(?P<layer>[^\"]+)\"")


class VectoriseAlgorithm(ElevationParameters, EngineAlgorithm):
    COMMAND = "vect"
    MIN_BRANCH = "MIN_BRANCH"
    SIMPLIFY = "SIMPLIFY"
    BRIDGE = "BRIDGE"
    BRIDGE_WAY = "BRIDGE_WAY"
    MIN_LENGTH = "MIN_LENGTH"
    # The bridges' ways as the dialogue offers them, the first the default, with the engine's
    # options for each.
    WAYS = (("Along the ground (the contour of an elevation model)", []),
            ("Straight, between ends that face each other", ["--straight-bridges"]))

    def name(self):
        return "vectorise"

    def displayName(self):
        return tr("Contour raster to lines")

    def shortHelpString(self):
        return tr(
            "Traces the contour lines of a contour-number raster: one line feature per piece of "
            "line, through the pixel centres: what <i>torvanelle-vect</i> gives. Runs <i>torvanelle-engine</i>.<br><br>" +
            _INPUT_HELP +
            "<br><b>Elevation of contour number 0</b> and <b>Contour interval</b> (optional, "
            "both or neither): also write the field <i>elevation</i> = base + number x "
            "interval.<br><b>Shortest branch</b>: at a junction, branches shorter than this many "
            "pixels are pruned.<br><b>Simplification tolerance</b>: Douglas-Peucker tolerance "
            "in pixels; 0 keeps every pixel centre as a vertex.<br><b>Bridge gaps up to</b>: "
            "join two free ends of the same number at most this many pixels apart; 0 joins "
            "nothing.<br><b>Bridges</b>: along the ground, a gap is closed where the contour of "
            "its number runs on an elevation model of the raster around it, when that contour "
            "joins the two ends within the distance; straight, by a segment between two ends "
            "that face each other (faster, but it cuts across where the line bends).<br>"
            "<b>Shortest line</b>: lines shorter than this many "
            "pixels are left out.<br><b>Contour lines</b>: the line layer written, in the "
            "input's CRS, with the fields <i>number</i> (the contour number), <i>elevation</i> "
            "(when asked for) and <i>bridged</i> (the joins made in the line).")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterRasterLayer(self.INPUT, tr("Contour raster")))
        self.add_elevation_parameters(optional=True)
        self.addParameter(QgsProcessingParameterNumber(
            self.MIN_BRANCH, tr("Shortest branch (pixels)"), QgsProcessingParameterNumber.Integer,
            3, minValue=0))
        self.addParameter(QgsProcessingParameterNumber(
            self.SIMPLIFY, tr("Simplification tolerance (pixels)"),
            QgsProcessingParameterNumber.Double, 0, minValue=0))
        self.addParameter(QgsProcessingParameterNumber(
            self.BRIDGE, tr("Bridge gaps up to (pixels)"), QgsProcessingParameterNumber.Double, 0,
            minValue=0))
        self.addParameter(QgsProcessingParameterEnum(
            self.BRIDGE_WAY, tr("Bridges"), [tr(label) for label, _ in self.WAYS],
            defaultValue=0))
        self.addParameter(QgsProcessingParameterNumber(
            self.MIN_LENGTH, tr("Shortest line (pixels)"), QgsProcessingParameterNumber.Double, 2,
            minValue=0))
        self.addParameter(QgsProcessingParameterVectorDestination(
            self.OUTPUT, tr("Contour lines"), QgsProcessing.TypeVectorLine))

    def destination(self, parameters, context):
        """(path, OGR driver, layer name or None) of the output."""
        destination = self.parameterAsOutputLayer(parameters, self.OUTPUT, context)
        path, layer = destination, None
        chosen = _OGR_DESTINATION.match(destination)
        if chosen:  # a new layer in a GeoPackage, as "Save to GeoPackage" gives it
            path, layer = chosen.group("path").replace("''", "'"), chosen.group("layer")
        extension = path.rsplit(".", 1)[-1] if "." in path else ""
        driver = QgsVectorFileWriter.driverForExtension(extension)
        if not driver:
            raise QgsProcessingException(
                tr("No vector format writes .{} files").format(extension))
        if layer is None and driver in _CONTAINERS:
            # An existing file of many layers keeps its others: the result names the one written.
            layer = "contours"
        return path, driver, layer

    def plan(self, parameters, context, source, outputs, scratch):
        path, driver, layer = self.destination(parameters, context)
        outputs.check(path)
        bridge = self.parameterAsDouble(parameters, self.BRIDGE, context)
        # Every option, whatever its value: the engine's defaults are not the dialogue's.
        options = [
            "--min-branch", str(self.parameterAsInt(parameters, self.MIN_BRANCH, context)),
            "--simplify", number(self.parameterAsDouble(parameters, self.SIMPLIFY, context)),
            "--bridge", number(bridge),
            "--min-length", number(self.parameterAsDouble(parameters, self.MIN_LENGTH, context))]
        options += self.WAYS[self.parameterAsEnum(parameters, self.BRIDGE_WAY, context)][1]
        levels = self.levels(parameters, context)

        def write(result):
            staged = outputs.stage(path, keep_layers=driver in _CONTAINERS)
            layers.write_lines(source, result, staged, driver, layer, levels, bridge > 0)
            return {self.OUTPUT: path + ("|layername=" + layer if layer else "")}
        return options, write


class DemAlgorithm(ElevationParameters, EngineAlgorithm):
    COMMAND = "dem"

    def name(self):
        return "dem"

    def displayName(self):
        return tr("Contour raster to elevation model")

    def shortHelpString(self):
        return tr(
            "Interpolates an elevation model between the contour lines of a contour-number "
            "raster: what <i>torvanelle-dem</i> gives. Runs <i>torvanelle-engine</i>.<br><br>" + _INPUT_HELP +
            "<br><b>Elevation of contour number 0</b> and <b>Contour interval</b> (optional, "
            "both or neither; neither: the raster's metadata items BASE and INTERVAL): turn contour numbers into elevations.<br><b>Elevation "
            "model</b>: the GeoTIFF written, on the input's grid, place and CRS.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterRasterLayer(self.INPUT, tr("Contour raster")))
        self.add_elevation_parameters(optional=True)
        self.addParameter(QgsProcessingParameterRasterDestination(
            self.OUTPUT, tr("Elevation model")))

    def plan(self, parameters, context, source, outputs, scratch):
        output = self.parameterAsOutputLayer(parameters, self.OUTPUT, context)
        outputs.check(output)
        given = self.levels(parameters, context) or (None, None)
        base, interval = source.levels(*given, (BASE_RANGE, INTERVAL_RANGE))

        def write(result):
            layers.write_model(source, result, outputs.stage(output))
            return {self.OUTPUT: output}
        return ["--base", number(base), "--interval", number(interval)], write


# What the provider offers when it finds the engine.
ALGORITHMS = (CleanAlgorithm, VectoriseAlgorithm, DemAlgorithm)
