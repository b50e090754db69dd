# Runs inside CPack, after the files are staged and before they are packed: strips the
# programs as Debian's dh_strip does, symbols and the .comment and .note sections gone.
file(GLOB_RECURSE _programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program ${_programs})
    execute_process(
        COMMAND ${CPACK_ORVANTA_STRIP} --remove-section=.comment --remove-section=.note
                ${program}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not strip ${program}")
    endif()
endforeach()
