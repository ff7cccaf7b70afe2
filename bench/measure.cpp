#include "bench/measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <vector>

#include "app/run.h"
#include "base/owned_raster.h"
#include "cleaning/deburring.h"
#include "cleaning/neighbour.h"
#include "cleaning/thinning.h"
#include "devtools/model/literal_model.h"
#include "devtools/terrain.h"
#include "io/files.h"
#include "io/raster_files.h"

namespace bench {
namespace {

using torvanelle::OwnedRaster;

/// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long status_kib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return 0;
}

double seconds_of(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

/// A serpentine: one line 2 pixels wide that runs along every fourth pair of rows and turns at
/// the sides, its two ends free. The thinning wears it down from its ends a pixel or two a scan:
/// hundreds of thousands of scans, each removing almost nothing.
std::vector<std::uint8_t> serpentine(int n) {
  std::vector<std::uint8_t> raster(static_cast<std::size_t>(n) * static_cast<std::size_t>(n),
                                   torvanelle::background);
  const auto set = [&](int i, int j) { raster[static_cast<std::size_t>(i) * n + j] = 7; };
  for (int top = 1, turn = 0; top + 5 < n; top += 4, ++turn) {
    for (int j = 1; j < n - 1; ++j) {
      set(top, j);
      set(top + 1, j);
    }
    const int side = turn % 2 == 0 ? n - 3 : 1;  // the turn down to the next pair of rows
    for (int i = top + 2; i < top + 4; ++i) {
      set(i, side);
      set(i, side + 1);
    }
  }
  return raster;
}

std::vector<std::uint8_t> contour_raster(const std::string& what, int n) {
  if (what == "prepare-serpentine") return serpentine(n);
  terrain::Options o;
  o.rows = n;
  o.cols = n;
  o.levels = what == "prepare" ? 150 : 250;
  std::vector<std::uint8_t> raster = terrain::contour_raster(o);
  if (what == "prepare-10") {
    for (std::uint8_t& v : raster) {
      if (v != torvanelle::background) v = static_cast<std::uint8_t>(v % 10);
    }
  }
  return raster;
}

// The image lies where the program looks for "C:\images\bench\in.raw" when run from `dir`.
std::string input_raster(const std::string& dir) { return dir + "/images/bench/in.raw"; }
std::string result_raster(const std::string& dir) { return dir + "/images/bench/in_venc8.raw"; }

/// The raster, its descriptor, and the answers a script gives the dialogue: folder, name, keep
/// the name for the output, deburr.
int prepare(const std::string& what, const std::string& dir, int n) {
  const std::vector<std::uint8_t> raster = contour_raster(what, n);
  std::filesystem::create_directories(dir + "/images/bench");
  std::ofstream raw(input_raster(dir), std::ios::binary);
  raw.write(reinterpret_cast<const char*>(raster.data()),
            static_cast<std::streamsize>(raster.size()));
  std::ofstream(dir + "/images/bench/in.txt") << n << '\n' << n << "\n1\n0\n255\n10\n";
  std::ofstream(dir + "/answers.txt") << "bench\nin\n0\n0\n";
  return raw.good() ? 0 : 1;
}

/// The input raster, read as the program reads it.
OwnedRaster read_input(const std::string& dir, int n) {
  OwnedRaster r(n, n);
  const torvanelle::File f(std::fopen(input_raster(dir).c_str(), "rb"));
  torvanelle::read_rows(f.get(), r.get(), n, n);
  return r;
}

/// `r` written as the program writes its result.
void write_output(const OwnedRaster& r, int n, const std::string& path) {
  const torvanelle::File f(std::fopen(path.c_str(), "wb"));
  torvanelle::write_rows(f.get(), r.get(), n, n);
}

/// Read the raw file, write it back out.
void copy(const std::string& dir, int n) { write_output(read_input(dir, n), n, dir + "/copy.raw"); }

/// Read the raster, compute every line pixel's code once, write a raster (of the codes). The
/// codes of a row are worked out in one loop that the compiler does many pixels at a time, the
/// background's codes with them: the least a pass that looks at every neighbourhood can cost.
void one_pass(const std::string& dir, int n) {
  const OwnedRaster in = read_input(dir, n);
  const OwnedRaster out(n, n);
  for (int i = 1; i < n - 1; ++i) {
    const std::uint8_t* up = in[i - 1];
    const std::uint8_t* row = in[i];
    const std::uint8_t* down = in[i + 1];
    std::uint8_t* codes = out[i];
    for (int j = 1; j < n - 1; ++j)
      codes[j] = torvanelle::ico(up, row, down, j);
  }
  write_output(out, n, dir + "/floor.raw");
}

/// A whole run of the program from `dir`, its dialogue answered from a file, as the program
/// runs it.
void whole_run(const std::string& dir) {
  std::filesystem::current_path(dir);
  std::ifstream answers(dir + "/answers.txt");
  std::ofstream console(dir + "/console.txt", std::ios::binary);
  torvanelle::State st;
  if (torvanelle::run(st, answers, console, std::cerr) != 0)
    std::cerr << "the run failed: see " << dir << "/console.txt\n";
}

/// The cleaning alone, the engine called directly on the input raster: thinning, deburring.
double cleaning(const std::string& dir, int n) {
  const OwnedRaster in = read_input(dir, n);
  const OwnedRaster out(n, n);
  return seconds_of([&] {
    torvanelle::thinning(in.get(), out.get(), n, n);
    torvanelle::deburring(out.get(), n, n);
  });
}

model::Grid read_grid(const std::string& path, int n) {
  std::ifstream raw(path, std::ios::binary);
  std::vector<char> bytes(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  raw.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  model::Grid g(n, n, 255);
  for (std::size_t p = 0; p < bytes.size(); ++p)
    g.px[p] = static_cast<unsigned char>(bytes[p]);
  return g;
}

/// The literal model on the same raster; the engine's last run must have printed and written
/// exactly what the model gives.
Measured model_run(const std::string& dir, int n) {
  const model::Grid in = read_grid(input_raster(dir), n);
  model::Deburred expected;
  Measured m;
  m.seconds = seconds_of([&] { expected = model::treat(model::thin(in), 0); });
  std::ifstream console_file(dir + "/console.txt", std::ios::binary);
  const std::string console((std::istreambuf_iterator<char>(console_file)), {});
  const bool same =
      read_grid(result_raster(dir), n) == expected.out && console.ends_with(expected.transcript);
  m.verdict = same ? "identical" : "DIFFERENT";
  return m;
}

Measured repeated(const std::string& what, const std::string& dir, int n, int reps) {
  Measured m;
  std::vector<double> whole, inner;
  for (int r = 0; r < reps; ++r) {
    whole.push_back(seconds_of([&] {
      if (what == "copy") copy(dir, n);
      if (what == "floor") one_pass(dir, n);
      if (what == "engine") whole_run(dir);
    }));
    if (what == "engine") inner.push_back(cleaning(dir, n));
  }
  m.seconds = median(whole);
  m.inner_seconds = median(inner);
  return m;
}

}  // namespace

int child_main(const std::string& what, const std::string& dir, int n, int reps) {
  if (what.rfind("prepare", 0) == 0) return prepare(what, dir, n);
  const long start_kib = status_kib("VmRSS");
  Measured m = what == "model" ? model_run(dir, n) : repeated(what, dir, n, reps);
  m.peak_kib = status_kib("VmHWM");
  m.start_kib = start_kib;
  std::cout << m.seconds << ' ' << m.inner_seconds << ' ' << m.peak_kib << ' ' << m.start_kib << ' '
            << m.verdict << '\n';
  return 0;
}

}  // namespace bench
