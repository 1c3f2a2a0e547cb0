#pragma once
// Counts the heap bytes live during one fuzz input, through the sanitizer's
// allocation hooks, so that a harness can refuse an input whose reading
// takes more than a small multiple of its size.
#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace movrano::fuzz {

class PeakMemory {
 public:
  PeakMemory() {
    static const bool installed = [] {
      __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree);
      return true;
    }();
    (void)installed;
    live() = 0;
    peak() = 0;
    counting() = true;
  }
  ~PeakMemory() { counting() = false; }
  PeakMemory(const PeakMemory&) = delete;
  PeakMemory& operator=(const PeakMemory&) = delete;

  // Aborts (a finding) when the peak passed `factor` times `inputSize`
  // plus `slack` bytes.
  void Check(size_t inputSize, size_t factor, size_t slack) const {
    if (static_cast<size_t>(peak()) > factor * inputSize + slack) {
      std::fprintf(stderr, "==memory== %zu bytes live at the peak for an input of %zu bytes\n",
                   static_cast<size_t>(peak()), inputSize);
      std::abort();
    }
  }

 private:
  static long long& live() {
    static long long n = 0;
    return n;
  }
  static long long& peak() {
    static long long n = 0;
    return n;
  }
  static bool& counting() {
    static bool on = false;
    return on;
  }
  static void OnMalloc(const volatile void*, size_t size) {
    if (!counting()) return;
    live() += static_cast<long long>(size);
    if (live() > peak()) peak() = live();
  }
  static void OnFree(const volatile void* p) {
    if (!counting() || !p) return;
    live() -= static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void*>(p)));
  }
};

}  // namespace movrano::fuzz
