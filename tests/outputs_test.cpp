// The one way every companion command puts its outputs in place: each destination checked at
// once against the sources and what is there, the files of all outputs moved together, stale
// sidecars removed, a container changed under the command refused, scratch left by a dead run
// swept away.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "cli/outputs.h"
#include "devtools/support.h"
#include "io/host.h"
#include "io/interrupts.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using torvanelle::cli::Error;
using torvanelle::cli::Outputs;
using torvanelle::cli::Sources;

std::set<std::string> names(const fs::path& dir) {
  std::set<std::string> found;
  for (const auto& e : fs::directory_iterator(dir))
    found.insert(e.path().filename().string());
  return found;
}

// Each destination: refused at once (with its message) or let through.
TEST(Outputs, EachDestinationIsRefusedOrLetThrough) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  support::write_file(dir / "source.tif", "pixels");
  support::write_file(dir / "member.tif", "a virtual raster's member");
  support::write_file(dir / "taken.gpkg", "lines");
  fs::create_directory(dir / "folder.tif");
  Sources sources;
  sources.add(dir / "source.tif");
  sources.add(dir / "member.tif");
  struct Case {
    fs::path output;
    bool overwrite;
    std::string refusal;  ///< empty: let through
  };
  std::vector<Case> cases = {
      {dir / "new.gpkg", false, ""},
      {dir / "taken.gpkg", true, ""},
      {dir / "taken.gpkg", false, "taken.gpkg exists: give --overwrite"},
      {dir / "source.tif", true, "source.tif is the source"},
      {dir / "member.tif", true, "member.tif is the source"},
      {dir / "." / "source.tif", true, "is the source"},
      {dir / "missing" / "out.gpkg", true, "the folder " + (dir / "missing").string()},
      {dir / "folder.tif", true, "folder.tif is a folder"},
  };
#ifndef _WIN32
  fs::create_symlink(dir / "source.tif", dir / "link.tif");
  fs::create_hard_link(dir / "source.tif", dir / "hard.tif");
  fs::create_symlink(dir / "nowhere", dir / "dangling.gpkg");
  ASSERT_EQ(mkfifo((dir / "fifo.tif").c_str(), 0600), 0);
  cases.insert(cases.end(), {
                                {dir / "link.tif", true, "link.tif is the source"},
                                {dir / "hard.tif", true, "hard.tif is the source"},
                                {dir / "dangling.gpkg", false, "dangling.gpkg exists"},
                                {dir / "fifo.tif", true, "fifo.tif is a FIFO, not a regular file"},
                                {"/dev/null", true, "/dev/null is a device, not a regular file"},
                            });
  EXPECT_THROW(sources.add(dir / "fifo.tif"), Error) << "a FIFO is no source either";
#endif
  for (const Case& c : cases) {
    Outputs outputs(c.overwrite);
    try {
      outputs.add(c.output, sources);
      EXPECT_EQ(c.refusal, "") << c.output;
      EXPECT_THROW(outputs.add(c.output, sources), Error) << "one path, two outputs";
    } catch (const Error& e) {
      EXPECT_NE(c.refusal, "") << c.output << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
  }
}

// A command's outputs move together, or none when one file would replace a file without
// --overwrite or a source; a replaced dataset's files that the new one does not write go too.
TEST(Outputs, MoveTogetherOrNotAtAllAndTakeStaleSidecarsAlong) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  support::write_file(dir / "l.dbf", "old table");
  const auto family = [&](const fs::path&) {
    return std::vector<fs::path>{dir / "l.shp", dir / "l.dbf", dir / "l.sbn"};
  };
  const auto stage = [&](Outputs& o, Sources& sources) {
    const fs::path shp = o.add(dir / "l.shp", sources, {false, family, {}});
    for (const char* ext : {".shp", ".shx", ".dbf"})
      support::write_file(shp.parent_path() / (std::string("l") + ext), ext);
    support::write_file(o.add(dir / "report.txt", sources), "report");
  };
  {
    Sources none;
    Outputs o(false);
    stage(o, none);
    EXPECT_THROW(o.commit(none), Error) << "l.dbf exists";
  }
  {
    Sources table;
    table.add(dir / "l.dbf");
    Outputs o(true);
    stage(o, table);
    EXPECT_THROW(o.commit(table), Error) << "l.dbf is read";
  }
  EXPECT_EQ(names(dir), std::set<std::string>{"l.dbf"}) << "nothing but the old file is left";
  support::write_file(dir / "l.shp", "old lines");
  support::write_file(dir / "l.sbn", "old spatial index");
  {
    Sources none;
    Outputs o(true);
    stage(o, none);
    o.commit(none);
  }
  EXPECT_EQ(names(dir), (std::set<std::string>{"l.dbf", "l.shp", "l.shx", "report.txt"}));
  EXPECT_EQ(support::read_file(dir / "l.dbf"), ".dbf");
}

