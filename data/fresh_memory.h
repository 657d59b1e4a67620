#pragma once

#include <cstddef>
#include <vector>

namespace orvane {

// Maps the pages of [begin, begin + bytes) ahead of their first write, in one call. Each page a
// process writes for the first time otherwise costs a fault of its own, several microseconds on a
// virtual machine; a long series' records and points are tens of megabytes of such pages. Only a
// hint: ranges of a few pages, and systems without the call, are left to fault as usual.
void MapForWriting(void* begin, std::size_t bytes);

// The same for the room a vector holds beyond its elements, typically just reserved.
template <typename T>
void MapRoomForWriting(std::vector<T>& v) {
  MapForWriting(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

// A block of at least `bytes` (a whole number of 2 MiB) in a mapping of its own, for a buffer of a
// few megabytes that is written whole at once (a picture). It is aligned to 2 MiB and advised for
// transparent huge pages, so the system may back it with a fault per 2 MiB instead of one per page,
// and its pages are mapped ahead. On this kind of virtual machine, a picture of 7 MiB in huge pages
// is written in under 1 ms where its 4 KiB pages take about 10; when the host has taken the huge
// pages back (after a few idle seconds) they cost about as much as the small pages. `data` is null
// when there is no mapping to be had.
struct LargeBlock {
  void* data = nullptr;
  std::size_t bytes = 0;
};
LargeBlock MapLargeBlock(std::size_t bytes);
void UnmapLargeBlock(const LargeBlock& block);

}  // namespace orvane
