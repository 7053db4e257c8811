// Counts heap allocations of the whole binary: alloc_counter.cpp replaces
// the global operator new. Kept in its own file so that the compiler never
// sees a replaced new and a free side by side.
#pragma once

#include <cstddef>

namespace tb::bench {

std::size_t Allocations();

}  // namespace tb::bench
