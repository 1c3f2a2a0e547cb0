#include "support/services/HeapBlocks.h"

#include <cstdlib>
#include <new>

namespace {

thread_local long blocks = 0;

}  // namespace

// The plain forms: the array, sized and nothrow ones of the standard
// library call these.
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  ++blocks;
  return p;
}

void operator delete(void* p) noexcept {
  if (!p) return;
  --blocks;
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace movrano::testing {

long HeapBlocksOfThisThread() {
  return blocks;
}

}  // namespace movrano::testing
