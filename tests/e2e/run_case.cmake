# Runs the built program through one end-to-end case, or through every case of a group, and
# fails when anything differs from what the case expects.
#
#   cmake -DPROGRAM=<torvanelle> -DCASE=<case or group folder> -DWORK=<scratch folder>
#         -P run_case.cmake
#
# A Windows program is run through an emulator: -DEMULATOR=<command and arguments, separated
# by |> -DWINDOWS_IMAGES=<the host folder that the program sees as C:\images\> (windows.cmake).
#
# A case folder holds:
#   answers.txt            standard input of the run (an empty file is a closed input)
#   images/                the image folder tree the run starts with (may be absent)
#   links                  optional: links added to that tree before the run, which the
#                          repository itself does not hold, one per line: "PATH TARGET" makes
#                          PATH a symbolic link to TARGET, "PATH TARGET hard" a hard link to the
#                          file TARGET; both paths relative to images/
#   file_size_limit        optional: the largest file, in bytes, that the run may write (a disk
#                          that fills up); writing beyond it fails with EFBIG
#   expected/transcript.txt  everything the run prints on standard output, byte for byte
#   expected/stderr        what it prints on standard error, the run's folder written <run>
#                          (absent: nothing, so a sanitizer report never passes for a failure)
#   expected/status        the exit status (absent: 0)
#   expected/images/       every file the run creates or changes, byte for byte
#   expected/removed       files under images/ that the run must remove, one per line (a failed
#                          run removes the outputs it created, even where they were links)
#   skip_on_windows        optional: why the case cannot hold on Windows, where it is skipped
# Afterwards every other file under images/ must be byte-identical to the one the run started
# with, and no other file may appear.
#
# A group folder holds case folders only; each runs in turn and every difference is reported.
# A test whose every case is skipped prints "every case skipped" (CTest reports it skipped).
#
# With the environment variable TORVANELLE_E2E_UPDATE set, the expected/ folder of each case is
# rewritten from what the run produced (review the diff before committing it).

cmake_minimum_required(VERSION 3.25)

