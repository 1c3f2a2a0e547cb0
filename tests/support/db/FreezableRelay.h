#pragma once
// A database server that stops answering, for tests: a TCP relay between
// the program and the Firebird server that can be frozen. Frozen, it
// forwards nothing either way and keeps every socket open (it still
// takes connections, as a hung server's system does), so the
// program's calls wait as they do when the server hangs; thawed, it
// forwards what waited. Closing it closes every socket, and the server
// drops the attachments that came through it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FileDescriptor.h"

namespace movrano::testing {

class FreezableRelay {
 public:
  // Listens on 127.0.0.1:`port` (0: a free one) in the calling thread's
  // network namespace and reaches the server on 127.0.0.1:3050 in the
  // namespace `upstreamNamespace` names (an open /proc/.../ns/net file;
  // -1: the calling thread's). Throws std::runtime_error when it cannot
  // listen.
  explicit FreezableRelay(uint16_t port = 0, int upstreamNamespace = -1);
  ~FreezableRelay();
  FreezableRelay(const FreezableRelay&) = delete;
  FreezableRelay& operator=(const FreezableRelay&) = delete;

  uint16_t port() const { return port_; }
  void freeze();
  void thaw();
  // Whether the frozen relay holds bytes unread that a call waits for: a
  // request the client sent, or the answer to one the client's read-ahead
  // sent before the freeze. Any thread.
  bool holdsRequest() const;
  // How many connections the relay has taken from clients. Any thread.
  size_t connectionsTaken() const { return taken_; }

 private:
  struct Link {
    FileDescriptor client;
    FileDescriptor server;
  };
  void serve(int upstreamNamespace);
  void accept();
  // Moves what one side sent to the other; false once either side closed.
  static bool forward(int from, int to);
  void wake() const;

  FileDescriptor listener_;
  FileDescriptor wakeRead_;
  FileDescriptor wakeWrite_;
  uint16_t port_ = 0;
  std::atomic<bool> frozen_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> taken_{0};
  mutable std::mutex mutex_;
  std::vector<Link> links_;
  std::thread thread_;
};

}  // namespace movrano::testing
