// Replays inputs through a fuzz target's entry point without libFuzzer: every file named on the
// command line, and every file in a folder named there, in name order. Built with any compiler,
// so the corpus runs as an ordinary test under every preset. A target reports a broken
// invariant by aborting, which fails the replay.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" [[gnu::weak]] int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

/// The inputs named by the arguments, as absolute paths: a target may change the working folder.
std::vector<fs::path> inputs(int argc, char** argv) {
  std::vector<fs::path> found;
  for (int a = 1; a < argc; ++a) {
    const fs::path named = fs::absolute(argv[a]);
    if (!fs::is_directory(named)) {
      found.push_back(named);
      continue;
    }
    std::vector<fs::path> members;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(named)) {
      if (entry.is_regular_file()) members.push_back(entry.path());
    }
    std::sort(members.begin(), members.end());
    found.insert(found.end(), members.begin(), members.end());
  }
  return found;
}

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<fs::path> files = inputs(argc, argv);
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s <corpus file or folder>...: no input found\n", argv[0]);
    return 1;
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (const fs::path& file : files) {
    std::printf("%s\n", file.string().c_str());
    std::fflush(stdout);
    const std::vector<std::uint8_t> data = bytes_of(file);
    // A null pointer for an empty input, as libFuzzer may pass.
    LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
