#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

#include "devhost/Host.h"

namespace devhost
{
// The most recent entries of a record that would otherwise grow with every
// call: a server that runs for days keeps its memory flat, and a test that
// clears the record before it acts still reads all it did.
template <class T> class RecentEntries
{
public:
  void Add(T entry)
  {
    if (entries_.size() == RecentRecordLimit)
    {
      entries_.pop_front();
    }
    entries_.push_back(std::move(entry));
  }

  [[nodiscard]] std::vector<T> Copy() const { return {entries_.begin(), entries_.end()}; }

  void Clear() { entries_.clear(); }

private:
  std::deque<T> entries_;
};
} // namespace devhost
