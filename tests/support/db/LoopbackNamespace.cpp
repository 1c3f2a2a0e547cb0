#include "support/db/LoopbackNamespace.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace movrano::testing {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("Network namespace: " + what + ": " + std::strerror(errno));
}

void BringLoopbackUp() {
  const FileDescriptor probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe.valid()) Fail("socket");
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (::ioctl(probe.get(), SIOCGIFFLAGS, &request) != 0) Fail("read the flags of lo");
  request.ifr_flags |= IFF_UP | IFF_RUNNING;
  if (::ioctl(probe.get(), SIOCSIFFLAGS, &request) != 0) Fail("bring lo up");
}

}  // namespace

LoopbackNamespace::LoopbackNamespace()
    : outer_(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
  if (!outer_.valid()) Fail("open this thread's namespace");
  if (::unshare(CLONE_NEWNET) != 0) Fail("unshare");
  try {
    BringLoopbackUp();
  } catch (...) {
    ::setns(outer_.get(), CLONE_NEWNET);
    throw;
  }
}

LoopbackNamespace::~LoopbackNamespace() {
  ::setns(outer_.get(), CLONE_NEWNET);
}

}  // namespace movrano::testing
