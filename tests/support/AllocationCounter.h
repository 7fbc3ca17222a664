#pragma once

#include <cstddef>

namespace testsupport
{
// Counts calls to the global operator new made anywhere in the process
// (the plugin library included, where the platform lets an executable
// replace operator new for the libraries it loads).
std::size_t AllocationCount();

// Blocks from operator new not yet given back, as counted from the start.
std::ptrdiff_t LiveAllocationCount();

// Whether the count sees allocations made inside loaded libraries.
bool AllocationsInLibrariesAreCounted();
} // namespace testsupport