// Two commands that put one shapefile in place at the same moment leave the files of one of
// them, never the .shp of one and the .dbf of the other.
TEST(Outputs, TwoCommandsMovingOneDatasetLeaveOneWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "needs fork";
#else
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  const auto family = [&](const fs::path&) {
    return std::vector<fs::path>{dir / "l.shp", dir / "l.shx", dir / "l.dbf"};
  };
  // Stages the three files holding `who`, waits at the barrier, then commits.
  const auto command = [&](const std::string& who, int wait_fd, int tell_fd) {
    Sources none;
    Outputs o(true);
    const fs::path shp = o.add(dir / "l.shp", none, {false, family, {}});
    for (const char* ext : {".shp", ".shx", ".dbf"})
      support::write_file(shp.parent_path() / (std::string("l") + ext), who);
    char byte = 0;
    if (write(tell_fd, &byte, 1) != 1 || read(wait_fd, &byte, 1) != 1) return false;
    o.commit(none);
    return true;
  };
  for (int round = 0; round < 300; ++round) {
    int to_child[2], to_parent[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(to_parent), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      bool done = false;
      try {
        done = command("child", to_child[0], to_parent[1]);
      } catch (...) {
      }
      _exit(done ? 0 : 1);
    }
    const bool done = command("parent", to_parent[0], to_child[1]);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {to_child[0], to_child[1], to_parent[0], to_parent[1]})
      close(fd);
    ASSERT_TRUE(done);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string shp = support::read_file(dir / "l.shp");
    ASSERT_EQ(support::read_file(dir / "l.shx"), shp) << "round " << round;
    ASSERT_EQ(support::read_file(dir / "l.dbf"), shp) << "round " << round;
  }
#endif
}

// Once the outputs are in place, a signal no longer ends the run as killed: the caller reports
// the complete result it has. (Were it still caught, the handler would end this test program.)
TEST(Outputs, ASignalAfterTheOutputsAreInPlaceChangesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows delivers console signals on a thread of their own";
#endif
  support::ScratchDir scratch;
  torvanelle::catch_interrupts();
  Sources none;
  Outputs o(false);
  support::write_file(o.add(scratch.path() / "result.tif", none), "pixels");
  o.commit(none);
  std::raise(SIGTERM);
  std::signal(SIGTERM, SIG_DFL);
  EXPECT_EQ(support::read_file(scratch.path() / "result.tif"), "pixels");
}

// A container is changed in a copy; it replaces the file only if nobody changed the file since.
TEST(Outputs, AContainerChangedUnderTheCommandIsNotReplaced) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  support::write_file(dir / "c.gpkg", "layers a and b");
  for (const bool changed : {false, true}) {
    Sources none;
    Outputs o(false);
    const fs::path copy = o.add(dir / "c.gpkg", none, {true, {}, {}});
    EXPECT_EQ(support::read_file(copy), support::read_file(dir / "c.gpkg"));
    support::write_file(copy, support::read_file(copy) + " and c");
    if (changed) {
      support::write_file(dir / "c.gpkg", "another run's layers a, b and d");
      EXPECT_THROW(o.commit(none), Error);
      EXPECT_EQ(support::read_file(dir / "c.gpkg"), "another run's layers a, b and d");
    } else {
      o.commit(none);
      EXPECT_EQ(support::read_file(dir / "c.gpkg"), "layers a and b and c");
    }
  }
}

// Scratch folders of a run that died are removed by the next run there; a live run's are not.
TEST(Outputs, ScratchOfADeadRunIsSweptAndALiveOneKept) {
#ifdef _WIN32
  GTEST_SKIP() << "the C++ library here cannot set a folder's time, which ages the dead folders";
#endif
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const char* name : {".torvanelle-0123abcd", ".torvanelle-live0000", ".torvanelle-fedc3210",
                           ".torvanelle-other"}) {
    fs::create_directory(dir / name);
    support::write_file(dir / name / "part.tif", "half a raster");
    fs::last_write_time(dir / name, old);
  }
  fs::rename(dir / ".torvanelle-live0000", dir / ".torvanelle-12345678");
  const torvanelle::FolderClaim live((dir / ".torvanelle-12345678").string());
  ASSERT_TRUE(live.held());
  fs::create_directory(dir / ".torvanelle-9abcdef0");  // just made: its claim may be coming
  Outputs::sweep_abandoned(dir);
  EXPECT_EQ(names(dir), (std::set<std::string>{".torvanelle-12345678", ".torvanelle-9abcdef0",
                                               ".torvanelle-other"}));
}

}  // namespace
