"""The QGIS plugin's tests, headless: the provider and its settings, the three algorithms against
the command-line tools whose results they give, Cancel, failures, and qgis_process with the
plugin's zip.

Run by CTest (label qgis), one group per test: test_plugin.py -v ProviderTest. The environment
names the built plugin's parent folder (TORVANELLE_PLUGIN_DIR), its zip, the folder of the built
programs (TORVANELLE_PROGRAMS), make_geotiff (TORVANELLE_MAKE_GEOTIFF) and a scratch folder
(TORVANELLE_WORK); the algorithms' engine may come from elsewhere (TORVANELLE_ENGINE_FOLDER),
started through a wrapper (TORVANELLE_WRAPPER). A program this build lacks skips the tests
that need it."""

import os
import shutil
import stat
import subprocess
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import headless  # noqa: E402

PLUGIN_DIR = os.environ["TORVANELLE_PLUGIN_DIR"]
PROGRAMS = os.environ["TORVANELLE_PROGRAMS"]
WORK = os.environ["TORVANELLE_WORK"]
MAKE_GEOTIFF = os.environ.get("TORVANELLE_MAKE_GEOTIFF", "")
# The engine the algorithms run: the build's own, or a Windows build's, started through the
# wrapper that TORVANELLE_WRAPPER names (Wine), with the command-line tools still this build's.
ENGINE_FOLDER = os.environ.get("TORVANELLE_ENGINE_FOLDER", PROGRAMS)

shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
APPLICATION, PLUGIN = headless.start(PLUGIN_DIR, os.path.join(WORK, "profile"))

import processing  # noqa: E402
from osgeo import gdal, ogr  # noqa: E402
from qgis.core import (QgsApplication, QgsProcessingException, QgsProcessingFeedback,  # noqa: E402
                       QgsRasterLayer, QgsVectorLayer)
from torvanelle.algorithms import number  # noqa: E402
from torvanelle.levels import BASE_RANGE, INTERVAL_RANGE  # noqa: E402
from torvanelle.programs import command_for, find_program, windows_folders  # noqa: E402
from torvanelle.toolrun import ProgressReader  # noqa: E402

gdal.UseExceptions()


def program(name):
    path = os.path.join(PROGRAMS, name)
    return path if os.access(path, os.X_OK) else None


def needs(*requirements):
    """Skips a test when this build lacks a program it needs, or torvanelle-geo its clean."""
    missing = [name for name in requirements if name != "clean" and not (
        MAKE_GEOTIFF if name == "make_geotiff" else program(name))]
    if "clean" in requirements:
        geo = program("torvanelle-geo")
        if not geo or subprocess.run([geo, "clean", "--help"], capture_output=True).returncode:
            missing.append("torvanelle-geo clean")
    return unittest.skipIf(missing, "this build has no " + " and no ".join(missing))


