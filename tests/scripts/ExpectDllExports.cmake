# Reads a DLL's export table with objdump and expects exactly the plugin's
# two entry points.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)*)" table "${dump}")
string(REGEX MATCHALL "\\] [A-Za-z_][A-Za-z0-9_@]*" names "${CMAKE_MATCH_1}")
list(TRANSFORM names REPLACE "^\\] " "")
list(SORT names)
if(NOT names STREQUAL "Plugin_Init;Plugin_Unload")
  message(FATAL_ERROR "unexpected exports of ${DLL}: '${names}'")
endif()
message(STATUS "exports: ${names}")
