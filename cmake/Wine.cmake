# Windows programs built here run under wine. Debian provides the `wine`
# command with its package of that name; its wine64 package alone installs
# only the loader, in wine's own library folder, which cannot be reached
# through a symbolic link but can through a script that starts it. Without
# either, the tests that need wine fail with a message that says so.
set(ASHGROVE_WINE_MISSING "")
find_program(ASHGROVE_WINE NAMES wine DOC "wine, to run the Windows tests")
if(NOT ASHGROVE_WINE)
  find_program(ASHGROVE_WINE_LOADER NAMES wine64
    PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /opt/wine-stable/bin
    DOC "wine's 64-bit loader, when there is no wine command")
  if(ASHGROVE_WINE_LOADER)
    set(ASHGROVE_WINE_COMMAND ${CMAKE_BINARY_DIR}/wine-wrapper/wine)
    file(WRITE ${ASHGROVE_WINE_COMMAND}
      "#!/bin/sh\n"
      "# Starts wine's loader, which Debian's wine64 package installs without a wine command.\n"
      "export WINELOADER=\"\${WINELOADER:-${ASHGROVE_WINE_LOADER}}\"\n"
      "exec \"${ASHGROVE_WINE_LOADER}\" \"$@\"\n")
    file(CHMOD ${ASHGROVE_WINE_COMMAND} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    message(STATUS "wine: no wine command; starting the loader ${ASHGROVE_WINE_LOADER} through ${ASHGROVE_WINE_COMMAND}")
  else()
    set(ASHGROVE_WINE_MISSING
        "wine not found: no `wine` command on the PATH and no wine64 loader; install the Debian package 'wine' (apt-get install wine), or run scripts/install-deps windows")
    message(WARNING "${ASHGROVE_WINE_MISSING}. The Windows programs build, but their tests fail.")
  endif()
else()
  set(ASHGROVE_WINE_COMMAND ${ASHGROVE_WINE})
endif()

if(ASHGROVE_WINE_COMMAND)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ASHGROVE_WINE_COMMAND})
endif()
get_filename_component(wine_folder "${ASHGROVE_WINE_LOADER}" DIRECTORY)
find_program(ASHGROVE_WINESERVER NAMES wineserver wineserver64 PATHS ${wine_folder}
  DOC "wine's server, kept running while the Windows tests run")

# Adds a test that runs a Windows program under wine, or, without wine, a
# test that fails and says what is missing.
function(ashgrove_add_windows_test name)
  if(ASHGROVE_WINE_MISSING)
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -E echo "${name} cannot run: ${ASHGROVE_WINE_MISSING}")
    set_tests_properties(${name} PROPERTIES WILL_FAIL OFF FAIL_REGULAR_EXPRESSION "cannot run")
  else()
    add_test(NAME ${name} ${ARGN})
    ashgrove_in_wine_session(${name})
  endif()
endfunction()

# The first wine program of a session starts wine's server and services, and
# they inherit its output: a test that reads a program's output to its end
# would then wait for them to stop, seconds after each run. So one session
# is started beforehand with no output to hold, kept for a minute after its
# last program, and the Windows tests run in it. A session still running
# from a run before serves as well (the server then refuses to start a
# second, which is no failure). Called where the tests are.
function(ashgrove_add_wine_session)
  if(ASHGROVE_WINE_COMMAND AND ASHGROVE_WINESERVER)
    add_test(NAME wine-session
      COMMAND sh -c "exec </dev/null >/dev/null 2>&1; \"$0\" -p60; \"$1\" wineboot"
              ${ASHGROVE_WINESERVER} ${ASHGROVE_WINE_COMMAND})
    set_tests_properties(wine-session PROPERTIES FIXTURES_SETUP wine-session
      ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  endif()
endfunction()

function(ashgrove_in_wine_session name)
  if(TEST wine-session)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine-session)
  endif()
endfunction()
