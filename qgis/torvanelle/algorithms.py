"""The provider's algorithms. Each runs one of Torvanelle's command-line tools: a subclass names
the program, declares its parameters and turns their values into the tool's arguments; running
it, its progress, Cancel and its errors are the same for all (ToolAlgorithm)."""

import re

from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingParameterBoolean, QgsProcessingParameterFileDestination,
                       QgsProcessingParameterNumber, QgsProcessingParameterRasterDestination,
                       QgsProcessingParameterRasterLayer, QgsProcessingParameterVectorDestination,
                       QgsVectorFileWriter)
from qgis.PyQt.QtCore import QCoreApplication

from .levels import BASE_RANGE, INTERVAL_RANGE
from .programs import find_program
from .toolrun import ToolCancelled, ToolFailed, run_tool


def tr(text):
    return QCoreApplication.translate("Torvanelle", text)


_INPUT_HELP = ("<b>Contour raster</b>: a raster of one 8-bit band of contour numbers: 0 to "
               "254 the number of the contour line through the pixel, 255 (or the band's nodata "
               "value) none. Any raster GDAL reads; its georeference and CRS are kept.")


def number(value):
    """A number as the tools read it: whole numbers without a decimal point, so that an option
    of whole pixels takes them too."""
    return str(int(value)) if value == int(value) else repr(value)


class ToolAlgorithm(QgsProcessingAlgorithm):
    """An algorithm that runs `PROGRAM`, whose progress comes in `STAGES` stages of 0...100."""

    PROGRAM = ""
    STAGES = 1
    INPUT = "INPUT"
    OUTPUT = "OUTPUT"

    def createInstance(self):
        return type(self)()

    def program(self):
        """The program's path as the provider finds it now."""
        provider = self.provider()
        path = provider.program(self.PROGRAM) if provider is not None else find_program(
            self.PROGRAM)
        if path is None:
            raise QgsProcessingException(
                tr("{} not found: set the folder of Torvanelle's programs in Settings > Options "
                   "> Processing > Providers > Torvanelle").format(self.PROGRAM))
        return path

    def source(self, parameters, context):
        """The path GDAL opens the input raster layer by."""
        layer = self.parameterAsRasterLayer(parameters, self.INPUT, context)
        if layer is None:
            raise QgsProcessingException(self.invalidRasterError(parameters, self.INPUT))
        if layer.providerType() != "gdal":
            raise QgsProcessingException(
                tr("{} reads rasters through GDAL; '{}' is a {} layer").format(
                    self.PROGRAM, layer.name(), layer.providerType()))
        return layer.source()

    def command(self, parameters, context):
        """The tool's arguments after its path, and the results of the run once it succeeds."""
        raise NotImplementedError

    def processAlgorithm(self, parameters, context, feedback):
        arguments, results = self.command(parameters, context)
        try:
            run_tool([self.program()] + arguments, feedback, self.STAGES)
        except (ToolFailed, ToolCancelled) as error:
            raise QgsProcessingException(str(error))
        feedback.setProgress(100)
        return results


class CleanAlgorithm(ToolAlgorithm):
    PROGRAM = "torvanelle-geo"
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
            "one-pixel spurs. Runs <i>torvanelle-geo clean</i>.<br><br>" + _INPUT_HELP +
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

    def command(self, parameters, context):
        output = self.parameterAsOutputLayer(parameters, self.OUTPUT, context)
        report = self.parameterAsFileOutput(parameters, self.REPORT, context)
        words = ["clean", self.source(parameters, context), output, "--overwrite"]
        if not self.parameterAsBoolean(parameters, self.DEBURR, context):
            words.append("--no-deburring")
        if report:
            words += ["--report", report]
        return words, {self.OUTPUT: output, self.REPORT: report or None}


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

    def elevation_words(self, parameters, context):
        if not any(self.elevation_given(parameters)):
            return []
        return ["--base", number(self.parameterAsDouble(parameters, self.BASE, context)),
                "--interval", number(self.parameterAsDouble(parameters, self.INTERVAL, context))]

    def checkParameterValues(self, parameters, context):
        given = self.elevation_given(parameters)
        if given[0] != given[1]:
            return False, tr("Give both the elevation of number 0 and the interval, or neither")
        if given[1] and not self.parameterAsDouble(parameters, self.INTERVAL, context) > 0:
            return False, tr("The contour interval must be above zero")
        return super().checkParameterValues(parameters, context)


