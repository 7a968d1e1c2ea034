# cmake -DPROGRAM=... -DSHELL_NAME=bash -DOUTPUT=... -P write_completion.cmake:
# the program writes its own completion script for that shell.
execute_process(COMMAND ${PROGRAM} --completion ${SHELL_NAME} OUTPUT_FILE ${OUTPUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --completion ${SHELL_NAME} failed: ${status}")
endif()
