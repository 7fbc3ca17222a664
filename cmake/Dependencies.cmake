# Third-party libraries, all from Debian's packages.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Cross-building: the same Debian headers, used header-only.
  include(WindowsHeaderOnly)
elseif(MSVC)
  # A Windows developer's own packages (vcpkg or the like). The plugin puts
  # formatters on the host's sinks; linked against the host's own compiled
  # spdlog, their code lives in a DLL that outlives the plugin (see
  # docs/building.md).
  find_package(nlohmann_json 3.10 REQUIRED)
  find_package(spdlog REQUIRED)
  set(ASHGROVE_SPDLOG_TARGET spdlog::spdlog CACHE STRING
      "spdlog target the plugin links: the host's own compiled spdlog")
  add_library(ashgrove_spdlog INTERFACE)
  target_link_libraries(ashgrove_spdlog INTERFACE ${ASHGROVE_SPDLOG_TARGET})
  add_library(ashgrove_fmt INTERFACE)
  target_link_libraries(ashgrove_fmt INTERFACE fmt::fmt)
  find_package(CLI11 REQUIRED)
  add_library(ashgrove_cli11 INTERFACE)
  target_link_libraries(ashgrove_cli11 INTERFACE CLI11::CLI11)
else()
  find_package(nlohmann_json 3.10 REQUIRED)
  find_package(spdlog REQUIRED)
  find_package(Threads REQUIRED)
  # The compiled spdlog keeps the formatters a plugin puts on the host's sinks
  # in a library that outlives the plugin.
  add_library(ashgrove_spdlog INTERFACE)
  target_link_libraries(ashgrove_spdlog INTERFACE spdlog::spdlog)
  add_library(ashgrove_fmt INTERFACE)
  target_link_libraries(ashgrove_fmt INTERFACE fmt::fmt)
  # The tools' command lines.
  find_package(CLI11 REQUIRED)
  add_library(ashgrove_cli11 INTERFACE)
  target_link_libraries(ashgrove_cli11 INTERFACE CLI11::CLI11)
  # Asio from Debian's headers, on its own without Boost.
  add_library(ashgrove_asio INTERFACE)
  target_compile_definitions(ashgrove_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
  target_link_libraries(ashgrove_asio INTERFACE Threads::Threads)
endif()
