#include <gtest/gtest.h>

#include "phone/PortList.h"

namespace vexel {
namespace {

TEST(PortList, KindIsToldFromTheDriverObjectNameInAnyCase) {
  struct Case {
    const char* valueName;
    const char* port;
    const char* entry;
  } cases[] = {
      {"\\Device\\BthModem0", "COM5", "COM5 (bth)"},
      {"\\device\\bThMoDeM3", "COM9", "COM9 (bth)"},
      {"\\Device\\USBSER000", "COM12", "COM12 (usb)"},
      {"\\Device\\usbser001", "COM13", "COM13 (usb)"},
      {"\\Device\\BthModem_USBSER", "COM4", "COM4 (bth)"},  // Bluetooth wins
      {"\\Device\\Serial0", "COM1", "COM1 (etc)"},
      {"", "COM2", "COM2 (etc)"},
  };
  for (const Case& c : cases) EXPECT_EQ(PortEntryText(c.valueName, c.port), c.entry);
}

TEST(PortList, PortNameIsTheTextBeforeTheFirstBlank) {
  EXPECT_EQ(PortNameOfEntry("COM12 (usb)"), "COM12");
  EXPECT_EQ(PortNameOfEntry("COM3"), "COM3");
  EXPECT_EQ(PortNameOfEntry(""), "");
}

}  // namespace
}  // namespace vexel
