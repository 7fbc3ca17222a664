#pragma once

#include <cstddef>

namespace testsupport
{
// Counts calls to the global operator new made anywhere in the process
// (the plugin library included, where the platform lets an executable
// replace operator new for the libraries it loads).
std::size_t AllocationCount();

// Whether the count sees allocations made inside loaded libraries.
bool AllocationsInLibrariesAreCounted();
} // namespace testsupport
