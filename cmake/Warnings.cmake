# Warnings every target of ours is built with.
add_library(ashgrove_warnings INTERFACE)
if(MSVC)
  target_compile_options(ashgrove_warnings INTERFACE /W4 /utf-8 /permissive-)
  if(ASHGROVE_WARNINGS_AS_ERRORS)
    target_compile_options(ashgrove_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(ashgrove_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wdouble-promotion -Wformat -Wformat-security -Wimplicit-fallthrough)
  if(ASHGROVE_WARNINGS_AS_ERRORS)
    target_compile_options(ashgrove_warnings INTERFACE -Werror)
  endif()
endif()
