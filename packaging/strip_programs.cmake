# Run by CPack on the staged files before it packs them: strips the programs
# as Debian strips the programs of its packages, without their symbols and
# without the compiler's .comment and .note sections.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no programs to strip in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_ROUTALO_STRIP} --remove-section=.comment --remove-section=.note
                          ${program}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CPACK_ROUTALO_STRIP} failed on ${program}")
  endif()
endforeach()
