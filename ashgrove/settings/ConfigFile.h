#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Real settings files are a few hundred bytes; anything this large is a
// mistake, and reading it would stall the game thread.
inline constexpr std::uintmax_t ConfigFileLimit = 1024 * 1024;

// "config.json is N bytes, more than the limit of L bytes", what a load of
// a file of `size` bytes fails with.
std::string TooLargeText(std::uintmax_t size);

// The bytes of a settings file. Only a regular file (after following
// symbolic links) is read: a pipe, a device or a folder fails as a missing
// file does, with std::runtime_error "Can't open config.json", and nothing
// blocks. A file larger than ConfigFileLimit fails with a std::runtime_error
// that names its size and the limit, without being read whole.
//
// The path is narrow text, opened as the server's own file functions open
// it.
std::string ReadConfigFile(const std::string& path);

// The same for a path of the operating system's own kind (wide on Windows),
// for tools that take file names from their command line.
std::string ReadConfigFileAt(const std::filesystem::path& path);
