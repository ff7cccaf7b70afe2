#include "cli/outputs.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <set>

#include "io/host.h"
#include "io/interrupts.h"

namespace torvanelle::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* scratch_prefix = ".torvanelle-";
constexpr std::size_t scratch_digits = 8;
/// A folder is claimed at once after it is made: one older than this and unclaimed is dead.
constexpr auto claim_delay = std::chrono::seconds(2);

/// Eight random hexadecimal digits, so that concurrent commands never share a scratch folder.
std::string random_suffix(std::mt19937& bits) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < scratch_digits; ++i)
    s += digits[bits() % 16];
  return s;
}

bool is_scratch_name(const std::string& name) {
  const std::string prefix = scratch_prefix;
  return name.size() == prefix.size() + scratch_digits && name.starts_with(prefix) &&
         name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

/// Whether `a` and `b` are one file (also through links), or one name when either is missing.
bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

bool taken(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec) || fs::is_symlink(p, ec);
}

/// What tells whether a file changed: its size and last write.
struct Snapshot {
  std::uintmax_t size = 0;
  fs::file_time_type written{};
  bool operator==(const Snapshot&) const = default;
};

std::optional<Snapshot> snapshot(const fs::path& p) {
  std::error_code ec;
  Snapshot s{fs::file_size(p, ec), {}};
  if (ec) return std::nullopt;
  s.written = fs::last_write_time(p, ec);
  if (ec) return std::nullopt;
  return s;
}

}  // namespace

fs::path folder_of(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : "."; }

void refuse_special(const fs::path& path, const std::string& role) {
  std::error_code ec;
  const fs::file_status s = fs::status(path, ec);
  if (ec || !fs::exists(s) || fs::is_regular_file(s) || fs::is_directory(s)) return;
  const char* what = fs::is_fifo(s)                                     ? "a FIFO"
                     : fs::is_character_file(s) || fs::is_block_file(s) ? "a device"
                     : fs::is_socket(s)                                 ? "a socket"
                                                                        : "a special file";
  throw Error(path.string() + " is " + what + ", not a regular file: it cannot be " +
              (role == "the output" ? "written as " : "read as ") + role);
}

void Sources::add(const fs::path& file) {
  refuse_special(file, "the source");
  files_.push_back(file);
}

bool Sources::holds(const fs::path& path) const {
  return std::any_of(files_.begin(), files_.end(),
                     [&](const fs::path& f) { return same_file(path, f); });
}

struct Outputs::Output {
  fs::path path;
  OutputKind kind;
  fs::path scratch;
  std::vector<fs::path> beside;  ///< files that go with it, in the same folder
  std::optional<FolderClaim> claim;
  int ticket = -1;                    ///< the signal handler's registration of scratch
  std::optional<Snapshot> container;  ///< the container as it was copied

  fs::path staged() const { return scratch / path.filename(); }

  ~Output() {
    claim.reset();  // Windows removes no folder held open
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
    forget_file(ticket);
  }
};

Outputs::Outputs(bool overwrite) : overwrite_(overwrite) {}

Outputs::~Outputs() = default;

void Outputs::sweep_abandoned(const fs::path& folder) {
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator e(folder, ec), end; !ec && e != end; e.increment(ec)) {
    std::error_code ignored;
    if (!is_scratch_name(e->path().filename().string()) || !e->is_directory(ignored)) continue;
    const auto written = fs::last_write_time(e->path(), ignored);
    if (!ignored && now - written > claim_delay && unclaimed(e->path().string()))
      fs::remove_all(e->path(), ignored);
  }
}

void Outputs::check(const fs::path& path, const Sources& sources, bool container) const {
  std::error_code ec;
  const fs::path folder = folder_of(path);
  refuse_special(path, "the output");
  if (fs::is_directory(path, ec)) throw Error(path.string() + " is a folder, not a file");
  if (!fs::is_directory(folder, ec))
    throw Error(path.string() + ": the folder " + folder.string() + " does not exist");
  if (sources.holds(path))
    throw Error(path.string() +
                " is the source or a file it is made of: a tool never writes over what it reads");
  for (const auto& o : outputs_) {
    const bool named = same_file(o->path, path) ||
                       std::any_of(o->beside.begin(), o->beside.end(),
                                   [&](const fs::path& b) { return same_file(b, path); });
    if (named) throw Error(path.string() + " is named for two outputs");
  }
  if (!overwrite_ && !container && taken(path))
    throw Error(path.string() + " exists: give --overwrite to replace it");
}

fs::path Outputs::add_beside(const fs::path& first, const fs::path& path, const Sources& sources) {
  check(path, sources, false);
  for (const auto& o : outputs_) {
    if (o->path == first) {
      o->beside.push_back(path);
      return o->scratch / path.filename();
    }
  }
  throw Error(path.string() + ": " + first.string() + " is not an output");
}

