#include "support/db/FreezableRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace movrano::testing {

namespace {

constexpr uint16_t kServerPort = 3050;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("Relay: " + what + ": " + std::strerror(errno));
}

}  // namespace

FreezableRelay::FreezableRelay(uint16_t port, int upstreamNamespace) {
  listener_ = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener_.valid()) Fail("socket");
  const int on = 1;
  ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(port);
  if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail("bind to 127.0.0.1:" + std::to_string(port));
  }
  if (::listen(listener_.get(), 16) != 0) Fail("listen");
  socklen_t length = sizeof address;
  ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe");
  wakeRead_ = FileDescriptor(pipe[0]);
  wakeWrite_ = FileDescriptor(pipe[1]);
  thread_ = std::thread([this, upstreamNamespace] { serve(upstreamNamespace); });
}

FreezableRelay::~FreezableRelay() {
  stopping_ = true;
  wake();
  thread_.join();
}

void FreezableRelay::freeze() {
  // Under the lock: once this returns, nothing more is forwarded.
  std::lock_guard lock(mutex_);
  frozen_ = true;
}

void FreezableRelay::thaw() {
  {
    std::lock_guard lock(mutex_);
    frozen_ = false;
  }
  wake();
}

bool FreezableRelay::holdsRequest() const {
  std::lock_guard lock(mutex_);
  if (!frozen_) return false;
  for (const Link& link : links_) {
    for (const FileDescriptor* side : {&link.client, &link.server}) {
      int unread = 0;
      if (::ioctl(side->get(), FIONREAD, &unread) == 0 && unread > 0) return true;
    }
  }
  return false;
}

void FreezableRelay::wake() const {
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_.get(), &byte, 1);
}

void FreezableRelay::serve(int upstreamNamespace) {
  // The server is reached from its own namespace; the sockets made before
  // stay where they were made.
  if (upstreamNamespace >= 0 && ::setns(upstreamNamespace, CLONE_NEWNET) != 0) return;
  std::vector<pollfd> polled;
  while (!stopping_) {
    // A hung server's system still takes connections: the frozen relay
    // does too, and forwards nothing of them.
    polled.assign({pollfd{wakeRead_.get(), POLLIN, 0}, pollfd{listener_.get(), POLLIN, 0}});
    {
      std::lock_guard lock(mutex_);
      if (!frozen_) {
        for (const Link& link : links_) {
          polled.push_back({link.client.get(), POLLIN, 0});
          polled.push_back({link.server.get(), POLLIN, 0});
        }
      }
    }
    if (::poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) return;
    char drain[64];
    while (::read(wakeRead_.get(), drain, sizeof drain) > 0) {
    }
    std::lock_guard lock(mutex_);
    if (polled[1].revents) accept();
    if (frozen_) continue;
    // The links polled are the first ones of the list: accept() appends.
    for (size_t i = 2, link = 0; i < polled.size(); i += 2, ++link) {
      const bool open = (!polled[i].revents || forward(polled[i].fd, polled[i + 1].fd)) &&
                        (!polled[i + 1].revents || forward(polled[i + 1].fd, polled[i].fd));
      if (!open) links_[link].client.reset();  // removed below with its server side
    }
    std::erase_if(links_, [](const Link& l) { return !l.client.valid(); });
  }
}

void FreezableRelay::accept() {
  FileDescriptor client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!client.valid()) return;
  ++taken_;
  FileDescriptor server(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Loopback(kServerPort);
  if (!server.valid() ||
      ::connect(server.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return;  // the client sees its connection closed
  }
  links_.push_back({std::move(client), std::move(server)});
}

bool FreezableRelay::forward(int from, int to) {
  char buffer[65536];
  const ssize_t n = ::read(from, buffer, sizeof buffer);
  if (n <= 0) return false;
  for (ssize_t at = 0; at < n;) {
    const ssize_t sent = ::send(to, buffer + at, static_cast<size_t>(n - at), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += sent;
  }
  return true;
}

}  // namespace movrano::testing
