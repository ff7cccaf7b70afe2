// GDAL datasets as a command's sources and outputs: a source opened by any name GDAL takes (a
// file, /vsizip/..., GPKG:file:table), with every host file it is made of added to the
// command's sources; an output declared with the files GDAL would leave of an earlier dataset
// at its name, its format chosen from --format or its extension.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "gis/gdal.h"

namespace torvanelle::gis {

/// Opens `name` read-only (`flags` GDAL_OF_RASTER or GDAL_OF_VECTOR) and adds to `sources`
/// every host file the dataset is made of, as GDAL lists them (a virtual raster's members, a
/// shapefile's sidecars, the archive a /vsizip/ path reads). Refuses at once (Error naming
/// `name`) a special file, and a name that is neither a file nor a dataset GDAL opens.
GDALDatasetUniquePtr open_source(const std::string& name, unsigned flags, ErrorTrap& trap,
                                 torvanelle::cli::Sources& sources);

/// The host file that the GDAL file name `name` reads: `name` itself, or for a name in a
/// virtual file system (/vsizip/a.zip/x.tif, /vsigzip/x.gz) the archive that holds it; empty
/// for one held in memory or on the network.
std::filesystem::path host_file(const std::string& name);

/// The files of the dataset at `path` as GDAL lists them, with the sidecars that describe it
/// and that GDAL may not list (spatial indexes, encoding, metadata, world files, .aux.xml,
/// overviews); `path` alone when GDAL does not open it.
std::vector<std::filesystem::path> dataset_family(const std::filesystem::path& path);

/// Declares `path` an output of `command` written by GDAL (its family, as dataset_family says,
/// replaced whole), verified by `verify` before it is put in place; returns where to write
/// it. GDAL's messages that name the scratch folder name `path`'s folder instead.
std::filesystem::path add_output(torvanelle::cli::Command& command,
                                 const std::filesystem::path& path, ErrorTrap& trap,
                                 std::function<void(const std::filesystem::path&)> verify,
                                 bool container = false);

/// The GDAL driver that writes `path`: the one `format` names, else the one its extension names
/// in any case (for rasters .tif GTiff, .gpkg GPKG, .png PNG, .asc AAIGrid, ...; no extension
/// is a GeoTIFF). `kind` is GDAL_DCAP_RASTER or GDAL_DCAP_VECTOR. Refuses (Error) a format GDAL
/// has not, one that cannot write that kind, and an extension that names no such format.
GDALDriver& output_driver(const std::filesystem::path& path, const std::string& format,
                          const char* kind);

/// Checks a raster written for an output before it is put in place: GDAL opens it again, it has
/// `lines` x `cols` pixels and its last row can be read. Throws Error naming `shown` otherwise.
void verify_raster(const std::filesystem::path& written, int lines, int cols,
                   const std::filesystem::path& shown, ErrorTrap& trap);

/// Checks a vector dataset written for an output before it is put in place: GDAL opens it again and
/// its layer `layer` holds `features` features. Throws Error naming `shown` otherwise.
void verify_vector(const std::filesystem::path& written, const std::string& layer,
                   long long features, const std::filesystem::path& shown, ErrorTrap& trap);

}  // namespace torvanelle::gis
