// Figures for torvanelle-vect on synthetic terrain: the whole run to a GeoPackage beside the
// program's own run on the same raster, each in fresh processes, then the vectoriser's stages.
//
//   torvanelle_vect_bench [--size 4000] [--runs 5]
//
// The raster (150 contour numbers, lines 2 to 4 pixels thick, index lines thicker, spurs) is
// written as the program reads it, a raw file and its descriptor, with an ENVI header through
// which GDAL opens the same file. Times are medians; memory is each process's peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/outputs.h"
#include "devtools/terrain.h"
#include "gis/contour_raster.h"
#include "tools/vect/output.h"
#include "tools/vect/source.h"
#include "vector/framed.h"
#include "vector/skeleton.h"
#include "vector/trace.h"

#include <gdal_priv.h>

#include <iostream>
#include <optional>

#include "gis/gdal.h"

namespace gis = torvanelle::gis;

namespace {

namespace fs = std::filesystem;
namespace vt = torvanelle::vect::tool;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct ProcessRun {
  double seconds = 0;
  long peak_kib = 0;
  int status = -1;
};

/// Runs `argv` in `dir`, standard input from `input` (or /dev/null), output to /dev/null.
ProcessRun spawn(const std::vector<std::string>& argv, const fs::path& dir,
                 const std::string& input) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return {took.count(), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

/// The median time and the largest peak of `runs` runs.
ProcessRun repeat(int runs, const std::vector<std::string>& argv, const fs::path& dir,
                  const std::string& input = "") {
  std::vector<double> times;
  ProcessRun worst;
  for (int r = 0; r < runs; ++r) {
    const ProcessRun one = spawn(argv, dir, input);
    if (one.status != 0)
      std::fprintf(stderr, "failed (status %d): %s\n", one.status, argv[0].c_str());
    times.push_back(one.seconds);
    worst.peak_kib = std::max(worst.peak_kib, one.peak_kib);
    worst.status = std::max(worst.status, one.status);
  }
  worst.seconds = median(times);
  return worst;
}

void write_envi_header(const fs::path& raw, int n) {
  std::ofstream(fs::path(raw).replace_extension(".hdr"))
      << "ENVI\nsamples = " << n << "\nlines = " << n
      << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 1\n"
         "interleave = bsq\nbyte order = 0\n";
}

/// The sample raster under dir/images/bench/, where the program finds C:\images\bench\in.raw,
/// and the answers that run the program on it (keep the name, remove spurs).
void prepare(const fs::path& dir, int n) {
  terrain::Options o;
  o.rows = n;
  o.cols = n;
  o.levels = 150;
  const std::vector<std::uint8_t> raster = terrain::contour_raster(o);
  fs::create_directories(dir / "images/bench");
  std::ofstream(dir / "images/bench/in.raw", std::ios::binary)
      .write(reinterpret_cast<const char*>(raster.data()),
             static_cast<std::streamsize>(raster.size()));
  std::ofstream(dir / "images/bench/in.txt") << n << '\n' << n << "\n1\n0\n255\n10\n";
  write_envi_header(dir / "images/bench/in.raw", n);
  std::ofstream(dir / "answers.txt") << "bench\nin\n0\n0\n";
}

template <class Work>
double seconds_of(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// The vectoriser's stages in this process, medians of `runs`, with what they found.
void stages(const fs::path& raw, const fs::path& gpkg, int runs) {
  GDALAllRegister();
  std::vector<double> read, thin, trace, write;
  std::size_t line_px = 0, skeleton_px = 0, lines = 0, closed = 0, vertices = 0;
  for (int r = 0; r < runs; ++r) {
    const gis::ProgressBar quiet(false);
    gis::ErrorTrap trap(std::cerr);
    std::optional<vt::Source> source;
    read.push_back(seconds_of([&] {
      torvanelle::cli::Sources sources;
      gis::ContourRaster raster(raw.string(), trap, std::cerr, sources);
      source = vt::read_source(raster, quiet.stage(0, 1), std::cerr);
    }));
    line_px = static_cast<std::size_t>(
        std::count_if(source->image.px.begin(), source->image.px.end(),
                      [](std::uint8_t v) { return v != torvanelle::no_line; }));
    torvanelle::vect::Framed framed(source->image);
    thin.push_back(seconds_of([&] { torvanelle::vect::thin(framed); }));
    std::vector<torvanelle::vect::Line> found;
    trace.push_back(seconds_of([&] { found = torvanelle::vect::trace(framed, 3); }));
    vt::ToolOptions o;
    o.format = "GPKG";
    o.output = gpkg.string();
    fs::remove(gpkg);
    write.push_back(seconds_of(
        [&] { vt::write_lines(gpkg, o, false, *source, found, quiet.stage(0, 1), trap); }));
    skeleton_px = lines = closed = vertices = 0;
    for (const std::uint8_t v : framed.image().px)
      skeleton_px += v != torvanelle::no_line;
    for (const auto& l : found) {
      ++lines;
      closed += l.closed();
      vertices += l.pixels.size();
    }
  }
  std::printf(
      "stages (one process): read %.3f s, thin %.3f s, trace %.3f s, write GeoPackage %.3f s\n",
      median(read), median(thin), median(trace), median(write));
  std::printf(
      "found: %zu line pixels, %zu skeleton pixels, %zu lines (%zu closed), %zu vertices, "
      "GeoPackage %.1f MiB\n",
      line_px, skeleton_px, lines, closed, vertices,
      static_cast<double>(fs::file_size(gpkg)) / (1 << 20));
}

}  // namespace

int main(int argc, char** argv) {
  int n = 4000, runs = 5;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (std::strcmp(argv[a], "--size") == 0) n = std::atoi(argv[a + 1]);
    if (std::strcmp(argv[a], "--runs") == 0) runs = std::max(1, std::atoi(argv[a + 1]));
  }
  char dir_template[] = "/tmp/torvanelle_vect_bench_XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const fs::path dir = dir_template;
  prepare(dir, n);
  std::printf(
      "%d x %d pixels, 150 contour numbers, lines 2 to 4 pixels thick; medians of %d runs\n", n, n,
      runs);
  const ProcessRun program =
      repeat(runs, {TORVANELLE_PROGRAM}, dir, (dir / "answers.txt").string());
  write_envi_header(dir / "images/bench/in_venc8.raw", n);
  const fs::path raw = dir / "images/bench/in.raw";
  const ProcessRun vect = repeat(
      runs, {TORVANELLE_VECT, raw.string(), (dir / "out.gpkg").string(), "--overwrite", "--quiet"},
      dir);
  const ProcessRun cleaned = repeat(runs,
                                    {TORVANELLE_VECT, (dir / "images/bench/in_venc8.raw").string(),
                                     (dir / "cleaned.gpkg").string(), "--overwrite", "--quiet"},
                                    dir);
  std::printf("program's whole run (clean and deburr):     %6.3f s, peak %6.1f MiB\n",
              program.seconds, program.peak_kib / 1024.0);
  std::printf("torvanelle-vect, input raster to GeoPackage: %6.3f s, peak %6.1f MiB\n",
              vect.seconds, vect.peak_kib / 1024.0);
  std::printf("torvanelle-vect, cleaned raster to GeoPackage: %4.3f s, peak %6.1f MiB\n",
              cleaned.seconds, cleaned.peak_kib / 1024.0);
  stages(raw, dir / "stages.gpkg", runs);
  fs::remove_all(dir);
  return 0;
}
