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

#include "LIB/matalloc.h"
#include "cleaning/neighbour.h"
#include "cleaning/treatment.h"
#include "io/dialogue.h"
#include "io/raster_files.h"
#include "model/literal_model.h"
#include "tools/terrain.h"

namespace bench {
namespace {

using torvanelle::Raster;

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

std::vector<std::uint8_t> contour_raster(const std::string& what, int n) {
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

// Read and written as the program does (lecture, save), so that the floors measure the same
// file traffic: rows read unbuffered straight into place, rows written through a 256 KiB buffer.
void read_rows(Raster r, int n, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::setvbuf(f, nullptr, _IONBF, 0);
  for (int i = 0; i < n; ++i)
    if (std::fread(r[i], 1, static_cast<std::size_t>(n), f) != static_cast<std::size_t>(n)) break;
  std::fclose(f);
}

void write_rows(Raster r, int n, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::vector<char> buffer(std::size_t{1} << 18);
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  for (int i = 0; i < n; ++i)
    std::fwrite(r[i], 1, static_cast<std::size_t>(n), f);
  std::fclose(f);
}

/// Read the raw file, write it back out.
void copy(const std::string& dir, int n) {
  Raster r = ucmatrice(n, n);
  read_rows(r, n, input_raster(dir));
  write_rows(r, n, dir + "/copy.raw");
  frucmatrice(r, n);
}

/// Read the raster, compute every line pixel's code once, write a raster (of the codes). The
/// codes of a row are worked out in one loop that the compiler does many pixels at a time, the
/// background's codes with them: the least a pass that looks at every neighbourhood can cost.
void one_pass(const std::string& dir, int n) {
  Raster in = ucmatrice(n, n);
  Raster out = ucmatrice(n, n);
  read_rows(in, n, input_raster(dir));
  for (int i = 1; i < n - 1; ++i) {
    const std::uint8_t* up = in[i - 1];
    const std::uint8_t* row = in[i];
    const std::uint8_t* down = in[i + 1];
    std::uint8_t* codes = out[i];
    for (int j = 1; j < n - 1; ++j)
      codes[j] = torvanelle::ico(up, row, down, j);
  }
  write_rows(out, n, dir + "/floor.raw");
  frucmatrice(in, n);
  frucmatrice(out, n);
}

/// A whole run of the program from `dir`, its dialogue answered from a file: the stages in
/// their order, as the program runs them. Returns the time of the treatment alone.
double whole_run(const std::string& dir) {
  std::filesystem::current_path(dir);
  std::ifstream answers(dir + "/answers.txt");
  std::ofstream console(dir + "/console.txt", std::ios::binary);
  torvanelle::State st;
  double cleaning = 0;
  torvanelle::Flow flow = torvanelle::opening(st, answers, console, console);
  if (flow == torvanelle::Flow::proceed) flow = torvanelle::lecture(st, console);
  if (flow == torvanelle::Flow::proceed) {
    cleaning = seconds_of([&] { flow = torvanelle::treatment(st, answers, console); });
  }
  if (flow == torvanelle::Flow::proceed) flow = torvanelle::save(st, console);
  if (flow != torvanelle::Flow::proceed)
    std::cerr << "the run failed: see " << dir << "/console.txt\n";
  for (Raster r : {st.tab, st.tab_in, st.tab_out})
    frucmatrice(r, st.nb_lig);
  return cleaning;
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
    double cleaning = 0;
    whole.push_back(seconds_of([&] {
      if (what == "copy") copy(dir, n);
      if (what == "floor") one_pass(dir, n);
      if (what == "engine") cleaning = whole_run(dir);
    }));
    inner.push_back(cleaning);
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
