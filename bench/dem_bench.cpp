// Runs the elevation model's engine on one raw contour raster, for bench/dem_bench.py.
//
//   torvanelle_dem_bench IN.u8 ROWS COLS BASE INTERVAL OUT.f32 [gradient|thin_plate] [TENSION]
//   torvanelle_dem_bench IN.u8 ROWS COLS - - OUT.u8 skeleton
//
// IN.u8 holds ROWS × COLS contour numbers (255 none), row after row; OUT.f32 receives the model
// as native 32-bit floats (NaN outside the hull). The second form writes the lines thinned to
// their skeleton instead, the benchmark's one-pixel case. Prints the engine's time, the time to
// read the raster and to write the model (what no engine can go below), and the process's peak
// memory, the raster's reading and writing included.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "dem/dem.h"
#include "vector/skeleton.h"

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: %s IN.u8 ROWS COLS BASE INTERVAL OUT.f32 [METHOD] [TENSION]\n",
                 argv[0]);
    return 2;
  }
  namespace dem = torvanelle::dem;
  using Clock = std::chrono::steady_clock;
  const auto since = [](Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
  };
  const auto read_start = Clock::now();
  torvanelle::Image image(std::atoi(argv[2]), std::atoi(argv[3]));
  std::ifstream in(argv[1], std::ios::binary);
  in.read(reinterpret_cast<char*>(image.px.data()), static_cast<std::streamsize>(image.px.size()));
  const double read_seconds = since(read_start);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  if (argc > 7 && std::string(argv[7]) == "skeleton") {
    const torvanelle::Image thin = torvanelle::vect::skeleton(image);
    std::ofstream out(argv[6], std::ios::binary);
    out.write(reinterpret_cast<const char*>(thin.px.data()),
              static_cast<std::streamsize>(thin.px.size()));
    return out ? 0 : 1;
  }
  const dem::Levels levels{std::atof(argv[4]), std::atof(argv[5])};
  dem::Options options;
  if (argc > 7 && std::string(argv[7]) == "gradient") options.method = dem::Method::gradient;
  if (argc > 8) options.tension = std::atof(argv[8]);
  if (argc > 9) options.hold = std::atof(argv[9]);
  const auto start = Clock::now();
  const dem::Model model = dem::elevation_model(std::move(image), levels, options);
  const double seconds = since(start);
  const auto write_start = Clock::now();
  std::ofstream out(argv[6], std::ios::binary);
  out.write(reinterpret_cast<const char*>(model.z.data()),
            static_cast<std::streamsize>(model.z.size() * sizeof(float)));
  out.close();
  const double write_seconds = since(write_start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("seconds=%.3f read_seconds=%.3f write_seconds=%.3f peak_kib=%ld min=%g max=%g\n",
              seconds, read_seconds, write_seconds, usage.ru_maxrss, static_cast<double>(model.min),
              static_cast<double>(model.max));
  return out ? 0 : 1;
}
