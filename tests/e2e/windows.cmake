# What run_case.cmake does differently for a Windows program run under an emulator (Wine),
# included when it is given -DWINDOWS_IMAGES=<host folder that the program sees as C:\images\>.
#
# The program opens C:\images\ itself, so that folder is made a link to the case's images for
# the run (the tests that use it hold a CTest resource lock). Text files (the transcript, the
# descriptors) are written with CR LF line ends: the LF files of expected/ are compared in
# that form, rasters byte for byte. Cases that cannot hold on Windows are skipped, each with
# its reason printed.

if(DEFINED ENV{TORVANELLE_E2E_UPDATE})
  message(FATAL_ERROR "update the expected files from a native build: they are stored with LF")
endif()

# The reason `case` cannot run on Windows, or "" when it can.
function(windows_skip_reason case out_var)
  set(why "")
  if(EXISTS "${case}/links")
    set(why "it makes symbolic or hard links on the host, which are no Windows links")
  elseif(EXISTS "${case}/file_size_limit")
    set(why "a file size limit (prlimit) is a POSIX resource limit")
  elseif(EXISTS "${case}/skip_on_windows")
    file(STRINGS "${case}/skip_on_windows" why LIMIT_COUNT 1)
  endif()
  set(${out_var} "${why}" PARENT_SCOPE)
endfunction()

# Points C:\images\ at `images`, the case's copy. What had the name is an earlier run's link or
# an empty folder: anything else is refused rather than removed.
function(windows_images_begin images)
  if(IS_SYMLINK "${WINDOWS_IMAGES}")
    file(REMOVE "${WINDOWS_IMAGES}")
  elseif(IS_DIRECTORY "${WINDOWS_IMAGES}")
    file(GLOB inside "${WINDOWS_IMAGES}/*")
    if(inside)
      message(FATAL_ERROR "${WINDOWS_IMAGES} is not empty: the end-to-end cases need it")
    endif()
    file(REMOVE_RECURSE "${WINDOWS_IMAGES}")
  endif()
  get_filename_component(drive "${WINDOWS_IMAGES}" DIRECTORY)
  file(MAKE_DIRECTORY "${drive}" "${images}")
  file(CREATE_LINK "${images}" "${WINDOWS_IMAGES}" SYMBOLIC)
endfunction()

function(windows_images_end)
  file(REMOVE "${WINDOWS_IMAGES}")
endfunction()

# Whether `actual` holds the LF-ended text of `file` with CR LF line ends. (Compared as hex: a
# CMake string loses a trailing CR.)
function(windows_same_text file actual out_var)
  file(READ "${file}" want HEX)
  string(REGEX REPLACE "(..)" "\\1 " want "${want}")
  string(REPLACE "0a " "0d0a " want "${want}")  # a whole byte: every byte is followed by a space
  string(REPLACE " " "" want "${want}")
  file(READ "${actual}" got HEX)
  if(got STREQUAL want)
    set(${out_var} TRUE PARENT_SCOPE)
  else()
    set(${out_var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Standard error in the form the case stores it: LF line ends, the images as <run>/images/.
function(windows_stderr err_var)
  set(err "${${err_var}}")
  string(REPLACE "\r\n" "\n" err "${err}")
  string(REPLACE "C:\\images\\" "<run>/images/" err "${err}")
  string(REPLACE "\\" "/" err "${err}")
  set(${err_var} "${err}" PARENT_SCOPE)
endfunction()
