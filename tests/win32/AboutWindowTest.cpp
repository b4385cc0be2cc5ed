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
  // The texts beside the images show whole, however wide the system's
  // Tahoma draws them; nothing overlaps or leaves the window; Tab has only
  // "Read" to go to.
  const ExpectedControl expected[] = {
      {"Image1", true, true, nullptr},
      {"Label1", true, true, "Vexel", true},
      {"Label2", true, true, "(Phone keypad remote)", true},
      {"Image2", true, true, nullptr},
      {"Label3", true, true, "version", true},
      {"versionLabel", true, true, "0.0.0", true},
      {"Label5", true, true, "(c) 2026 Vexel team", true},
      {"Image3", true, true, nullptr},
      {"Label4", true, true, "support@vexel.example", true},
      {"Label6", true, true, "vexel.example", true},
      {"Button1", true, true, "Read", true},
  };
  ExpectControls(w, kAboutControls, expected);
  ExpectTidyLayout(w, kAboutControls);
  constexpr std::string_view kTabOrder[] = {"Button1"};
  ExpectTabOrder(w, kAboutControls, kTabOrder);
  // Each text stands beside its image, centred between the image and the
  // window's right edge; "version" and its number stand side by side.
  auto place = [&](const char* name) {
    return PlaceInParent(GetDlgItem(w, ControlId(kAboutControls, name)));
  };
  const LONG imageRight = place("Image1").right;
  for (const char* label : {"Label1", "Label2", "Label5", "Label4", "Label6"}) {
    const RECT r = place(label);
    EXPECT_GT(r.left, imageRight) << label;
    EXPECT_NEAR(r.left + r.right, imageRight + 187, 2) << label;
  }
  EXPECT_LE(place("Label3").right, place("versionLabel").left);
  EXPECT_EQ(place("Label3").top, place("versionLabel").top);
  for (const char* image : {"Image1", "Image3"})
    EXPECT_NE(SendMessageA(GetDlgItem(w, ControlId(kAboutControls, image)), STM_GETICON, 0, 0), 0)
        << image;
  EXPECT_NE(SendMessageA(GetDlgItem(w, ControlId(kAboutControls, "Image2")), STM_GETIMAGE,
                         IMAGE_BITMAP, 0),
            0);
}

TEST(AboutWindow, EnterPressesRead) {
  const bool returned = WithUser(
      [] {
        HWND about = WaitTopWindow(GetCurrentProcessId(), "About Vexel");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(Text(GetDlgItem(about, ControlId(kAboutControls, "versionLabel"))),
                  product::kVersion);
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
