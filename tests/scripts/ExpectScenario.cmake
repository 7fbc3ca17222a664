# Runs a script that checks itself on the development server: it must end
# with status 0, a crash or a sanitizer's report at exit included, and must
# have checked its commands, so that a script expecting nothing cannot pass.
# Usage: cmake -DDEVSERVER=... -DSCRIPT=... [-DCOMMENTS=ON] -P ExpectScenario.cmake
set(options)
if(COMMENTS)
  set(options --comments)
endif()
execute_process(COMMAND ${DEVSERVER} --script ${SCRIPT} ${options}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err MATCHES "commands? checked, all as expected")
  message(FATAL_ERROR "${SCRIPT} ended with status ${status}:\n${err}")
endif()
message(STATUS "${err}")
