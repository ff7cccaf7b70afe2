#include "app/opening.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "io/console.h"
#include "io/descriptor.h"
#include "io/host.h"
#include "io/keywait.h"
#include "io/paths.h"
#include "io/questions.h"
#include "io/safe_files.h"

namespace torvanelle {
namespace {

/// The names the dialogue builds besides st.nomim1, in their built form.
struct Names {
  std::string nomdir;     ///< the folder name as typed
  std::string nomfic1;    ///< the input name, then the output name
  std::string nomdescr1;  ///< the input descriptor path
  std::string nomim2;     ///< the folder path, then the output raster path
  std::string nomdescr2;  ///< the output descriptor path
};

bool any_number(std::int32_t /*value*/) { return true; }

std::string box_line(const char* text, std::size_t right_margin) {
  const std::string content(text);
  const std::size_t width = 60;
  return std::string(width - right_margin - content.size(), ' ') + content +
         std::string(right_margin, ' ');
}

void say_banner(std::ostream& out) {
  const std::string stars(62, '*');
  const std::string blank(60, ' ');
  const std::string lines[10] = {
      blank,
      std::string(22, ' ') + "TORVANELLE" + std::string(28, ' '),
      blank,
      blank,
      blank,
      box_line("Written by the Torvanelle developers", 7),
      box_line("Created on 2026-11-02", 6),
      blank,
      box_line("Updated on 2026-12-08", 6),
      blank,
  };
  say(out, "\n\n\t%s", stars.c_str());
  for (const std::string& line : lines)
    say(out, "\n\t*%s*", line.c_str());
  say(out, "\n\t%s", stars.c_str());
}

/// A path longer than a name buffer holds is refused, naming the path.
bool fits(const std::string& path, std::ostream& out) {
  if (path.size() <= path_max) return true;
  say(out, "\n\tThe path %s is %zu bytes long, more than %zu: a shorter name is expected ",
      shown(path).c_str(), path.size(), path_max);
  return false;
}

/// The folder and the input name, and the input paths built from them.
bool ask_input_names(State& st, Names& n, std::istream& in, std::ostream& out) {
  const auto folder_usable = [&out](const std::string& folder) {
    // The input name needs one character at least.
    const std::size_t folder_max = input_names_max - 1;
    if (folder.size() <= folder_max) return true;
    say(out, "\n\tThe folder name %s is %zu bytes long, more than %zu: a shorter name is expected ",
        shown(folder).c_str(), folder.size(), folder_max);
    return false;
  };
  if (!ask_name(in, out, "\n\n\tName of the File Folder located in the Directory C:\\images : ",
                n.nomdir, folder_usable))
    return false;
  st.nomim1 = folder_path(n.nomdir);
  n.nomim2 = st.nomim1;
  const auto name_usable = [&](const std::string& name) {
    return fits(st.nomim1 + name + std::string(raster_ext), out);
  };
  if (!ask_name(in, out, "\n\tName of the input File (without extension .raw) ? ", n.nomfic1,
                name_usable))
    return false;
  st.nomim1 += n.nomfic1;
  n.nomdescr1 = st.nomim1 + std::string(descriptor_ext);
  st.nomim1 += raster_ext;
  return true;
}

/// Descriptor missing: the size and pixel size asked, the other values set.
bool ask_size(State& st, std::istream& in, std::ostream& out) {
  const auto lines_usable = [&out](std::int32_t lines) {
    if (lines >= 0) return true;
    say(out, "\n\tThe number of lines %d is negative: 0 or more is expected ", lines);
    return false;
  };
  const auto columns_usable = [&](std::int32_t columns) {
    const char* fault = size_fault(st.nb_lig, columns);
    if (fault == nullptr && beyond_memory(st.nb_lig, columns, physical_memory()))
      fault = "its three rasters need more memory than this machine has";
    if (fault == nullptr) return true;
    say(out, "\n\tAn image of %d lines and %d columns is not possible: %s ", st.nb_lig, columns,
        fault);
    return false;
  };
  if (!ask_number(in, out, "\n\t\tNumber of lines   ? ", st.nb_lig, lines_usable) ||
      !ask_number(in, out, "\n\t\tNumber of columns ? ", st.nb_col, columns_usable) ||
      !ask_number(in, out, "\n\t\tPixel size        ? ", st.taille_pix, any_number))
    return false;
  st.type = 1;
  st.min_al = 0;
  st.max_al = 255;
  return true;
}

/// Descriptor missing: the input folder gains a descriptor holding the answers. It is written
/// under a temporary name and given its own only if no file has taken that name meanwhile: an
/// existing file is never overwritten, and none is left half written.
Flow create_input_descriptor(State& st, const Names& n, std::ostream& out) {
  TempFile file;
  if (file.create(host_path(n.nomdescr1), "w")) {
    const bool written = write_descriptor(file.get(), st) && flush_to_disk(file.get());
    if (file.close() && written && file.place_if_absent()) return Flow::proceed;
  }
  say(out, "\n\tThe file %s cannot be created: the run stops \n", n.nomdescr1.c_str());
  return Flow::failed;
}

/// The rasters of the image cannot be had: refused before they are asked for when they are
/// beyond the machine's memory, as an allocator that promises more than the machine holds would
/// only fail later.
Flow say_memory_lacking(const State& st, std::ostream& out) {
  say(out,
      "\n\tThe memory for three rasters of %d lines and %d columns cannot be had: "
      "the run stops \n",
      st.nb_lig, st.nb_col);
  return Flow::failed;
}

/// What a descriptor that gives fewer than two integers holds instead, `first` being the one
/// integer read if any.
std::string found_instead(int count, std::int32_t first, const std::string& stopped_at) {
  const std::string read = count == 0 ? "" : std::to_string(first);
  if (stopped_at.empty()) return count == 0 ? "it holds no number" : "it holds " + read + " only";
  return (count == 0 ? "" : "after " + read + " ") + "it holds \"" + shown(stopped_at) + "\"";
}

/// The size read from an existing input descriptor, which must give the lines and columns at
/// least, an image the machine can hold.
Flow read_descriptor_file(State& st, const Names& n, std::ostream& out) {
  std::string stopped_at;
  const int count = read_descriptor(st.f1d.get(), st, &stopped_at);
  st.f1d.reset();
  if (count < 2) {
    say(out,
        "\n\tThe descriptor %s does not begin with the numbers of lines and columns: %s; the run "
        "stops \n",
        n.nomdescr1.c_str(), found_instead(count, st.nb_lig, stopped_at).c_str());
    return Flow::failed;
  }
  if (const char* fault = size_fault(st.nb_lig, st.nb_col)) {
    say(out, "\n\tThe descriptor %s gives %d lines and %d columns: %s; the run stops \n",
        n.nomdescr1.c_str(), st.nb_lig, st.nb_col, fault);
    return Flow::failed;
  }
  if (beyond_memory(st.nb_lig, st.nb_col, physical_memory())) return say_memory_lacking(st, out);
  return Flow::proceed;
}

/// The size read from the input descriptor, or asked and the descriptor created when there is
/// no file of that name. A descriptor that exists but cannot be read stops the run: it is the
/// user's file, and writing one in its place would lose it.
Flow read_or_create_descriptor(State& st, const Names& n, std::istream& in, std::ostream& out) {
  errno = 0;
  st.f1d.reset(std::fopen(host_path(n.nomdescr1).c_str(), "r"));
  if (st.f1d != nullptr) return read_descriptor_file(st, n, out);
  if (errno != ENOENT) {
    say(out, "\n\tThe file %s cannot be read (%s): the run stops \n", n.nomdescr1.c_str(),
        std::strerror(errno));
    return Flow::failed;
  }
  say(out, "\n\tNo File %s \n\n", n.nomdescr1.c_str());
  if (!ask_size(st, in, out)) {
    say_end_of_input(out);
    return Flow::failed;
  }
  return create_input_descriptor(st, n, out);
}

void say_size(const State& st, std::ostream& out) {
  say(out, "\n\t     THE INPUT IMAGE HAS :  ");
  say(out, "\n\t            %d LINES", st.nb_lig);
  say(out, "\n\t        AND %d COLUMNS", st.nb_col);
}

bool same_file(const std::string& built_a, const std::string& built_b) {
  if (built_a == built_b) return true;
  std::error_code error;
  return std::filesystem::equivalent(host_path(built_a), host_path(built_b), error);
}

/// An output name is refused when its paths would not fit a name buffer, or when an output
/// file would be one of the input files (input dem1_venc8, output name dem1): creating the
/// outputs would empty the input before it is read.
bool output_name_usable(const State& st, const Names& n, const std::string& name,
                        std::ostream& out) {
  const std::string raster = n.nomim2 + name + std::string(output_raster_suffix);
  if (!fits(raster, out)) return false;
  const std::string descriptor = n.nomim2 + name + std::string(output_descriptor_suffix);
  for (const std::string* output : {&raster, &descriptor}) {
    for (const std::string* input : {&st.nomim1, &n.nomdescr1}) {
      if (!same_file(*output, *input)) continue;
      say(out, "\n\tThe output %s would overwrite the input %s: another name is expected ",
          output->c_str(), input->c_str());
      return false;
    }
  }
  return true;
}

/// The naming choice, asked until it is 0 or 1.
bool ask_naming_choice(const Names& n, std::int32_t& rep, std::istream& in, std::ostream& out) {
  const std::string prompt =
      "\n\n\tName of the output image : "
      "\n\t\t0 -----> Taking into account the Generic Name " +
      n.nomfic1 + " ? \n\t\t1 -----> Creating a new File ? \n\t\t";
  return ask_number_between(in, out, prompt, rep, 0, 1);
}

/// The output name chosen, and the output paths built from it.
bool choose_output_name(const State& st, Names& n, std::istream& in, std::ostream& out) {
  const auto usable = [&](const std::string& name) { return output_name_usable(st, n, name, out); };
  for (bool chosen = false; !chosen;) {
    std::int32_t rep = -1;
    if (!ask_naming_choice(n, rep, in, out)) return false;
    if (rep == 0) {
      chosen = usable(n.nomfic1);
      continue;
    }
    if (!ask_name(in, out, "\n\tName of the File to be created (without extension _venc8.raw) ? ",
                  n.nomfic1, usable))
      return false;
    chosen = true;
  }
  n.nomim2 += n.nomfic1;
  n.nomdescr2 = n.nomim2 + std::string(output_descriptor_suffix);
  n.nomim2 += output_raster_suffix;
  return true;
}

/// Creates one output file under its temporary name; the run removes it unless save puts it in
/// place.
bool create_output(TempFile& file, const std::string& built, const char* mode, std::ostream& out) {
  if (file.create(host_path(built), mode)) return true;
  say(out, "\n\tThe file %s cannot be created: the run stops \n", built.c_str());
  return false;
}

/// Both output files created before any work, the descriptor header written. They are
/// temporaries until save puts them in place: an earlier result under the same names stays as
/// it is until then.
Flow create_outputs(State& st, const Names& n, std::ostream& out) {
  st.nomim2 = n.nomim2;
  st.nomdescr2 = n.nomdescr2;
  if (!create_output(st.f2, n.nomim2, "wb", out) || !create_output(st.f2d, n.nomdescr2, "w", out))
    return Flow::failed;
  if (!write_descriptor(st.f2d.get(), st)) {
    say(out, "\n\tThe file %s cannot be written: the run stops \n", n.nomdescr2.c_str());
    return Flow::failed;
  }
  return Flow::proceed;
}

/// The three rasters, columns first. 0 lines gives null rasters: the empty image.
Flow allocate_rasters(State& st, std::ostream& out) {
  st.tab = OwnedRaster(st.nb_col, st.nb_lig);
  st.tab_in = OwnedRaster(st.nb_col, st.nb_lig);
  st.tab_out = OwnedRaster(st.nb_col, st.nb_lig);
  if (st.nb_lig == 0 || (st.tab && st.tab_in && st.tab_out)) return Flow::proceed;
  return say_memory_lacking(st, out);
}

/// The input raster opened, or the "No File" ending. Where it was looked for on this host goes
/// to `err`, for a user who started the program from another folder than they meant.
Flow open_input_raster(State& st, std::ostream& out, std::ostream& err) {
  const std::string host = host_path(st.nomim1);
  errno = 0;
  st.f1.reset(std::fopen(host.c_str(), "rb"));
  if (st.f1 != nullptr) {
    // Measured by name, not through f1: seeking f1 would fill its buffer before lecture reads.
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(host, error);
    st.f1_bytes = error ? -1 : static_cast<long long>(length);
    return Flow::proceed;
  }
  const char* why = std::strerror(errno);
  say(out, "\n\tNo File %s \n", st.nomim1.c_str());
  std::error_code ignored;
  err << "torvanelle: no file " << std::filesystem::absolute(host, ignored).string() << " (" << why
      << ")\n";
  wait_for_key();
  return Flow::done;
}

Flow stop_at_end_of_input(std::ostream& out) {
  say_end_of_input(out);
  return Flow::failed;
}

}  // namespace

Flow opening(State& st, std::istream& in, std::ostream& out, std::ostream& err) {
  Names n;
  say_banner(out);
  if (!ask_input_names(st, n, in, out)) return stop_at_end_of_input(out);
  if (const Flow flow = open_input_raster(st, out, err); flow != Flow::proceed) return flow;
  if (const Flow flow = read_or_create_descriptor(st, n, in, out); flow != Flow::proceed)
    return flow;
  say_size(st, out);
  if (!choose_output_name(st, n, in, out)) return stop_at_end_of_input(out);
  if (const Flow flow = create_outputs(st, n, out); flow != Flow::proceed) return flow;
  return allocate_rasters(st, out);
}

}  // namespace torvanelle
