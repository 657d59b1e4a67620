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

}  // namespace orvane
