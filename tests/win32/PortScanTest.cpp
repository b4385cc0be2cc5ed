#include <gtest/gtest.h>

#include "app/win32/PortScan.h"

namespace vexel {
namespace {

TEST(PortScan, KindIsToldFromTheDriverObjectNameInAnyCase) {
  struct Case {
    const char* driverName;
    const char* kind;
  } cases[] = {
      {"\\Device\\BthModem0", "bth"},       {"\\device\\bThMoDeM3", "bth"},
      {"\\Device\\USBSER000", "usb"},       {"\\Device\\usbser001", "usb"},
      {"\\Device\\BthModem_USBSER", "bth"},  // Bluetooth wins
      {"\\Device\\Serial0", "etc"},         {"", "etc"},
  };
  for (const Case& c : cases) EXPECT_EQ(PortKindOfDriver(c.driverName), c.kind) << c.driverName;
}

}  // namespace
}  // namespace vexel
