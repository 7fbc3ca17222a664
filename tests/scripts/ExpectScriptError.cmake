# Runs the development server on a script that must stop at its third line.
execute_process(COMMAND ${DEVSERVER} --script ${SCRIPT}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "expected exit status 2, got ${status}\n${out}${err}")
endif()
if(NOT err MATCHES "error line 3: no character 'nobody'")
  message(FATAL_ERROR "unexpected error text: ${err}")
endif()
if(out MATCHES "character rex")
  message(FATAL_ERROR "the script went on after the failing line:\n${out}")
endif()
