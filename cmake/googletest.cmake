# GoogleTest for the test suite: the machine's package (find_package), or, when
# TORVANELLE_GTEST_SOURCE names a GoogleTest source tree (Debian's `googletest` package installs
# one in /usr/src/googletest), built here with the project's own compiler, as a cross build
# needs. Either way the suite links GTest::gtest_main. Nothing is downloaded.
set(TORVANELLE_GTEST_SOURCE "" CACHE PATH
    "GoogleTest source tree to build with the project's compiler (empty: find_package)")
if(TORVANELLE_GTEST_SOURCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TORVANELLE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
