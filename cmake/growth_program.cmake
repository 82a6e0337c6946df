# growth_program(TARGET DESCRIPTION): a program of the project. It is made at
# the top of the build tree, beside the other programs (the comparer runs the
# starter and the estimator from its own folder, the scripts run
# BUILD/estimator and the like), installed, and given a manual page that
# help2man makes from the program's own --help and --version (written once, in
# the program).
include(GNUInstallDirs)
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(STATUS "help2man not found: the manual pages are not made")
endif()

function(growth_program target description)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(HELP2MAN)
    set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --name=${description} --output=${page} $<TARGET_FILE:${target}>
      DEPENDS ${target} VERBATIM)
    add_custom_target(${target}_man ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()