foreach(var PROGRAM CASE WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_case.cmake needs -D${var}=...")
  endif()
endforeach()

# Without a controlling terminal the "No File" ending does not wait for a key, so a run
# started from an interactive shell never blocks on that shell's terminal.
find_program(SETSID setsid)
set(launcher)
if(DEFINED EMULATOR)
  string(REPLACE "|" ";" launcher "${EMULATOR}")
elseif(SETSID)
  set(launcher ${SETSID} --wait)
endif()
if(DEFINED WINDOWS_IMAGES)
  include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
endif()

# Files under `dir`, as paths relative to it, sorted.
function(files_under dir out_var)
  set(found)
  if(IS_DIRECTORY "${dir}")
    file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
    list(SORT found)
  endif()
  set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

function(same_bytes a b out_var)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${a}" "${b}"
                  RESULT_VARIABLE differ OUTPUT_QUIET ERROR_QUIET)
  if(differ EQUAL 0)
    set(${out_var} TRUE PARENT_SCOPE)
  else()
    set(${out_var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Compares the files the run left under images/ with the files the case expects there. `links`
# holds an entry "PATH=ORIGIN" for each link the case added: PATH must still show the bytes of
# ORIGIN, the file of the case it was made to.
function(check_images case run_dir links problems_var)
  set(problems "${${problems_var}}")
  foreach(link IN LISTS links)
    string(REPLACE "=" ";" parts "${link}")
    list(GET parts 0 path)
    list(GET parts 1 origin)
    list(APPEND linked_paths "${path}")
    same_bytes("${origin}" "${run_dir}/images/${path}" same)
    if(NOT same)
      string(APPEND problems "images/${path} no longer shows the bytes of ${origin}\n")
    endif()
  endforeach()
  files_under("${case}/images" given)
  files_under("${case}/expected/images" changed)
  set(expected ${given} ${changed})
  list(REMOVE_DUPLICATES expected)
  list(SORT expected)
  set(removed)
  if(EXISTS "${case}/expected/removed")
    file(STRINGS "${case}/expected/removed" removed)
  endif()
  foreach(f IN LISTS removed)
    list(REMOVE_ITEM expected "${f}")
    if(EXISTS "${run_dir}/images/${f}" OR IS_SYMLINK "${run_dir}/images/${f}")
      string(APPEND problems "images/${f} should have been removed\n")
    endif()
  endforeach()
  files_under("${run_dir}/images" actual)
  foreach(f IN LISTS actual)
    if(NOT f IN_LIST expected AND NOT f IN_LIST removed AND NOT f IN_LIST linked_paths)
      string(APPEND problems "unexpected file images/${f}\n")
    endif()
  endforeach()
  foreach(f IN LISTS expected)
    set(want "${case}/images/${f}")
    if(f IN_LIST changed)
      set(want "${case}/expected/images/${f}")
    endif()
    if(NOT EXISTS "${run_dir}/images/${f}")
      string(APPEND problems "missing file images/${f}\n")
      continue()
    endif()
    if(COMMAND windows_same_text AND f IN_LIST changed AND f MATCHES "\\.txt$")
      windows_same_text("${want}" "${run_dir}/images/${f}" same)
    else()
      same_bytes("${want}" "${run_dir}/images/${f}" same)
    endif()
    if(NOT same)
      file(READ "${run_dir}/images/${f}" got HEX)
      string(APPEND problems "images/${f} differs from ${want}; it holds (hex) ${got}\n")
    endif()
  endforeach()
  set(${problems_var} "${problems}" PARENT_SCOPE)
endfunction()

# Rewrites expected/ from the run: transcript, status and every file created or changed.
function(update_expected case run_dir out_dir status links)
  set(removed)
  if(EXISTS "${case}/expected/removed")
    file(READ "${case}/expected/removed" removed)
  endif()
  file(REMOVE_RECURSE "${case}/expected")
  file(MAKE_DIRECTORY "${case}/expected")
  if(NOT "${removed}" STREQUAL "")
    file(WRITE "${case}/expected/removed" "${removed}")
  endif()
  file(COPY_FILE "${out_dir}/stdout" "${case}/expected/transcript.txt")
  read_stderr("${out_dir}" "${run_dir}" err)
  if(NOT err STREQUAL "")
    file(WRITE "${case}/expected/stderr" "${err}")
  endif()
  if(NOT status EQUAL 0)
    file(WRITE "${case}/expected/status" "${status}\n")
  endif()
  files_under("${run_dir}/images" actual)
  foreach(f IN LISTS actual)
    if("${links}" MATCHES "(^|;)${f}=")
      continue()  # a link the case added, checked against the file it was made to
    endif()
    set(same FALSE)
    if(EXISTS "${case}/images/${f}")
      same_bytes("${case}/images/${f}" "${run_dir}/images/${f}" same)
    endif()
    if(NOT same)
      get_filename_component(sub "${case}/expected/images/${f}" DIRECTORY)
      file(MAKE_DIRECTORY "${sub}")
      file(COPY_FILE "${run_dir}/images/${f}" "${case}/expected/images/${f}")
    endif()
  endforeach()
endfunction()

# What the run printed on standard error, its folder written <run>.
function(read_stderr out_dir run_dir out_var)
  file(READ "${out_dir}/stderr" err)
  string(REPLACE "${run_dir}" "<run>" err "${err}")
  if(COMMAND windows_stderr)
    windows_stderr(err)
  endif()
  set(${out_var} "${err}" PARENT_SCOPE)
endfunction()

# Runs one case in a fresh copy of its images under `work`; appends what went wrong, as text.
function(run_case case work problems_var)
  if(COMMAND windows_skip_reason)
    windows_skip_reason("${case}" why)
    if(NOT why STREQUAL "")
      get_filename_component(name "${case}" NAME)
      message(STATUS "skipped on Windows: ${name}: ${why}")
      set_property(GLOBAL APPEND PROPERTY skipped_cases "${name}")
      return()
    endif()
  endif()
  set(problems)
  set(run_dir "${work}/run")
  set(out_dir "${work}/out")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${run_dir}" "${out_dir}")
  if(IS_DIRECTORY "${case}/images")
    file(COPY "${case}/images" DESTINATION "${run_dir}")
  endif()
  set(linked)
  if(EXISTS "${case}/links")
    file(STRINGS "${case}/links" links)
    foreach(link IN LISTS links)
      string(REPLACE " " ";" parts "${link}")
      list(GET parts 0 path)
      list(GET parts 1 target)
      list(LENGTH parts fields)
      if(fields EQUAL 3)
        file(CREATE_LINK "${run_dir}/images/${target}" "${run_dir}/images/${path}")
        set(origin "${case}/images/${target}")
      else()
        file(CREATE_LINK "${target}" "${run_dir}/images/${path}" SYMBOLIC)
        get_filename_component(dir "${path}" DIRECTORY)
        set(origin "${case}/images/${dir}/${target}")
      endif()
      list(APPEND linked "${path}=${origin}")
    endforeach()
  endif()
  set(limited)
  set(through_pipe)
  if(EXISTS "${case}/file_size_limit")
    file(STRINGS "${case}/file_size_limit" limit LIMIT_COUNT 1)
    # SIGXFSZ ignored, as exec keeps it: a write beyond the limit then fails with EFBIG. The
    # limit holds for every file the program writes, so its transcript goes through a pipe.
    set(limited sh -c "trap '' XFSZ && exec prlimit --fsize=${limit} -- \"$0\"")
    set(through_pipe COMMAND cat)
  endif()
  if(COMMAND windows_images_begin)
    windows_images_begin("${run_dir}/images")
  endif()
  execute_process(COMMAND ${launcher} ${limited} "${PROGRAM}"
                  ${through_pipe}
                  WORKING_DIRECTORY "${run_dir}"
                  INPUT_FILE "${case}/answers.txt"
                  OUTPUT_FILE "${out_dir}/stdout"
                  ERROR_FILE "${out_dir}/stderr"
                  RESULTS_VARIABLE statuses
                  TIMEOUT 30)
  if(COMMAND windows_images_end)
    windows_images_end()
  endif()
  list(GET statuses 0 status)
  if(DEFINED ENV{TORVANELLE_E2E_UPDATE})
    update_expected("${case}" "${run_dir}" "${out_dir}" "${status}" "${linked}")
  endif()
  set(want_status 0)
  if(EXISTS "${case}/expected/status")
    file(STRINGS "${case}/expected/status" want_status LIMIT_COUNT 1)
  endif()
  if(NOT "${status}" STREQUAL "${want_status}")
    string(APPEND problems "exit status ${status}, expected ${want_status}\n")
  endif()
  read_stderr("${out_dir}" "${run_dir}" err)
  set(want_err "")
  if(EXISTS "${case}/expected/stderr")
    file(READ "${case}/expected/stderr" want_err)
  endif()
  if(NOT err STREQUAL want_err)
    string(APPEND problems "standard error differs from expected/stderr; it was:\n${err}\n")
  endif()
  if(COMMAND windows_same_text)
    windows_same_text("${case}/expected/transcript.txt" "${out_dir}/stdout" same)
  else()
    same_bytes("${case}/expected/transcript.txt" "${out_dir}/stdout" same)
  endif()
  if(NOT same)
    file(READ "${out_dir}/stdout" got)
    string(APPEND problems "transcript differs from expected/transcript.txt; it was:\n${got}\n---\n")
  endif()
  check_images("${case}" "${run_dir}" "${linked}" problems)
  if(NOT problems STREQUAL "")
    get_filename_component(name "${case}" NAME)
    string(APPEND ${problems_var} "[${name}]\n${problems}")
  endif()
  set(${problems_var} "${${problems_var}}" PARENT_SCOPE)
endfunction()

set(all_problems)
set(cases 1)
if(EXISTS "${CASE}/answers.txt")
  run_case("${CASE}" "${WORK}" all_problems)
else()
  file(GLOB members LIST_DIRECTORIES true RELATIVE "${CASE}" "${CASE}/*")
  list(SORT members)
  foreach(m IN LISTS members)
    run_case("${CASE}/${m}" "${WORK}/${m}" all_problems)
  endforeach()
  list(LENGTH members cases)
endif()
get_property(skipped GLOBAL PROPERTY skipped_cases)
list(LENGTH skipped skips)
if(skips EQUAL cases)
  message(STATUS "every case skipped")
endif()

if(NOT all_problems STREQUAL "")
  message(FATAL_ERROR "${all_problems}")
endif()
