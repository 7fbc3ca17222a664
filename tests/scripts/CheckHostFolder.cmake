# A build against the real host compiles every layer against that host's
# host/ headers, never against our stand-ins beside the layers. A fake SDK
# whose headers each stop the compiler shows which ones are found.
# Usage: cmake -DROOT=<source tree> -DWORK=<scratch folder> -P CheckHostFolder.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(GLOB headers RELATIVE "${ROOT}/ashgrove/host" "${ROOT}/ashgrove/host/*.h")
foreach(header IN LISTS headers)
  file(WRITE "${WORK}/sdk/host/${header}" "#error \"the real host's ${header}\"\n")
endforeach()
file(WRITE "${WORK}/sdk/AsaApi.lib" "")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${ROOT}" -B "${WORK}/build" -G Ninja
          -DASHGROVE_HOST_INCLUDE_DIR=${WORK}/sdk -DASHGROVE_HOST_IMPORT_LIBRARY=${WORK}/sdk/AsaApi.lib
  RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE configure_errors)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring against a fake host failed:\n${configure_errors}")
endif()
# One source of each layer that uses the host.
set(found)
foreach(object access/GameAccess settings/ConfigPath rules/DeathHandler commands/ReloadCommands
               plugin/EntryPoints)
  string(REGEX REPLACE "/.*" "" layer "${object}")
  set(target ashgrove_${layer})
  if(layer STREQUAL "plugin")
    set(target Ashgrove)
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} --build "${WORK}/build" --target ashgrove/CMakeFiles/${target}.dir/${object}.cpp.o
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE ignored)
  if(NOT output MATCHES "the real host's")
    list(APPEND found "${object}.cpp")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
if(found)
  message(FATAL_ERROR "compiled against the stand-in host headers, not the real host's: ${found}")
endif()
message(STATUS "every layer compiles against the real host's headers")
