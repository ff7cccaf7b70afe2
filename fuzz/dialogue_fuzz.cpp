// Fuzz target: a whole run, opening through save, driven from an in-memory standard input over
// an image folder written afresh for every input.
//
// Input: byte 0 holds flags, byte 1 the length of the descriptor text, bytes 2 and 3 the length
// of the raster file (little-endian); then the descriptor text, the raster bytes, and the rest
// is standard input. Flags:
//   bit 0  images/site/dem1.raw exists, holding the raster bytes
//   bit 1  images/site/dem1.txt exists, holding the descriptor text
//   bit 2  images/site/dem1.raw is a folder (the raster opens but cannot be read)
//   bit 3  images/site/dem1_venc8.raw is a folder (that output cannot be created)
//   bits 4-7  the allocation request that fails (0: none)
// Every run also gets at most 16 KiB from the raster allocator: larger images take the path of
// memory that cannot be had, which is under test as much as any other.
//
// After every run: the status is 0 or 1; a failed run said why and left no output behind; no
// input file changed; a run that went through left exactly its two outputs, the raster being
// the literal model's result for the input as read, the descriptor complete. A run that does
// not end is caught by the fuzzer's timeout; it must never wait for a key, so the target runs
// without a controlling terminal.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "app/lecture_save.h"
#include "app/run.h"
#include "check.h"
#include "devtools/model/literal_model.h"
#include "devtools/support.h"
#include "io/descriptor.h"
#include "io/paths.h"

namespace {

namespace fs = std::filesystem;

fs::path home;     // the folder the process started in
fs::path scratch;  // this process's own working folder, holding images/

// Every run gets at most this many bytes from the raster allocator: larger images take the path
// of memory that cannot be had.
constexpr std::size_t budget = 16 * 1024;

struct Input {
  int flags = 0;
  std::string descriptor;
  std::string raster;
  std::string answers;
};

Input split(const std::uint8_t* data, std::size_t size) {
  Input in;
  const std::string all(reinterpret_cast<const char*>(data), size);
  if (size < 4) {
    in.answers = all;
    return in;
  }
  in.flags = data[0];
  std::size_t at = 4;
  const std::size_t descriptor_length = std::min<std::size_t>(data[1], size - at);
  in.descriptor = all.substr(at, descriptor_length);
  at += descriptor_length;
  const std::size_t raster_length = std::min<std::size_t>(data[2] | data[3] << 8, size - at);
  in.raster = all.substr(at, raster_length);
  at += raster_length;
  in.answers = all.substr(at);
  return in;
}

/// The images root: in the working folder, or C:\images\ on Windows.
fs::path images() { return fs::path(std::string(torvanelle::images_root())); }
fs::path site() { return images() / "site"; }

/// Writes the image folder of `in`; returns every file in it with its bytes.
std::map<fs::path, std::string> lay_out(const Input& in) {
  fs::remove_all(site());
  fs::create_directories(site());
  std::map<fs::path, std::string> files;
  if (in.flags & 4) {
    fs::create_directory(site() / "dem1.raw");
  } else if (in.flags & 1) {
    files[site() / "dem1.raw"] = in.raster;
  }
  if (in.flags & 2) files[site() / "dem1.txt"] = in.descriptor;
  if (in.flags & 8) fs::create_directory(site() / "dem1_venc8.raw");
  for (const auto& [path, bytes] : files)
    support::write_file(path, bytes);
  return files;
}

/// Every regular file under the images root.
std::map<fs::path, std::string> files_now() {
  std::map<fs::path, std::string> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(images())) {
    if (e.is_regular_file()) files[e.path()] = support::read_file(e.path());
  }
  return files;
}

bool is(const fs::path& file, const std::string& built) {
  std::error_code error;
  return fs::equivalent(file, torvanelle::host_path(built), error);
}

/// The last message of a failed run says what went wrong and that the run stops.
void check_failure_said(const std::string& transcript) {
  const std::size_t last = transcript.rfind("\n\t");
  FUZZ_CHECK(last != std::string::npos, "a failed run said nothing");
  const std::string message = transcript.substr(last);
  FUZZ_CHECK(message.ends_with(" \n") && (message.find("the run stops") != std::string::npos ||
                                          message.find("no result is kept") != std::string::npos ||
                                          message.find("Could not read") != std::string::npos),
             "a failed run ended with: %s", message.c_str());
}

/// The raster the input file holds for nb_lig x nb_col, missing bytes read as 0.
model::Grid as_read(const std::string& bytes, int nb_lig, int nb_col) {
  model::Grid g(nb_lig, nb_col, 0);
  for (std::size_t p = 0; p < g.px.size() && p < bytes.size(); ++p)
    g.px[p] = static_cast<unsigned char>(bytes[p]);
  return g;
}

