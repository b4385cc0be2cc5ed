// What the serial tests stand on besides the rig (NullModemRig.h): a
// recorder of what TComm32 delivers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "NullModemRig.h"
#include "comm/win32/Comm32.h"

namespace vexel::test {

inline constexpr char kPcPort[] = "COM27";           // TComm32's end, named as the user sees it
inline constexpr char kPcDevice[] = "\\\\.\\COM27";  // the same as a device path

// Everything TComm32 delivered, in order.
struct Delivered {
  std::vector<std::string> chunks;
  int hangups = 0;
  bool zeroAfterEachChunk = true;

  void RecordFrom(TComm32& port);
  std::string All() const;
};

// A fresh path in the temporary folder.
std::string TempPath(const std::string& name);

}  // namespace vexel::test
