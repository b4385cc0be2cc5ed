#include <gtest/gtest.h>

#include "phone/PortList.h"

namespace vexel {
namespace {

TEST(PortList, EntryIsThePortNameAndItsKindInBrackets) {
  EXPECT_EQ(PortEntryText("COM5", "bth"), "COM5 (bth)");
  EXPECT_EQ(PortEntryText("/dev/rfcomm0", "bth"), "/dev/rfcomm0 (bth)");
  EXPECT_EQ(PortNameOfEntry(PortEntryText("/dev/ttyACM0", "usb")), "/dev/ttyACM0");
}

TEST(PortList, PortNameIsTheTextBeforeTheFirstBlank) {
  EXPECT_EQ(PortNameOfEntry("COM12 (usb)"), "COM12");
  EXPECT_EQ(PortNameOfEntry("COM3"), "COM3");
  EXPECT_EQ(PortNameOfEntry(""), "");
}

}  // namespace
}  // namespace vexel
