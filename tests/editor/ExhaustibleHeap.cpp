// Replaces the program's operator new and delete, so that HeapExhaustion
// can make allocations fail; otherwise they behave as the library's own.
#include "tests/editor/ExhaustibleHeap.h"

#include <cstdlib>
#include <new>

namespace {

bool exhausted = false;
std::size_t largestLeft = 0;
int refusedCount = 0;

}  // namespace

namespace editor_test {

HeapExhaustion::HeapExhaustion(std::size_t largestBlockLeft) {
  exhausted = true;
  largestLeft = largestBlockLeft;
  refusedCount = 0;
}

HeapExhaustion::~HeapExhaustion() { exhausted = false; }

int HeapExhaustion::refused() { return refusedCount; }

}  // namespace editor_test

void* operator new(std::size_t size) {
  if (exhausted && size > largestLeft) {
    ++refusedCount;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
