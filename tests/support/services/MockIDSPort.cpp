#include "support/services/MockIDSPort.h"

namespace movrano::testing {

MockIDSPort::MockIDSPort() = default;
MockIDSPort::~MockIDSPort() = default;

}  // namespace movrano::testing