/// A run that went through left its result: the model's raster and the whole descriptor.
void check_result(const torvanelle::State& st, const std::map<fs::path, std::string>& now,
                  const std::string& transcript) {
  std::string raster;
  std::string descriptor;
  std::string input;
  for (const auto& [path, bytes] : now) {
    if (is(path, st.nomim2)) raster = bytes;
    if (is(path, st.nomdescr2)) descriptor = bytes;
    if (is(path, st.nomim1)) input = bytes;
  }
  const model::Thinned thinned = model::thin(as_read(input, st.nb_lig, st.nb_col));
  const model::Deburred treated = model::treat(thinned, st.ebarb == 0 ? 0 : 1);
  std::string expected(treated.out.px.begin(), treated.out.px.end());
  FUZZ_CHECK(raster == expected, "the output raster is not the model's result");
  FUZZ_CHECK(transcript.find(thinned.transcript) != std::string::npos,
             "the thinning transcript differs from the model's");

  std::string want;
  for (const std::int32_t value :
       {st.nb_lig, st.nb_col, st.type, st.min_al, st.max_al, st.taille_pix})
    want += std::to_string(value) + "\n";
  want += "\n input image : " + st.nomim1 + " ";
  if (st.ebarb == 0) want += "\n\n Ebarbulation treatment";
  want += std::string("\n\n\t\t\t\t") + torvanelle::attribution + "\n";
  FUZZ_CHECK(descriptor == support::text_file_bytes(want), "the output descriptor is:\n%s",
             descriptor.c_str());
}

void check_run(const Input& in, const std::map<fs::path, std::string>& before,
               const torvanelle::State& st, int status, const std::string& transcript) {
  FUZZ_CHECK(status == 0 || status == 1, "status %d", status);
  if (status == 1) check_failure_said(transcript);
  const std::map<fs::path, std::string> now = files_now();
  for (const auto& [path, bytes] : before) {
    const auto found = now.find(path);
    FUZZ_CHECK(found != now.end(), "the input %s is gone", path.string().c_str());
    FUZZ_CHECK(found->second == bytes, "the input %s changed", path.string().c_str());
  }
  if (in.flags & 4) FUZZ_CHECK(fs::is_directory(site() / "dem1.raw"), "the input folder changed");
  // The outputs are named only once the dialogue has gone through.
  const bool finished = status == 0 && !st.nomim2.empty();
  for (const auto& [path, bytes] : now) {
    if (before.count(path) != 0) continue;
    // The dialogue creates the missing descriptor of an input raster, whatever happens later.
    fs::path raster = path;
    raster.replace_extension(".raw");
    if (path.extension() == ".txt" && (before.count(raster) != 0 || fs::is_directory(raster)))
      continue;
    FUZZ_CHECK(finished && (is(path, st.nomim2) || is(path, st.nomdescr2)),
               "%s left behind by a run that did not finish", path.string().c_str());
  }
  if (finished) check_result(st, now, transcript);
}

/// Has the "No File" ending return at once instead of waiting for a key: the process leaves
/// its controlling terminal (on Windows, its console), and must then have none.
void leave_the_terminal() {
#ifdef _WIN32
  FreeConsole();
  const HANDLE keyboard =
      CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const bool has_one = keyboard != INVALID_HANDLE_VALUE;
  if (has_one) CloseHandle(keyboard);
#else
  setsid();
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  const bool has_one = tty >= 0;
#endif
  if (has_one) {
    std::fprintf(stderr, "dialogue_fuzz: run me without a controlling terminal (setsid)\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  leave_the_terminal();
  // Where the images root is a fixed folder (C:\images\ on Windows), nothing there is overwritten.
  FUZZ_CHECK(site().is_relative() || !fs::exists(site()), "%s exists already: remove it",
             site().string().c_str());
  home = fs::current_path();
  scratch = support::new_scratch_folder("torvanelle-fuzz-");
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (site().is_absolute()) fs::remove_all(site(), ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in = split(data, size);
  // A name climbing out of the image folder ("../../x") would have the fuzzer create files
  // anywhere the process may write: such inputs are left out.
  if (in.answers.find("..") != std::string::npos) return 0;
  fs::current_path(scratch);
  const std::map<fs::path, std::string> before = lay_out(in);
  const support::FailingAllocator allocator(in.flags >> 4, budget);
  torvanelle::State st;
  std::istringstream answers(in.answers);
  std::ostringstream out;
  const int status = torvanelle::run(st, answers, out, out);
  check_run(in, before, st, status, out.str());
  // libFuzzer may end the process without running atexit: leave nothing behind but the folder.
  fs::remove_all(site());
  fs::current_path(home);
  return 0;
}
