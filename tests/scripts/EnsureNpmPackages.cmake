# Installs a folder's npm packages with `npm ci` when its node_modules is
# missing or older than its package-lock.json, so that the node tests need
# no step by hand. Usage: cmake -DNPM=... -DDIR=... -P EnsureNpmPackages.cmake
set(installed ${DIR}/node_modules/.package-lock.json)
if(EXISTS ${installed} AND NOT ${DIR}/package-lock.json IS_NEWER_THAN ${installed})
  message(STATUS "npm packages in ${DIR} are up to date")
  return()
endif()
message(STATUS "npm ci in ${DIR}")
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${DIR} with status ${status}")
endif()
