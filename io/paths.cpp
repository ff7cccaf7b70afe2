#include "io/paths.h"

#include <algorithm>

#ifndef TORVANELLE_IMAGES_ROOT
#define TORVANELLE_IMAGES_ROOT "images/"
#endif

namespace torvanelle {

std::string folder_path(std::string_view folder) {
  std::string path(base_dir);
  path += folder;
  path += separator;
  return path;
}

std::string_view images_root() {
#ifdef _WIN32
  return base_dir;
#else
  return TORVANELLE_IMAGES_ROOT;
#endif
}

std::string host_path(std::string_view built) {
#ifdef _WIN32
  return std::string(built);
#else
  std::string host;
  if (built.starts_with(base_dir)) {
    host = images_root();
    built.remove_prefix(base_dir.size());
  }
  std::string rest(built);
  std::replace(rest.begin(), rest.end(), separator.front(), '/');
  return host + rest;
#endif
}

}  // namespace torvanelle
