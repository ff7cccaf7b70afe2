"""The user's layers read and written through the GDAL and OGR that QGIS carries, as the
command-line tools read and write them: the same checks on the source, the same GeoTIFFs and
line layers (georeference, CRS, nodata, colours, metadata items, fields). The computing is
torvanelle-engine's, on the files of forms.py."""

import math
import os

from osgeo import gdal, ogr, osr

from . import forms
from .palette import colour

gdal.UseExceptions()
ogr.UseExceptions()

# The metadata items the tools write and read; the names are fixed, files in the field carry them.
LOWEST_ALTITUDE, HIGHEST_ALTITUDE = "LOWEST_ALTITUDE", "HIGHEST_ALTITUDE"
ELEVATION_MIN, ELEVATION_MAX = "ELEVATION_MIN", "ELEVATION_MAX"
BASE, INTERVAL = "BASE", "INTERVAL"

_GEOTIFF = ["TILED=YES", "COMPRESS=DEFLATE", "BIGTIFF=IF_SAFER", "NUM_THREADS=ALL_CPUS"]


class LayerError(Exception):
    """A source or an output that cannot be used; the text names it and says why."""


def host_file(name):
    """The file on the host that a GDAL name reads: the archive of /vsizip/a.zip/x.tif, the
    name itself for a plain file; None for what lies in memory or on a network."""
    if not name.startswith("/vsi"):
        return name
    parts = name.split("/")
    if parts[1] in ("vsimem", "vsicurl", "vsis3", "vsigs", "vsiaz", "vsioss", "vsiswift",
                    "vsiadls", "vsihdfs", "vsiwebhdfs"):
        return None
    rest = "/".join(parts[2:])
    if rest.startswith("vsi"):
        return host_file("/" + rest)
    for end in range(len(parts), 2, -1):  # the longest leading part that is a file
        candidate = "/".join(parts[2:end])
        if os.path.isfile(candidate):
            return candidate
    return None


class ContourSource:
    """A contour raster opened for reading: one band of unsigned 8-bit pixels."""

    def __init__(self, name):
        self.name = name
        try:
            self.dataset = gdal.Open(name)
        except RuntimeError as error:
            raise LayerError("cannot read %s: %s" % (name, error))
        if self.dataset.RasterCount != 1:
            raise LayerError("%s has %d bands: a contour raster has one band of contour numbers"
                             % (name, self.dataset.RasterCount))
        band = self.dataset.GetRasterBand(1)
        signed = band.GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE") == "SIGNEDBYTE"
        if band.DataType != gdal.GDT_Byte or signed:
            kind = "signed 8-bit" if signed else gdal.GetDataTypeName(band.DataType)
            raise LayerError("%s holds %s pixels: a contour raster holds unsigned 8-bit pixels "
                             "(GDAL type Byte)" % (name, kind))
        self.band = band
        self.cols, self.rows = self.dataset.RasterXSize, self.dataset.RasterYSize
        self.transform = self.dataset.GetGeoTransform(can_return_null=True)
        self.crs = self.dataset.GetSpatialRef()

    def files(self):
        """The host files the source is read from: a VRT's members, the archive behind
        /vsizip/, a header's raw data."""
        listed = [self.name] + (self.dataset.GetFileList() or [])
        return [f for f in (host_file(name) for name in listed) if f and os.path.exists(f)]

    def item(self, key):
        """Metadata item `key` of the dataset, else of its band; None when neither has it."""
        text = self.dataset.GetMetadataItem(key)
        return text if text is not None else self.band.GetMetadataItem(key)

    def write_form(self, path, warn):
        """Writes the pixels as the engine's u8 raster, the band's nodata value made 255."""
        pixels = self.band.ReadRaster(buf_type=gdal.GDT_Byte)
        nodata = self.band.GetNoDataValue()
        if nodata is not None and nodata == int(nodata) and 0 <= nodata < 255:
            pixels = pixels.replace(bytes([int(nodata)]), b"\xff")
        if pixels.count(255) == len(pixels):
            raise LayerError("%s holds no contour line: every pixel is 255 or the band's nodata "
                             "value" % self.name)
        if nodata is None and 255 not in pixels:
            warn("warning: %s has no nodata value and no pixel of 255: every pixel is taken for "
                 "a contour line" % self.name)
        forms.write_raster(path, self.cols, self.rows, pixels)

    def levels(self, base, interval, ranges):
        """The levels given, else the source's BASE and INTERVAL items, as torvanelle-dem takes
        them; `ranges` the tools' (low, high) for each."""
        if base is not None:
            return base, interval
        found = []
        for key, (low, high) in zip((BASE, INTERVAL), ranges):
            text = self.item(key)
            try:
                value = None if text is None else float(text)
            except ValueError:
                value = math.nan
            if text is not None and not (value is not None and low <= value <= high):
                raise LayerError("%s: the metadata item %s must be a number from %.15g to %.15g, "
                                 "not '%s'" % (self.name, key, low, high, text))
            found.append(value)
        if None in found:
            raise LayerError("%s: no base and interval: give the elevation of contour number 0 "
                             "and the interval, or the source the metadata items BASE and "
                             "INTERVAL" % self.name)
        return tuple(found)

    def place(self, dataset):
        """Gives `dataset` the source's georeference and CRS."""
        if self.transform is not None:
            dataset.SetGeoTransform(self.transform)
        if self.crs is not None:
            dataset.SetSpatialRef(self.crs)


