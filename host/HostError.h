// HostError: the one kind of failure the host reports. main() turns it into a
// single "kelvane-host: error: ..." line on stderr and a non-zero exit.
#pragma once

#include <stdexcept>
#include <string>

struct HostError : std::runtime_error {
  // Usage errors exit with 2, everything else with 1.
  HostError(const std::string& message, bool usage = false) : std::runtime_error(message), usageError(usage) {}
  bool usageError;
};