def scratch(*parts):
    path = os.path.join(WORK, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path


def make_geotiff(name, *size):
    path = scratch("sources", name)
    if not os.path.exists(path):
        subprocess.run([MAKE_GEOTIFF, path] + [str(n) for n in size], check=True)
    return path


def sixteen_bit_source():
    path = scratch("sources", "sixteen_bits.tif")
    if not os.path.exists(path):
        gdal.Translate(path, make_geotiff("sample.tif"), outputType=gdal.GDT_UInt16)
    return path


def tool(*arguments):
    """Runs a built program; its completed process (text)."""
    return subprocess.run([program(arguments[0])] + list(arguments[1:]), capture_output=True,
                          text=True)


def raster(path):
    """What a raster holds: pixels, georeference, CRS, nodata, colour count."""
    dataset = gdal.Open(path)
    band = dataset.GetRasterBand(1)
    table = band.GetColorTable()
    return {"pixels": band.ReadRaster(), "transform": dataset.GetGeoTransform(),
            "crs": dataset.GetProjection(), "nodata": band.GetNoDataValue(),
            "colours": table.GetCount() if table else 0, "metadata": dataset.GetMetadata(),
            "colour_5": table.GetColorEntry(5) if table else None}


def features(path, layer_name=None):
    """A vector file's features as sorted (fields..., WKT) rows, and its CRS."""
    dataset = ogr.Open(path)
    layer = dataset.GetLayerByName(layer_name) if layer_name else dataset.GetLayer(0)
    rows = sorted(tuple(feature.items().values()) + (feature.GetGeometryRef().ExportToWkt(),)
                  for feature in layer)
    return rows, layer.GetSpatialRef().ExportToWkt()


def stub_program(folder, name, script):
    """A shell script standing for a program: it writes its arguments to name.args beside it,
    then runs `script`."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name)
    with open(path, "w") as out:
        out.write('#!/bin/sh\nprintf "%s\\n" "$@" > "$0.args"\n' + script + "\n")
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


class ProviderTest(unittest.TestCase):
    """The provider, its algorithms and parameters, and where it finds the programs."""

    def tearDown(self):
        headless.set_programs_folder(PROGRAMS)

    def provider(self):
        return QgsApplication.processingRegistry().providerById("torvanelle")

    def test_lists_the_algorithms_with_their_parameters(self):
        headless.set_programs_folder(PROGRAMS)
        expected = {
            "torvanelle:clean": ["INPUT", "DEBURR", "OUTPUT", "REPORT"],
            "torvanelle:vectorise": ["INPUT", "BASE", "INTERVAL", "MIN_BRANCH", "SIMPLIFY",
                                     "BRIDGE", "BRIDGE_WAY", "MIN_LENGTH", "OUTPUT"],
            "torvanelle:dem": ["INPUT", "BASE", "INTERVAL", "OUTPUT"],
        }
        for id_, names in expected.items():
            algorithm = QgsApplication.processingRegistry().algorithmById(id_)
            self.assertIsNotNone(algorithm, id_)
            parameters = algorithm.parameterDefinitions()
            self.assertEqual([p.name() for p in parameters], names)
            help_text = algorithm.shortHelpString()
            for parameter in parameters:  # the help explains every parameter
                self.assertIn("<b>" + parameter.description().replace(" (pixels)", ""),
                              help_text)
        clean = QgsApplication.processingRegistry().algorithmById("torvanelle:clean")
        self.assertIs(clean.parameterDefinition("DEBURR").defaultValue(), True)
        self.assertEqual(clean.parameterDefinition("OUTPUT").defaultFileExtension(), "tif")

    def test_a_folder_without_the_engine_lists_nothing_and_says_where_to_get_it(self):
        empty = scratch("no_programs", "")
        headless.set_programs_folder(empty)
        self.assertEqual(self.provider().algorithms(), [])
        for said in (self.provider().warningMessage(), self.provider().longName()):
            for words in ("torvanelle-engine", empty, "the torvanelle package", "Windows zip",
                          "Settings > Options > Processing > Providers > Torvanelle"):
                self.assertIn(words, said)

    def test_the_engine_is_found_in_its_folders_in_order(self):
        from pathlib import Path
        prefix = scratch("prefix", "")
        plugin = Path(prefix, "share/qgis/python/plugins/torvanelle")
        plugin.mkdir(parents=True, exist_ok=True)
        on_path = stub_program(scratch("on_path", ""), "torvanelle-engine", "exit 0")
        unpacked = stub_program(scratch("Programs", "Torvanelle", ""), "torvanelle-engine.exe",
                                "exit 0")
        windows = windows_folders({"ProgramFiles": scratch("none", ""),
                                   "LOCALAPPDATA": scratch("", "")})
        self.assertEqual(windows[1], Path(unpacked).parent)

        def found(folder=""):
            return find_program("torvanelle-engine", folder, plugin, os.path.dirname(on_path),
                                windows)
        self.assertEqual(found(), unpacked)  # the Windows zip's folder before PATH
        installed = stub_program(os.path.join(prefix, "bin"), "torvanelle-engine", "exit 0")
        self.assertEqual(found(), installed)  # beside the installed plugin first
        self.assertEqual(found(os.path.dirname(unpacked)), unpacked)  # NAME.exe in a folder set
        self.assertIsNone(found(scratch("none", "")))
        self.assertEqual(command_for(installed, "'/opt/my wine/wine-run.sh' prefix"),
                         ["/opt/my wine/wine-run.sh", "prefix", installed])

    def test_progress_is_read_across_pieces_and_stages(self):
        gdal_style = ProgressReader()
        seen = [gdal_style.feed(piece) for piece in ("0...1", "0...20.", "..30...", "90...10",
                                                     "0 - done.\n")]
        self.assertEqual(seen, [0.0, 0.1, 0.3, 0.9, 1.0])
        stages = ProgressReader(4)
        stages.feed("torvanelle-vect: reading 600 x 400 pixels 0...50...100 - done (0.1 s).\n"
                    "torvanelle-vect: thinning - done (1.7 s).\ntorvanelle-vect: tracing ")
        self.assertEqual(stages.fraction(), 0.5)
        stages.feed("- done (0.4 s).\ntorvanelle-vect: writing 8 lines 0...10...20...")
        self.assertEqual(stages.fraction(), 0.8)
        stages.feed("torvanelle-vect: cannot write 'out.gpkg': disk full\n")
        self.assertEqual(stages.message("torvanelle-vect"),
                         "torvanelle-vect: cannot write 'out.gpkg': disk full")

    @needs("make_geotiff")
    def test_every_option_reaches_the_engine_at_its_edges(self):
        engine = stub_program(scratch("stubs", ""), "torvanelle-engine", "exit 0")
        headless.set_programs_folder(os.path.dirname(engine))
        source = make_geotiff("sample.tif")
        lines = {"OUTPUT": scratch("stubbed", "lines.shp")}
        low, high = BASE_RANGE[0], INTERVAL_RANGE[1]
        cases = [  # algorithm, parameters, the engine's command and options
            ("clean", {"DEBURR": True}, ["clean"]),
            ("clean", {"DEBURR": False}, ["clean", "--no-deburring"]),
            ("vectorise", {}, ["vect", "--min-branch", "3", "--simplify", "0", "--bridge", "0",
                               "--min-length", "2"]),
            ("vectorise", {"MIN_BRANCH": 0, "SIMPLIFY": 0, "BRIDGE": 0, "MIN_LENGTH": 0},
             ["vect", "--min-branch", "0", "--simplify", "0", "--bridge", "0", "--min-length",
              "0"]),
            ("vectorise", {"MIN_LENGTH": 1, "BRIDGE": 30, "SIMPLIFY": 0.5, "MIN_BRANCH": 1},
             ["vect", "--min-branch", "1", "--simplify", "0.5", "--bridge", "30",
              "--min-length", "1"]),
            ("vectorise", {"BRIDGE": 30, "BRIDGE_WAY": 1},
             ["vect", "--min-branch", "3", "--simplify", "0", "--bridge", "30", "--min-length",
              "2", "--straight-bridges"]),
            ("dem", {"BASE": low, "INTERVAL": high},
             ["dem", "--base", number(low), "--interval", number(high)]),
            ("dem", {"BASE": 0, "INTERVAL": 0.25}, ["dem", "--base", "0", "--interval", "0.25"]),
        ]
        for algorithm, parameters, expected in cases:
            output = lines if algorithm == "vectorise" else {
                "OUTPUT": scratch("stubbed", algorithm + ".tif")}
            with self.assertRaises(QgsProcessingException):  # the stub writes no result
                processing.run("torvanelle:" + algorithm,
                               dict(parameters, INPUT=source, **output))
            with open(engine + ".args") as args:
                words = args.read().split("\n")[:-1]
            self.assertEqual(words[:1] + words[3:], expected, parameters)
            self.assertTrue(words[1].endswith("source.tvr") and words[2].endswith("result"))
        for interval in (0, -10):  # refused before the program runs
            with self.assertRaises(QgsProcessingException):
                processing.run("torvanelle:vectorise", {
                    "INPUT": source, "BASE": 100, "INTERVAL": interval,
                    "OUTPUT": scratch("stubbed", "refused.shp")})
        self.assertEqual(os.listdir(scratch("stubbed", "")), [])


class AlgorithmsTest(unittest.TestCase):
    """The algorithms give what their command-line tools give; a refusal says what the tool
    says. Run with this build's engine, and again with a Windows build's under Wine."""

    def setUp(self):
        headless.set_programs_folder(ENGINE_FOLDER)

    @needs("clean", "make_geotiff")
    def test_clean_gives_what_the_tool_gives(self):
        source = make_geotiff("sample.tif")
        for deburr, extra in ((True, []), (False, ["--no-deburring"])):
            expected = scratch("clean", "tool_%s.tif" % deburr)
            expected_report = scratch("clean", "tool_%s.txt" % deburr)
            ran = tool("torvanelle-geo", "clean", source, expected, "--report", expected_report,
                       "--overwrite", *extra)
            self.assertEqual(ran.returncode, 0, ran.stderr)
            output, report = scratch("clean", "qgis_%s.tif" % deburr), scratch(
                "clean", "qgis_%s.txt" % deburr)
            results = processing.run("torvanelle:clean", {
                "INPUT": source, "DEBURR": deburr, "OUTPUT": output, "REPORT": report})
            self.assertEqual(results, {"OUTPUT": output, "REPORT": report})
            self.assertEqual(raster(output), raster(expected))
            with open(report) as got, open(expected_report) as wanted:
                self.assertEqual(got.read(), wanted.read())
        self.assertNotEqual(raster(scratch("clean", "qgis_True.tif"))["pixels"],
                            raster(scratch("clean", "qgis_False.tif"))["pixels"])
        self.assertEqual(raster(output)["crs"], raster(source)["crs"])
        layer = QgsRasterLayer(output, "cleaned")  # as Processing loads it: its colours
        self.assertTrue(layer.isValid())
        self.assertEqual(layer.renderer().type(), "paletted")
        self.assertEqual(layer.crs().authid(), "EPSG:32631")

    @needs("torvanelle-vect", "make_geotiff")
    def test_vectorise_gives_what_the_tool_gives(self):
        source = make_geotiff("sample.tif")
        expected = scratch("vect", "tool.gpkg")
        ran = tool("torvanelle-vect", source, expected, "--base", "100", "--interval", "10",
                   "--min-branch", "5", "--simplify", "1.5", "--bridge", "30", "--min-length",
                   "5", "--overwrite")
        self.assertEqual(ran.returncode, 0, ran.stderr)
        wanted = features(expected)
        self.assertGreater(len(wanted[0]), 10)
        for output, layer_name, result in (
                (scratch("vect", "qgis.gpkg"), "contours",
                 scratch("vect", "qgis.gpkg") + "|layername=contours"),
                (scratch("vect", "qgis.shp"), None, scratch("vect", "qgis.shp")),
                ("ogr:dbname='%s' table=\"lines\" (geom)" % scratch("vect", "chosen.gpkg"),
                 "lines", scratch("vect", "chosen.gpkg") + "|layername=lines")):
            results = processing.run("torvanelle:vectorise", {
                "INPUT": source, "BASE": 100, "INTERVAL": 10, "MIN_BRANCH": 5, "SIMPLIFY": 1.5,
                "BRIDGE": 30, "MIN_LENGTH": 5, "OUTPUT": output})
            self.assertEqual(results["OUTPUT"], result)
            self.assertEqual(features(result.split("|")[0], layer_name), wanted)
            layer = QgsVectorLayer(result, "lines", "ogr")  # as Processing loads it
            self.assertTrue(layer.isValid())
            self.assertEqual(layer.featureCount(), len(wanted[0]))
            self.assertLessEqual({"number", "elevation", "bridged"}, set(layer.fields().names()))

    @needs("torvanelle-vect", "make_geotiff")
    def test_vectorise_into_a_geopackage_keeps_its_other_layers(self):
        source = make_geotiff("sample.tif")
        for name, output, layer_name in (
                ("named.gpkg", "ogr:dbname='%s' table=\"lines\" (geom)", "lines"),
                ("plain.gpkg", "%s", "contours")):
            path = scratch("container", name)
            theirs = ogr.GetDriverByName("GPKG").CreateDataSource(path)
            roads = theirs.CreateLayer("roads", geom_type=ogr.wkbLineString)
            road = ogr.Feature(roads.GetLayerDefn())
            road.SetGeometry(ogr.CreateGeometryFromWkt("LINESTRING (0 0,1 1)"))
            roads.CreateFeature(road)
            theirs = roads = road = None
            for _ in range(2):  # the second run replaces its own layer only
                results = processing.run("torvanelle:vectorise",
                                         {"INPUT": source, "OUTPUT": output % path})
                self.assertEqual(results["OUTPUT"], path + "|layername=" + layer_name)
            dataset = ogr.Open(path)
            self.assertEqual(sorted(dataset.GetLayer(i).GetName()
                                    for i in range(dataset.GetLayerCount())),
                             sorted(["roads", layer_name]), name)
            self.assertEqual(dataset.GetLayerByName("roads").GetFeatureCount(), 1)
            self.assertGreater(dataset.GetLayerByName(layer_name).GetFeatureCount(), 10)

    @needs("torvanelle-dem", "make_geotiff")
    def test_dem_gives_what_the_tool_gives(self):
        source = make_geotiff("sample.tif")
        expected, output = scratch("dem", "tool.tif"), scratch("dem", "qgis.tif")
        ran = tool("torvanelle-dem", source, expected, "--base", "100", "--interval", "10",
                   "--overwrite")
        self.assertEqual(ran.returncode, 0, ran.stderr)
        results = processing.run("torvanelle:dem", {
            "INPUT": source, "BASE": 100, "INTERVAL": 10, "OUTPUT": output})
        self.assertEqual(results["OUTPUT"], output)
        got, wanted = raster(output), raster(expected)
        for key in ("pixels", "transform", "crs"):
            self.assertEqual(got[key], wanted[key], key)

    @needs("torvanelle-engine", "make_geotiff")
    def test_no_output_over_a_source_under_any_name(self):
        folder = scratch("over_source", "")
        member = os.path.join(folder, "member.tif")
        shutil.copyfile(make_geotiff("sample.tif"), member)
        mosaic = os.path.join(folder, "mosaic.vrt")
        gdal.BuildVRT(mosaic, [member])
        sheets = os.path.join(folder, "sheets.gpkg")
        gdal.Translate(sheets, member, format="GPKG")
        linked = os.path.join(folder, "linked.tif")
        os.link(member, linked)
        with open(member, "rb") as before:
            kept = before.read()
        for algorithm, source, output in (
                ("clean", member, member),     # the source itself
                ("clean", mosaic, member),     # a VRT's member
                ("dem", member, linked),       # a hard link to it
                ("clean", QgsRasterLayer("/vsizip/" + self.zipped(member), "zipped", "gdal"),
                 folder + "/sheet.zip"),
                ("vectorise", sheets, "ogr:dbname='%s' table=\"lines\" (geom)" % sheets),
                ("vectorise", sheets, folder + "/./sheets.gpkg")):
            with self.assertRaises(QgsProcessingException) as refused:
                processing.run("torvanelle:" + algorithm, {
                    "INPUT": source, "BASE": 0, "INTERVAL": 10, "OUTPUT": output})
            self.assertIn("is the source", str(refused.exception), (algorithm, source, output))
        with open(member, "rb") as after:
            self.assertEqual(after.read(), kept)
        self.assertEqual(sorted(os.listdir(folder)),
                         ["linked.tif", "member.tif", "mosaic.vrt", "sheet.zip", "sheets.gpkg"])

    @staticmethod
    def zipped(member):
        archive = os.path.join(os.path.dirname(member), "sheet.zip")
        with zipfile.ZipFile(archive, "w") as out:
            out.write(member, "member.tif")
        return archive + "/member.tif"

    def assert_refused_as_the_tool_says(self, algorithm, output, *tool_words):
        source = sixteen_bit_source()
        ran = tool(*tool_words, source, output)
        self.assertEqual(ran.returncode, 1)
        with self.assertRaises(QgsProcessingException) as refused:
            processing.run(algorithm, {"INPUT": source, "OUTPUT": output})
        said = ran.stderr.strip().splitlines()[-1]  # "program: message"
        self.assertEqual(str(refused.exception), said.split(": ", 1)[1])
        self.assertIn(source, str(refused.exception))
        self.assertEqual(os.listdir(os.path.dirname(output)), [])

    @needs("clean", "make_geotiff")
    def test_clean_refuses_sixteen_bits_with_the_tools_message(self):
        self.assert_refused_as_the_tool_says("torvanelle:clean", scratch("refused", "a.tif"),
                                             "torvanelle-geo", "clean")

    @needs("torvanelle-vect", "make_geotiff")
    def test_vectorise_refuses_sixteen_bits_with_the_tools_message(self):
        self.assert_refused_as_the_tool_says("torvanelle:vectorise", scratch("refused", "a.gpkg"),
                                             "torvanelle-vect")


class CancelTest(unittest.TestCase):
    """Cancel stops the tool in mid-run; nothing is left of its output."""

    def setUp(self):
        headless.set_programs_folder(PROGRAMS)

    def cancel_at(self, algorithm, percent, output):
        """Runs the algorithm on a raster large enough to report its progress, cancelling once
        the progress reaches `percent`; what the progress went through."""
        source = make_geotiff("large.tif", 2600, 4000)
        feedback = QgsProcessingFeedback()
        seen = []

        def progressed(value):
            seen.append(value)
            if value >= percent:
                feedback.cancel()

        feedback.progressChanged.connect(progressed)
        with self.assertRaises(QgsProcessingException) as cancelled:
            processing.run(algorithm, {"INPUT": source, "OUTPUT": output}, feedback=feedback)
        self.assertIn("was stopped; it wrote nothing", str(cancelled.exception))
        self.assertEqual(os.listdir(os.path.dirname(output)), [])
        return seen

    @needs("torvanelle-vect", "make_geotiff")
    def test_cancelled_vectorising_leaves_nothing(self):
        seen = self.cancel_at("torvanelle:vectorise", 25, scratch("cancel_vect", "lines.gpkg"))
        self.assertLess(max(seen), 100)

    @needs("make_geotiff")
    def test_cancelled_cleaning_leaves_nothing(self):
        # The real engine cleans this raster in a fraction of a second, sooner than a loaded
        # machine may deliver its 10%; one that has read the raster and is still at work is
        # what a Cancel meets on a real sheet.
        folder = scratch("slow_engine", "")
        stub_program(folder, "torvanelle-engine", "printf '0...10...'; exec sleep 60")
        headless.set_programs_folder(folder)
        seen = self.cancel_at("torvanelle:clean", 10, scratch("cancel_clean", "cleaned.tif"))
        self.assertLess(max(seen), 100)

    @needs("make_geotiff")
    def test_cancel_once_the_engine_is_done_writes_nothing(self):
        folder = scratch("finishing", "")
        stub_program(folder, "torvanelle-engine",
                     "echo '0...50...100 - done.'; sleep 1; printf 'TVLINES 1 0\\n' > \"$3\"")
        headless.set_programs_folder(folder)
        feedback = QgsProcessingFeedback()
        feedback.progressChanged.connect(lambda value: value == 100 and feedback.cancel())
        output = scratch("finishing", "out", "lines.gpkg")
        with self.assertRaises(QgsProcessingException) as cancelled:
            processing.run("torvanelle:vectorise", {"INPUT": make_geotiff("sample.tif"),
                                                    "OUTPUT": output}, feedback=feedback)
        self.assertIn("nothing was written", str(cancelled.exception))
        self.assertEqual(os.listdir(os.path.dirname(output)), [])


def qgis_environment(environment):
    """`environment` for QGIS's own programs: their embedded Python is the system's, which
    another Python's PYTHONHOME or PYTHONPATH would break (a pyenv or virtual environment that
    started the tests)."""
    return {key: value for key, value in environment.items()
            if key not in ("PYTHONHOME", "PYTHONPATH", "VIRTUAL_ENV")}


def qgis_process():
    """The qgis_process to run, or None. Debian's /usr/bin/qgis_process is a script that passes
    QGIS_OPTS from /etc/default/qgis (--noversioncheck, meant for the desktop application) to
    qgis_process.bin, which refuses it: the binary is run directly."""
    found = shutil.which("qgis_process")
    if found and os.access(found + ".bin", os.X_OK):
        return found + ".bin"
    return found


@unittest.skipIf(qgis_process() is None, "no qgis_process")
class QgisProcessTest(unittest.TestCase):
    """qgis_process from a shell, with the plugin installed from its zip into a fresh profile."""

    @classmethod
    def setUpClass(cls):
        cls.home = scratch("qgis_process_home", "")
        plugins = os.path.join(cls.home, ".local/share/QGIS/QGIS3/profiles/default/python/plugins")
        os.makedirs(plugins)
        with zipfile.ZipFile(os.environ["TORVANELLE_PLUGIN_ZIP"]) as archive:
            archive.extractall(plugins)
        # The programs on PATH, where the plugin looks when no folder is set.
        cls.environment = dict(os.environ, HOME=cls.home, XDG_CONFIG_HOME=cls.home + "/.config",
                               XDG_DATA_HOME=cls.home + "/.local/share",
                               PATH=PROGRAMS + os.pathsep + os.environ["PATH"])
        enabled = cls.run_qgis_process("plugins", "enable", "torvanelle")
        assert enabled.returncode == 0, enabled.stdout + enabled.stderr

    @classmethod
    def run_qgis_process(cls, *words, environment=None):
        return subprocess.run([qgis_process()] + list(words), capture_output=True, text=True,
                              env=qgis_environment(environment or cls.environment), cwd=cls.home)

    def test_runs_whatever_python_the_caller_had(self):
        fake = stub_program(scratch("fake_python", ""), "python3", "exit 1")
        polluted = dict(self.environment, PYTHONHOME=os.path.dirname(fake), PYTHONPATH=fake,
                        PATH=os.path.dirname(fake) + os.pathsep + self.environment["PATH"])
        listed = self.run_qgis_process("list", environment=polluted)
        self.assertIn("torvanelle:clean", listed.stdout, listed.stderr)

    def test_the_zip_is_what_the_plugin_repository_takes(self):
        with zipfile.ZipFile(os.environ["TORVANELLE_PLUGIN_ZIP"]) as archive:
            names = archive.namelist()
            metadata = archive.read("torvanelle/metadata.txt").decode()
        self.assertTrue(all(name.startswith("torvanelle/") for name in names))
        self.assertIn("torvanelle/LICENSE", names)
        self.assertFalse([n for n in names if n.endswith((".exe", ".dll", ".so", ".pyc"))])
        self.assertLess(os.path.getsize(os.environ["TORVANELLE_PLUGIN_ZIP"]), 25 << 20)
        fields = dict(line.split("=", 1) for line in metadata.splitlines() if "=" in line)
        for key in ("name", "qgisMinimumVersion", "description", "about", "version", "author",
                    "email", "homepage", "tracker", "repository", "license"):
            self.assertTrue(fields.get(key), key)
        for program in ("torvanelle-engine", "Windows zip", "torvanelle package"):
            self.assertIn(program, fields["about"])

    def test_lists_the_algorithms(self):
        listed = self.run_qgis_process("list")
        self.assertIn("torvanelle:clean", listed.stdout)
        self.assertIn("torvanelle:vectorise", listed.stdout)
        self.assertIn("torvanelle:dem", listed.stdout)

    def run_as_the_tool(self, algorithm, output, tool_words, levels=()):
        """qgis_process runs the algorithm on the sample: the same output as the tool's."""
        source = make_geotiff("sample.tif")
        given = ["%s=%s" % pair for pair in zip(("BASE", "INTERVAL"), levels)]
        ran = self.run_qgis_process("run", algorithm, "--", "INPUT=" + source, "OUTPUT=" + output,
                                    *given)
        self.assertEqual(ran.returncode, 0, ran.stdout + ran.stderr)
        expected = scratch("qgis_process", "tool_" + os.path.basename(output))
        words = [w for pair in zip(("--base", "--interval"), levels) for w in pair]
        self.assertEqual(tool(*tool_words, source, expected, *words).returncode, 0)
        read = raster if output.endswith(".tif") else features
        got, wanted = read(output), read(expected)
        if levels:  # NaN, the model's nodata, equals nothing
            got.pop("nodata"), wanted.pop("nodata")
        self.assertEqual(got, wanted)

    @needs("clean", "make_geotiff")
    def test_runs_clean(self):
        self.run_as_the_tool("torvanelle:clean", scratch("qgis_process", "cleaned.tif"),
                             ["torvanelle-geo", "clean"])

    @needs("torvanelle-vect", "make_geotiff")
    def test_runs_vectorise(self):
        self.run_as_the_tool("torvanelle:vectorise", scratch("qgis_process", "lines.gpkg"),
                             ["torvanelle-vect"])

    @needs("torvanelle-dem", "make_geotiff")
    def test_runs_dem(self):
        self.run_as_the_tool("torvanelle:dem", scratch("qgis_process", "model.tif"),
                             ["torvanelle-dem"], ("100", "10"))


if __name__ == "__main__":
    unittest.main()
