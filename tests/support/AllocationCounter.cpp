#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<std::size_t> Allocations{0};
std::atomic<std::ptrdiff_t> Live{0};

void* Allocate(std::size_t size)
{
  Allocations.fetch_add(1, std::memory_order_relaxed);
  Live.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size))
  {
    return memory;
  }
  throw std::bad_alloc();
}

void Release(void* memory)
{
  if (memory != nullptr)
  {
    Live.fetch_sub(1, std::memory_order_relaxed);
    std::free(memory);
  }
}
} // namespace

void* operator new(std::size_t size)
{
  return Allocate(size);
}

void* operator new[](std::size_t size)
{
  return Allocate(size);
}

// The forms that do not throw must come from here too: every delete below
// gives memory back to the C heap, so nothing else may have handed it out.
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept
{
  try
  {
    return Allocate(size);
  }
  catch (const std::bad_alloc&)
  {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
  return operator new(size, tag);
}

void operator delete(void* memory, const std::nothrow_t& /*tag*/) noexcept
{
  Release(memory);
}

void operator delete[](void* memory, const std::nothrow_t& /*tag*/) noexcept
{
  Release(memory);
}

void operator delete(void* memory) noexcept
{
  Release(memory);
}

void operator delete[](void* memory) noexcept
{
  Release(memory);
}

void operator delete(void* memory, std::size_t /*size*/) noexcept
{
  Release(memory);
}

void operator delete[](void* memory, std::size_t /*size*/) noexcept
{
  Release(memory);
}

namespace testsupport
{
std::size_t AllocationCount()
{
  return Allocations.load(std::memory_order_relaxed);
}

std::ptrdiff_t LiveAllocationCount()
{
  return Live.load(std::memory_order_relaxed);
}

bool AllocationsInLibrariesAreCounted()
{
#if defined(_WIN32)
  // A Windows DLL binds operator new to its own runtime at link time; an
  // executable's replacement does not reach it.
  return false;
#else
  return true;
#endif
}
} // namespace testsupport