fs::path Outputs::add(const fs::path& path, const Sources& sources, OutputKind kind) {
  std::error_code ec;
  const fs::path folder = folder_of(path);
  check(path, sources, kind.container);

  auto out = std::make_unique<Output>();
  out->path = path;
  out->kind = std::move(kind);
  sweep_abandoned(folder);
  std::mt19937 bits(std::random_device{}());
  {
    // A signal waits until the folder is the handler's to remove.
    const InterruptsHeld held;
    for (int attempt = 0; attempt < 100 && out->scratch.empty(); ++attempt) {
      const fs::path candidate = folder / (scratch_prefix + random_suffix(bits));
      if (fs::create_directory(candidate, ec)) {
        out->scratch = candidate;
      } else if (ec) {
        throw Error("cannot create a scratch folder in " + folder.string() + ": " + ec.message());
      }
    }
    if (out->scratch.empty()) throw Error("cannot create a scratch folder in " + folder.string());
    out->claim.emplace(out->scratch.string());
    out->ticket = remove_folder_on_interrupt(out->scratch.string());
  }
  if (out->kind.container && taken(path)) {
    out->container = snapshot(path);
    fs::copy_file(path, out->staged(), ec);
    if (ec || !out->container) throw Error("cannot read " + path.string() + ": " + ec.message());
  }
  outputs_.push_back(std::move(out));
  return outputs_.back()->staged();
}

namespace {

/// The names written in `scratch`.
std::vector<fs::path> written_in(const fs::path& scratch, const fs::path& shown) {
  std::error_code ec;
  std::vector<fs::path> names;
  for (fs::directory_iterator f(scratch, ec), end; !ec && f != end; f.increment(ec))
    names.push_back(f->path().filename());
  if (ec) throw Error("cannot write " + shown.string() + ": " + ec.message());
  return names;
}

}  // namespace

namespace {

/// One lock a folder of `paths`, taken in one order, so that two commands' moves never
/// interleave.
std::vector<std::unique_ptr<FileLock>> lock_folders(const std::vector<fs::path>& paths) {
  std::set<fs::path> folders;
  for (const fs::path& path : paths)
    folders.insert(fs::weakly_canonical(folder_of(path)));
  std::vector<std::unique_ptr<FileLock>> locks;
  for (const fs::path& folder : folders)
    locks.push_back(std::make_unique<FileLock>((folder / ".torvanelle.lock").string()));
  return locks;
}

/// Refuses `target` as the place of a written file, now that the move is near: things may have
/// changed since the output was declared.
void check_target(const fs::path& target, const Sources& sources, bool may_replace) {
  if (sources.holds(target))
    throw Error(target.string() +
                " is the source or a file it is made of: a tool never writes over what it reads");
  refuse_special(target, "the output");
  std::error_code ec;
  if (fs::is_directory(target, ec)) throw Error(target.string() + " is a folder, not a file");
  if (!may_replace && taken(target))
    throw Error(target.string() + " exists: give --overwrite to replace it");
}

}  // namespace

void Outputs::plan(const Output& o, const Sources& sources, Plan& plan) const {
  const fs::path folder = folder_of(o.path);
  const bool was_there = taken(o.path);
  if (o.kind.container &&
      (was_there != o.container.has_value() || (was_there && snapshot(o.path) != o.container))) {
    throw Error(o.path.string() +
                " was changed by another command while this one wrote to it: nothing was "
                "written; run the command again");
  }
  const std::vector<fs::path> names = written_in(o.scratch, o.path);
  for (const fs::path& name : names) {
    const bool container_itself = o.kind.container && name == o.path.filename();
    check_target(folder / name, sources, overwrite_ || container_itself);
    plan.moves.push_back({o.scratch / name, folder / name});
  }
  // An earlier dataset at the output goes whole when this one replaces it.
  if (was_there && !o.kind.container && o.kind.family) {
    for (const fs::path& f : o.kind.family(o.path)) {
      const bool rewritten = std::find(names.begin(), names.end(), f.filename()) != names.end();
      if (!rewritten && !sources.holds(f)) plan.stale.push_back(f);
    }
  }
}

void Outputs::commit(const Sources& sources) {
  std::vector<fs::path> paths;
  for (const auto& o : outputs_) {
    if (o->kind.verify) o->kind.verify(o->staged());
    paths.push_back(o->path);
  }
  const auto locks = lock_folders(paths);
  Plan plan;
  for (const auto& o : outputs_)
    this->plan(*o, sources, plan);
  // The moves are done whole: a signal now waits until every file is in place, and then no
  // longer counts.
  const InterruptsHeld held;
  for (const Move& m : plan.moves) {
    std::error_code ec;
    fs::rename(m.from, m.to, ec);
    if (ec) throw Error("cannot write " + m.to.string() + ": " + ec.message());
  }
  for (const fs::path& f : plan.stale) {
    std::error_code ignored;
    fs::remove(f, ignored);
  }
  ignore_interrupts();
}

}  // namespace torvanelle::cli
