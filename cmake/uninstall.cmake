# Removes what `cmake --install` installed, by the list it left in the build
# (install_manifest.txt), then every folder under the install's prefix that the removal left
# empty, deepest first; the prefix itself and any folder still holding a file stay.
#
#   cmake -DMANIFEST=BUILD/install_manifest.txt -P cmake/uninstall.cmake
#
# The prefix is the folder that holds every installed file: `cmake --install --prefix` may
# have given another than the one configured.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "${MANIFEST} does not exist: nothing was installed from this build")
endif()
file(STRINGS "${MANIFEST}" files)
if(NOT files)
  return()
endif()
# Whether `path` lies under the folder `folder`.
function(under path folder result)
  string(FIND "${path}" "${folder}/" at)
  if(at EQUAL 0)
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

list(GET files 0 first)
get_filename_component(prefix "${first}" DIRECTORY)
set(folders "")
foreach(file IN LISTS files)
  file(REMOVE "${file}")
  get_filename_component(folder "${file}" DIRECTORY)
  # The prefix: the longest folder that starts every file's path.
  under("${file}" "${prefix}" inside)
  while(NOT inside)
    get_filename_component(prefix "${prefix}" DIRECTORY)
    under("${file}" "${prefix}" inside)
  endwhile()
  list(APPEND folders "${folder}")
endforeach()
# Every folder between a file and the prefix.
set(all "")
foreach(folder IN LISTS folders)
  under("${folder}" "${prefix}" inside)
  while(inside)
    list(APPEND all "${folder}")
    get_filename_component(folder "${folder}" DIRECTORY)
    under("${folder}" "${prefix}" inside)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES all)
list(SORT all ORDER DESCENDING)
foreach(folder IN LISTS all)
  file(GLOB left "${folder}/*" "${folder}/.*")
  if(NOT left AND IS_DIRECTORY "${folder}")
    file(REMOVE_RECURSE "${folder}")
  endif()
endforeach()
message(STATUS "Removed ${prefix}'s installed files and the folders they leave empty")
