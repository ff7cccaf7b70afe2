// Figures for the cleaning on realistic contour rasters: the program's whole run, its cleaning,
// the literal model, a one-pass floor and a plain copy of the raw file, with peak memory.
//
//   torvanelle_bench [--sizes 1000,2000,4000,8000] [--model-up-to 2000] [--span-check]
//                    [--many-scans]
//
// Every measurement runs in a fresh process of this program (`--child ...`), so that each peak
// memory figure belongs to that measurement alone. Times are medians of several repetitions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/measure.h"

namespace {

using bench::Measured;

/// Runs this program again with `args` and returns what it printed.
std::string spawn(const std::string& args) {
  static const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command = self + " " + args;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
    text += buffer;
  if (pclose(pipe) != 0) std::cerr << "failed: " << command << "\n" << text;
  return text;
}

Measured child(const std::string& what, const std::string& dir, int n, int reps) {
  std::istringstream line(
      spawn("--child " + what + " " + dir + " " + std::to_string(n) + " " + std::to_string(reps)));
  Measured m;
  line >> m.seconds >> m.inner_seconds >> m.peak_kib >> m.start_kib >> m.verdict;
  return m;
}

int reps_for(int n) { return n <= 2000 ? 7 : 5; }

std::string machine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown processor";
}

double mib(long kib) { return static_cast<double>(kib) / 1024.0; }

/// The whole run's peak memory above what the process held before it: the three rasters, the
/// part every run takes whatever its size (`fixed_kib`, measured on a 10×10 raster), and the rest.
void print_memory(const Measured& run, int n, long fixed_kib) {
  const double rasters = 3.0 * n * n / (1024.0 * 1024.0);
  const double above_start = mib(run.peak_kib - run.start_kib);
  const double rest = above_start - mib(fixed_kib) - rasters;
  std::printf("%7.1f MiB = rasters %6.1f + fixed %3.1f + %4.1f (%+4.1f%%)\n", above_start, rasters,
              mib(fixed_kib), rest, 100.0 * rest / rasters);
}

void print_size(int n, const std::string& dir, int model_up_to, long fixed_kib) {
  spawn("--child prepare " + dir + " " + std::to_string(n) + " 1");
  const int reps = reps_for(n);
  const Measured copy = child("copy", dir, n, reps);
  const Measured floor = child("floor", dir, n, reps);
  const Measured run = child("engine", dir, n, reps);
  Measured model;
  if (n <= model_up_to) model = child("model", dir, n, 1);
  std::printf("%6d² | %8.3f s | %8.3f s | %8.3f s | %8.3f s | ", n, run.seconds, run.inner_seconds,
              floor.seconds, copy.seconds);
  if (model.verdict == "-") {
    std::printf("%9s | %7s | %-9s | ", "-", "-", "-");
  } else {
    std::printf("%7.2f s | %6.0f× | %-9s | ", model.seconds, model.seconds / run.seconds,
                model.verdict.c_str());
  }
  std::printf("%11.2f | %11.2f | ", run.inner_seconds / floor.seconds, run.seconds / floor.seconds);
  print_memory(run, n, fixed_kib);
}

/// The same line pixels under 250 numbers and under 10: the cost follows the pixels.
void print_span_check(const std::string& dir) {
  const int n = 2000;
  for (const char* numbers : {"250", "10"}) {
    spawn(std::string("--child prepare-") + numbers + " " + dir + " " + std::to_string(n) + " 1");
    const Measured run = child("engine", dir, n, 5);
    std::printf("%6d², %3s numbers: whole run %.3f s, cleaning %.3f s\n", n, numbers, run.seconds,
                run.inner_seconds);
  }
}

/// One line 2 pixels wide, worn down from its free ends over hundreds of thousands of scans:
/// the cost of a scan that removes almost nothing, and the memory of a report that long.
void print_many_scans(const std::string& dir) {
  const int n = 4000;
  spawn("--child prepare-serpentine " + dir + " " + std::to_string(n) + " 1");
  const Measured run = child("engine", dir, n, 3);
  std::ifstream console(dir + "/console.txt");
  long scans = 0;
  for (std::string line; std::getline(console, line);)
    scans += line.find("Number of modifications") != std::string::npos ? 1 : 0;
  std::printf(
      "%6d², one serpentine line 2 pixels wide: %ld scans that removed pixels; whole run "
      "%.3f s, cleaning %.3f s, peak memory above start %.1f MiB\n",
      n, scans, run.seconds, run.inner_seconds, mib(run.peak_kib - run.start_kib));
}

struct Options {
  std::vector<int> sizes = {1000, 2000, 4000, 8000};
  int model_up_to = 2000;
  bool span_check = false;
  bool many_scans = false;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--span-check") o.span_check = true;
    if (arg == "--many-scans") o.many_scans = true;
    if (arg == "--model-up-to" && a + 1 < argc) o.model_up_to = std::atoi(argv[++a]);
    if (arg == "--sizes" && a + 1 < argc) {
      o.sizes.clear();
      std::istringstream list(argv[++a]);
      for (std::string size; std::getline(list, size, ',');)
        o.sizes.push_back(std::atoi(size.c_str()));
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
    return bench::child_main(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  const Options o = parse(argc, argv);
  char dir_template[] = "/tmp/torvanelle_bench_XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (dir == nullptr) return 1;
  std::printf("Machine: %s, %u cores. Rasters: 150 contour numbers, lines 2 to 4 pixels thick.\n",
              machine().c_str(), std::thread::hardware_concurrency());
  std::printf(
      "   size |  whole run |   cleaning | floor 1-pass | read+write | literal model | "
      "speed-up | identical | clean/floor | whole/floor | peak memory above start\n");
  spawn(std::string("--child prepare ") + dir + " 10 1");
  const Measured tiny = child("engine", dir, 10, 1);
  const long fixed_kib = tiny.peak_kib - tiny.start_kib;
  for (const int n : o.sizes)
    print_size(n, dir, o.model_up_to, fixed_kib);
  if (o.span_check) print_span_check(dir);
  if (o.many_scans) print_many_scans(dir);
  std::filesystem::remove_all(dir);
  return 0;
}