_CONTAINERS = ("GPKG", "SQLite")
_OGR_DESTINATION = re.compile(r"^ogr:dbname='(?P<path>(?:[^']|'')*)' table=\"(?P<layer>[^\"]+)\"")


class VectoriseAlgorithm(ElevationParameters, ToolAlgorithm):
    PROGRAM = "torvanelle-vect"
    MIN_BRANCH = "MIN_BRANCH"
    SIMPLIFY = "SIMPLIFY"
    BRIDGE = "BRIDGE"
    MIN_LENGTH = "MIN_LENGTH"

    def name(self):
        return "vectorise"

    def displayName(self):
        return tr("Contour raster to lines")

    def shortHelpString(self):
        return tr(
            "Traces the contour lines of a contour-number raster: one line feature per piece of "
            "line, through the pixel centres. Runs <i>torvanelle-vect</i>.<br><br>" +
            _INPUT_HELP +
            "<br><b>Elevation of contour number 0</b> and <b>Contour interval</b> (optional, "
            "both or neither): also write the field <i>elevation</i> = base + number x "
            "interval.<br><b>Shortest branch</b>: at a junction, branches shorter than this many "
            "pixels are pruned.<br><b>Simplification tolerance</b>: Douglas-Peucker tolerance "
            "in pixels; 0 keeps every pixel centre as a vertex.<br><b>Bridge gaps up to</b>: "
            "join two free ends of the same number at most this many pixels apart that face "
            "each other; 0 joins nothing.<br><b>Shortest line</b>: lines shorter than this many "
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
        self.addParameter(QgsProcessingParameterNumber(
            self.MIN_LENGTH, tr("Shortest line (pixels)"), QgsProcessingParameterNumber.Double, 2,
            minValue=0))
        self.addParameter(QgsProcessingParameterVectorDestination(
            self.OUTPUT, tr("Contour lines"), QgsProcessing.TypeVectorLine))

    def command(self, parameters, context):
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
        words = [self.source(parameters, context), path, "--format", driver, "--overwrite"]
        if layer:
            words += ["--layer", layer]
        words += self.elevation_words(parameters, context)
        words += ["--min-branch", str(self.parameterAsInt(parameters, self.MIN_BRANCH, context))]
        simplify = self.parameterAsDouble(parameters, self.SIMPLIFY, context)
        if simplify > 0:
            words += ["--simplify", number(simplify)]
        # The newer options are passed only when they differ from the tool's defaults.
        bridge = self.parameterAsDouble(parameters, self.BRIDGE, context)
        if bridge > 0:
            words += ["--bridge", number(bridge)]
        min_length = self.parameterAsDouble(parameters, self.MIN_LENGTH, context)
        if min_length != 2:
            words += ["--min-length", number(min_length)]
        return words, {self.OUTPUT: path + ("|layername=" + layer if layer else "")}


class DemAlgorithm(ElevationParameters, ToolAlgorithm):
    PROGRAM = "torvanelle-dem"

    def name(self):
        return "dem"

    def displayName(self):
        return tr("Contour raster to elevation model")

    def shortHelpString(self):
        return tr(
            "Interpolates an elevation model between the contour lines of a contour-number "
            "raster. Runs <i>torvanelle-dem</i>.<br><br>" + _INPUT_HELP +
            "<br><b>Elevation of contour number 0</b> and <b>Contour interval</b> (optional, "
            "both or neither): turn contour numbers into elevations.<br><b>Elevation "
            "model</b>: the GeoTIFF written, on the input's grid, place and CRS.")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterRasterLayer(self.INPUT, tr("Contour raster")))
        self.add_elevation_parameters(optional=True)
        self.addParameter(QgsProcessingParameterRasterDestination(
            self.OUTPUT, tr("Elevation model")))

    def command(self, parameters, context):
        output = self.parameterAsOutputLayer(parameters, self.OUTPUT, context)
        words = [self.source(parameters, context), output, "--overwrite"]
        return words + self.elevation_words(parameters, context), {self.OUTPUT: output}


# What the provider offers: each algorithm whose program it finds. A program that not every
# installation has is optional: its absence is no warning.
ALGORITHMS = (CleanAlgorithm, VectoriseAlgorithm)
OPTIONAL_ALGORITHMS = (DemAlgorithm,)
