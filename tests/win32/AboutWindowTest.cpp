#include <gtest/gtest.h>
#include <windows.h>

#include "WindowChecks.h"
#include "app/ProductInfo.h"
#include "app/windows/AboutUnit.h"

namespace vexel::test {
namespace {

TEST(AboutWindow, ControlsAsCreated) {
  TAboutForm about;
  about.Create(nullptr);
  HWND w = about.Handle();
  EXPECT_EQ(Text(w), "About Vexel");
  ExpectClientSize(w, 187, 159);
  EXPECT_NE(GetWindowLongPtrA(w, GWL_STYLE) & WS_SYSMENU, 0);  // the close box
  EXPECT_NE(GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  RECT frame;
  GetWindowRect(w, &frame);
  EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1);
  EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1);
  // The texts beside the images are centred on their planned places and
  // inside the window, however wide the system's Tahoma draws them.
  constexpr auto kCentred = ExpectedControl::kCentred;
  constexpr auto kWiderIsFine = ExpectedControl::kWiderIsFine;
  const ExpectedControl expected[] = {
      {"Image1", 8, 8, 32, 32, true, true, nullptr},
      {"Label1", 94, 8, 39, 13, true, true, "Vexel", kCentred},
      {"Label2", 54, 27, 119, 13, true, true, "(Phone keypad remote)", kCentred},
      {"Image2", 8, 46, 32, 32, true, true, nullptr},
      {"Label3", 78, 46, 0, 13, true, true, "version", kWiderIsFine},
      {"versionLabel", 123, 46, 0, 13, true, true, "0.0.0", kWiderIsFine},
      {"Label5", 64, 65, 99, 13, true, true, "(c) 2026 Vexel team", kCentred},
      {"Image3", 8, 84, 32, 32, true, true, nullptr},
      {"Label4", 62, 84, 103, 13, true, true, "support@vexel.example", kCentred},
      {"Label6", 68, 104, 91, 13, true, true, "vexel.example", kCentred},
      {"Button1", 8, 126, 171, 25, true, true, "Read"},
  };
  ExpectControls(w, kAboutControls, expected);
  for (const char* image : {"Image1", "Image3"})
    EXPECT_NE(SendMessageA(GetDlgItem(w, ControlId(kAboutControls, image)), STM_GETICON, 0, 0), 0)
        << image;
  EXPECT_NE(SendMessageA(GetDlgItem(w, ControlId(kAboutControls, "Image2")), STM_GETIMAGE,
                         IMAGE_BITMAP, 0),
            0);
  for (const ControlName& control : kAboutControls)
    EXPECT_LE(PlaceInParent(GetDlgItem(w, control.id)).right, 187) << control.name;
}

TEST(AboutWindow, EnterPressesRead) {
  const bool returned = WithUser(
      [] {
        HWND about = WaitTopWindow(GetCurrentProcessId(), "About Vexel");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(Text(GetDlgItem(about, ControlId(kAboutControls, "versionLabel"))), product::kVersion);
        PostKey(about, VK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }, 5000));
      },
      [] {
        ShowAboutWindow(nullptr);
        return true;
      });
  EXPECT_TRUE(returned);
}

}  // namespace
}  // namespace vexel::test
