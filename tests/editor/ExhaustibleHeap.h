// A C++ heap that a test can nearly run out of: while a HeapExhaustion
// lives, every operator new of this program asking for more than the
// largest block left throws std::bad_alloc, as in a host whose memory is
// used up but for small scraps. The system's own heaps (window texts, GDI)
// are not touched.
#pragma once

#include <cstddef>

namespace editor_test {

struct HeapExhaustion {
  explicit HeapExhaustion(std::size_t largestBlockLeft);
  ~HeapExhaustion();
  HeapExhaustion(const HeapExhaustion&) = delete;
  HeapExhaustion& operator=(const HeapExhaustion&) = delete;

  // Allocations refused since the last HeapExhaustion began.
  static int refused();
};

}  // namespace editor_test
