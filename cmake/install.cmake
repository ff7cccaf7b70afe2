# What `cmake --install` puts where, and the packages CPack makes of it: a Debian package on
# Linux, a zip on Windows. Only what was built is installed; the tests, the benchmark and the
# sample's maker are not.
include(GNUInstallDirs)

if(WIN32)
  # The zip: the programs, the README and the license at its top, the sample under images/demo,
  # so that images/ can be moved to C:\images\ as it is.
  set(TORVANELLE_INSTALL_DOC .)
  set(TORVANELLE_INSTALL_SAMPLE images/demo)
else()
  set(TORVANELLE_INSTALL_DOC ${CMAKE_INSTALL_DOCDIR})
  set(TORVANELLE_INSTALL_SAMPLE ${CMAKE_INSTALL_DOCDIR}/images/demo)
endif()

torvanelle_install_program(torvanelle)
torvanelle_install_program(preview)
if(WIN32)
  # Text files that Notepad opens by a double click: a read-me in plain text (not the
  # repository's Markdown) and the license, both with CR LF line ends.
  configure_file(cmake/README.windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt
          DESTINATION ${TORVANELLE_INSTALL_DOC})
else()
  install(FILES README.md LICENSE DESTINATION ${TORVANELLE_INSTALL_DOC})
  # Where Debian looks for a package's license.
  install(FILES LICENSE DESTINATION ${TORVANELLE_INSTALL_DOC} RENAME copyright)
endif()
install(FILES images/demo/relief.raw images/demo/relief.txt images/demo/answers.txt
        DESTINATION ${TORVANELLE_INSTALL_SAMPLE})

# `cmake --build BUILD --target uninstall` takes back what `cmake --install BUILD` put in place.
add_custom_target(uninstall
                  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
                          -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
                  COMMENT "Removing the installed files" VERBATIM)

set(CPACK_PACKAGE_NAME torvanelle)
set(CPACK_PACKAGE_VENDOR "The Torvanelle developers")
set(CPACK_PACKAGE_CONTACT "The Torvanelle developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thin the contour lines of contour rasters")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Torvanelle cleans rasters of contour lines, each pixel holding the number of the contour "
    "line through it, before they are vectorised: it thins every line, scan after scan, by "
    "removing the pixels whose two or three neighbours of the same line hang together, keeps "
    "touching lines of different numbers apart, optionally removes one-point spurs, and writes "
    "the result beside the input. With it come preview, which draws such rasters as PNG "
    "pictures, and, when built with GDAL, torvanelle-geo, which carries them to and from "
    "GeoTIFF at their place on the map or cleans them in one step, torvanelle-vect, which "
    "traces them into contour lines, and torvanelle-dem, which turns them back into an "
    "elevation model, with a QGIS plugin that offers them in the Processing Toolbox; and "
    "torvanelle-engine, which cleans, traces or models them without GDAL, on files of simple "
    "forms. "
    "MIT license.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The plugin in /usr/share/qgis/python/plugins/torvanelle runs in Debian's QGIS.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis (>= 3.22), python3-qgis")
endif()
include(CPack)

# The zip, unpacked as a Windows user would, runs the sample under Wine (label install).
if(WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR AND TORVANELLE_PACKAGE_TESTS)
  enable_testing()
  add_test(NAME install.zip
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install/check_zip.sh ${PROJECT_BINARY_DIR}
                   ${CMAKE_CROSSCOMPILING_EMULATOR}
                   ${PROJECT_SOURCE_DIR}/tests/e2e/cases/whole_run/demo_sample/expected)
  set_tests_properties(install.zip PROPERTIES LABELS install RESOURCE_LOCK images_root)
endif()