def _whole(text, default):
    try:
        return int(text)
    except (TypeError, ValueError):
        return default


def write_cleaned(source, form, path):
    """The engine's cleaned raster `form` as the GeoTIFF `path`: the source's place, nodata 255,
    a colour a number, and the altitudes of the source's descriptor."""
    cols, rows, pixels = forms.read_raster(form, "u8")
    dataset = gdal.GetDriverByName("GTiff").Create(path, cols, rows, 1, gdal.GDT_Byte, _GEOTIFF)
    source.place(dataset)
    band = dataset.GetRasterBand(1)
    band.SetNoDataValue(255)
    table = gdal.ColorTable()
    for value in range(256):
        table.SetColorEntry(value, colour(value) + (255,))
    band.SetColorTable(table)
    dataset.SetMetadataItem(LOWEST_ALTITUDE, str(_whole(source.item(LOWEST_ALTITUDE), 0)))
    dataset.SetMetadataItem(HIGHEST_ALTITUDE, str(_whole(source.item(HIGHEST_ALTITUDE), 255)))
    band.WriteRaster(0, 0, cols, rows, pixels)
    dataset.FlushCache()
    dataset = None  # closed: GDAL writes what it holds back


def write_model(source, form, path):
    """The engine's elevation model `form` as the Float32 GeoTIFF `path`: the source's place,
    nodata NaN, its range in ELEVATION_MIN and ELEVATION_MAX."""
    cols, rows, pixels = forms.read_raster(form, "f32")
    options = _GEOTIFF + ["PREDICTOR=3"]
    dataset = gdal.GetDriverByName("GTiff").Create(path, cols, rows, 1, gdal.GDT_Float32, options)
    source.place(dataset)
    band = dataset.GetRasterBand(1)
    band.SetNoDataValue(math.nan)
    band.WriteRaster(0, 0, cols, rows, pixels)
    try:
        low, high = band.ComputeRasterMinMax(False)
    except RuntimeError:  # no pixel holds an elevation
        low = high = math.nan
    dataset.SetMetadataItem(ELEVATION_MIN, "%.9g" % low)
    dataset.SetMetadataItem(ELEVATION_MAX, "%.9g" % high)
    dataset.FlushCache()
    dataset = None  # closed: GDAL writes what it holds back


def write_lines(source, form, path, driver, layer_name, levels, bridged):
    """The engine's lines `form` as a line layer of `path` (format `driver`): fields number,
    elevation (when `levels` is (base, interval)) and bridged (when `bridged`), vertices placed
    by the source's georeference. An existing container keeps its other layers; a layer of the
    same name is replaced."""
    lines = forms.read_lines(form)
    if os.path.exists(path) and layer_name:
        dataset = gdal.OpenEx(path, gdal.OF_VECTOR | gdal.OF_UPDATE)
        for index in range(dataset.GetLayerCount()):
            if dataset.GetLayer(index).GetName().lower() == layer_name.lower():
                dataset.DeleteLayer(index)
                break
    else:
        dataset = ogr.GetDriverByName(driver).CreateDataSource(path)
    crs = source.crs
    if crs is None and driver == "GPKG":  # pixel coordinates: its undefined Cartesian SRS
        crs = osr.SpatialReference()
        crs.SetLocalCS("Undefined cartesian SRS")
    name = layer_name or os.path.splitext(os.path.basename(path))[0]
    layer = dataset.CreateLayer(name, crs, ogr.wkbLineString)
    fields = [("number", ogr.OFTInteger)]
    fields += [("elevation", ogr.OFTReal)] if levels else []
    fields += [("bridged", ogr.OFTInteger)] if bridged else []
    for field, kind in fields:
        layer.CreateField(ogr.FieldDefn(field, kind))
    t = source.transform or (0, 1, 0, 0, 0, 1)
    layer.StartTransaction()
    for number, bridges, vertices in lines:
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetField("number", number)
        if levels:
            feature.SetField("elevation", levels[0] + number * levels[1])
        if bridged:
            feature.SetField("bridged", bridges)
        line = ogr.Geometry(ogr.wkbLineString)
        for x, y in vertices:
            line.AddPoint_2D(t[0] + x * t[1] + y * t[2], t[3] + x * t[4] + y * t[5])
        feature.SetGeometry(line)
        layer.CreateFeature(feature)
    layer.CommitTransaction()
    dataset = None
