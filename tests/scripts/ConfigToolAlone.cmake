# Runs ashgrove-config.exe alone in an empty folder under wine, where no C++
# runtime DLL lies beside it, and reads its imports: none of the mingw-w64
# runtime's DLLs. Usage: cmake -DEMULATOR=wine -DOBJDUMP=... -DTOOL=...
# -DVERSION=... -DWORK=... -P ConfigToolAlone.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${TOOL} DESTINATION ${WORK})
get_filename_component(name ${TOOL} NAME)
execute_process(COMMAND ${EMULATOR} ${WORK}/${name} --version
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT status EQUAL 0 OR NOT out STREQUAL "ashgrove-config ${VERSION}\n")
  message(FATAL_ERROR "alone in a folder, ${name} did not start: status ${status}\n${out}${err}")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${TOOL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${TOOL}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]*" imports "${dump}")
foreach(runtime libstdc\\+\\+-6\\.dll libgcc_s_seh-1\\.dll libwinpthread-1\\.dll)
  if("${imports}" MATCHES "${runtime}")
    message(FATAL_ERROR "${name} imports ${runtime}: ${imports}")
  endif()
endforeach()
message(STATUS "${name} starts alone; it imports: ${imports}")
file(REMOVE_RECURSE ${WORK})
