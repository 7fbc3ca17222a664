# Windows builds use Debian's spdlog, fmt, nlohmann json, Asio and CLI11 header-only.
# Only their folders of the build machine's /usr/include are exposed to the
# cross compiler, so none of its other (glibc) headers can slip in.
set(ASHGROVE_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${ASHGROVE_CROSS_INCLUDE})
foreach(library nlohmann spdlog fmt asio asio.hpp CLI)
  if(NOT EXISTS ${ASHGROVE_CROSS_INCLUDE}/${library})
    file(CREATE_LINK /usr/include/${library} ${ASHGROVE_CROSS_INCLUDE}/${library} SYMBOLIC)
  endif()
endforeach()

add_library(nlohmann_json_headers INTERFACE)
target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${ASHGROVE_CROSS_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json_headers)

add_library(ashgrove_spdlog INTERFACE)
target_include_directories(ashgrove_spdlog SYSTEM INTERFACE ${ASHGROVE_CROSS_INCLUDE})
target_compile_definitions(ashgrove_spdlog INTERFACE FMT_HEADER_ONLY)

add_library(ashgrove_fmt INTERFACE)
target_include_directories(ashgrove_fmt SYSTEM INTERFACE ${ASHGROVE_CROSS_INCLUDE})
target_compile_definitions(ashgrove_fmt INTERFACE FMT_HEADER_ONLY)

add_library(ashgrove_cli11 INTERFACE)
target_include_directories(ashgrove_cli11 SYSTEM INTERFACE ${ASHGROVE_CROSS_INCLUDE})

find_package(Threads REQUIRED)
target_link_libraries(ashgrove_spdlog INTERFACE Threads::Threads)

# Asio on Windows 7 and later, over Winsock.
add_library(ashgrove_asio INTERFACE)
target_include_directories(ashgrove_asio SYSTEM INTERFACE ${ASHGROVE_CROSS_INCLUDE})
target_compile_definitions(ashgrove_asio INTERFACE
  ASIO_STANDALONE ASIO_NO_DEPRECATED _WIN32_WINNT=0x0601)
target_link_libraries(ashgrove_asio INTERFACE Threads::Threads ws2_32 mswsock)

# One shared C++ runtime for the host, the plugin and the tests: exceptions,
# std::string, std::function and shared_ptr cross module boundaries, and
# memory allocated in one module is freed in another.
set(ASHGROVE_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${dll_path}")
    message(FATAL_ERROR "mingw-w64 runtime ${dll} not found")
  endif()
  file(COPY ${dll_path} DESTINATION ${CMAKE_BINARY_DIR}/bin)
endforeach()
