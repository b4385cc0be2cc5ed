// The program's resources, linked into this test program as into Vexel.exe:
// the icons by the names the program loads them with, the version resource
// and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/ProductInfo.h"

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

struct StoredImage {
  LONG width = 0;
  WORD bitCount = 0;
};

// The image that Windows picks from an icon group for the given size,
// as stored: so a size that would only be scaled from another shows up.
StoredImage PickedImage(const char* group, int size) {
  HRSRC dir = FindResourceA(Self(), group, RT_GROUP_ICON);
  if (!dir) return {};
  auto* bits = static_cast<BYTE*>(LockResource(LoadResource(Self(), dir)));
  int id = LookupIconIdFromDirectoryEx(bits, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceA(Self(), MAKEINTRESOURCEA(id), RT_ICON);
  if (!image) return {};
  auto* header = static_cast<BITMAPINFOHEADER*>(LockResource(LoadResource(Self(), image)));
  return {header->biWidth, header->biBitCount};
}

// Each icon, by the name the program loads it with (resource names ignore
// case), has its own image at every size the tray and the taskbar ask for:
// 16 colours at 32 pixels, full colour with alpha at the others.
TEST(Resources, IconsLoadAtEverySize) {
  for (const char* name : {"MAINICON", "xConnectIcon", "xHangUpIcon", "XGLOBEICON"}) {
    for (int size : {16, 24, 32, 48}) {
      SCOPED_TRACE(std::string(name) + " at " + std::to_string(size));
      HICON icon = static_cast<HICON>(LoadImageA(Self(), name, IMAGE_ICON, size, size, 0));
      ASSERT_NE(icon, nullptr);
      DestroyIcon(icon);

      StoredImage picked = PickedImage(name, size);
      EXPECT_EQ(picked.width, size);
      EXPECT_EQ(picked.bitCount, size == 32 ? 4 : 32);
    }
  }
}

// Explorer shows the first icon group as the program's icon.
TEST(Resources, ApplicationIconIsTheFirstIconGroup) {
  std::string first;
  EnumResourceNamesA(
      Self(), RT_GROUP_ICON,
      [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
        *reinterpret_cast<std::string*>(found) = IS_INTRESOURCE(name) ? "#id" : name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, "MAINICON");
}

std::string VersionString(const std::vector<char>& info, const char* name) {
  char* text = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
    return "(missing)";
  }
  return std::string(text);
}

TEST(Resources, VersionIs124) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  DWORD size = GetFileVersionInfoSizeA(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD majorMinor = MAKELONG(VEXEL_VERSION_MINOR, VEXEL_VERSION_MAJOR);
  const DWORD patch = MAKELONG(0, VEXEL_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch);
  EXPECT_EQ(fixed->dwProductVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwProductVersionLS, patch);

  EXPECT_EQ(VersionString(info, "FileVersion"), vexel::product::kVersion);
  EXPECT_EQ(VersionString(info, "ProductVersion"), vexel::product::kVersion);
  EXPECT_EQ(VersionString(info, "ProductName"), "Vexel");
  EXPECT_EQ(VersionString(info, "LegalCopyright"), vexel::product::kNotice);
}

// The manifest is stored and in force: common controls 6 come from the
// side-by-side store (Windows and Wine alike), the process is aware of each
// monitor's DPI, and it asks for no elevation (which Wine does not show).
TEST(Resources, ManifestTakesEffect) {
  HRSRC found = FindResourceA(Self(), CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  std::string manifest(static_cast<const char*>(LockResource(LoadResource(Self(), found))),
                       SizeofResource(Self(), found));
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);

  HMODULE comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(comctl, path, MAX_PATH), 0u);
  std::string loaded(path);
  std::transform(loaded.begin(), loaded.end(), loaded.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  EXPECT_NE(loaded.find("common-controls"), std::string::npos) << path;

  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()),
            DPI_AWARENESS_PER_MONITOR_AWARE);
}

}  // namespace
