#pragma once
// A network of its own for the calling thread: a fresh network namespace
// whose loopback interface is up, so that 127.0.0.1:3050 there can be a
// relay in place of the database server. Threads the caller starts while
// it is in place live there too. Needs CAP_SYS_ADMIN (root).
#include "platform/FileDescriptor.h"

namespace movrano::testing {

class LoopbackNamespace {
 public:
  // Throws std::runtime_error with the reason when the thread cannot move.
  LoopbackNamespace();
  ~LoopbackNamespace();  // the thread goes back where it came from
  LoopbackNamespace(const LoopbackNamespace&) = delete;
  LoopbackNamespace& operator=(const LoopbackNamespace&) = delete;

  // The namespace the thread came from (an open /proc/.../ns/net file).
  int outer() const { return outer_.get(); }

 private:
  FileDescriptor outer_;
};

}  // namespace movrano::testing
