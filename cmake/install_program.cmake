# torvanelle_install_program(TARGET): installs a program with its manual page man/TARGET.1, in
# bin/ and share/man/man1/; on Windows at the top of the zip, without the page.
include(GNUInstallDirs)
function(torvanelle_install_program target)
  if(WIN32)
    install(TARGETS ${target} RUNTIME DESTINATION .)
  else()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/man/${target}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()
