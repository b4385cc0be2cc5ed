// "vexel ports --probe" and "vexel doctor": finding the phone among the
// serial ports, and checking it on the settings' port.
#pragma once

#include <string>
#include <vector>

namespace vexel {

struct FindPhoneOptions {
  std::string settingsPath;
  std::vector<std::string> ports;  // given on the command line; empty: every port listed
  bool save = false;               // write the phone's port and phone=4 into the settings
  unsigned baud = 0;
};

// Probes each port in turn (never writing to one another program holds) and
// prints what answers there; 0 when a phone answered, 1 when none did.
int ProbePorts(const FindPhoneOptions& options);

// The phone check's report on the settings' port; 0 when a key came.
int CheckPhoneOnSettingsPort(const FindPhoneOptions& options);

}  // namespace vexel
