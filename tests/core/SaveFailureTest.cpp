// Keys files and the settings file are replaced in one step: a save that
// fails raises the system's error and leaves the old file as it was.
#include <gtest/gtest.h>

#include <functional>

#include "actions/KeysFile.h"
#include "app/Settings.h"
#include "base/Error.h"
#include "base/Files.h"
#include "core/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>

#include <csignal>
#endif

namespace vexel {
namespace {

void SaveKeys(const std::string& path) {
  KeyMap map;
  map.Append("5", "DOWN (*2 2 Space*)", true);
  std::string keysFilePath;
  try {
    SaveKeysFile(path, map, keysFilePath);
  } catch (...) {
    EXPECT_EQ(keysFilePath, path);  // taken even when the save fails
    throw;
  }
}

void SaveSettings(const std::string& path) {
  WriteSettings(path, {"COM5 (usb)", 1, true, "", true});
}

// Each save fails with the system's error; the folder then holds only what it held.
void ExpectFailedSaves(const TempFolder& folder, const std::string& path) {
  const std::string listing = folder.Listing();
  for (auto save : {SaveKeys, SaveSettings}) {
    try {
      save(path);
      ADD_FAILURE() << "the save did not fail";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), "Unable to write to " + FullPath(path));
    }
    EXPECT_EQ(folder.Listing(), listing);
  }
}

constexpr std::string_view kOld = "[Keys]\r\n\"1\"=old\r\n[params]\r\nport=old\r\n";

TEST(SaveFailure, AFolderThatDoesNotExist) {
  TempFolder folder;
  ExpectFailedSaves(folder, (std::filesystem::path(folder.File("gone")) / "file").string());
}

#ifdef _WIN32
TEST(SaveFailure, AFileHeldOpenByAnotherProgram) {
  TempFolder folder;
  const std::string path = folder.Write("old", kOld);
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ExpectFailedSaves(folder, path);
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(path), std::string(kOld));
}
#else
TEST(SaveFailure, TheDiskFillsUp) {
  TempFolder folder;
  const std::string path = folder.Write("old", kOld);
  // No file may grow past 8 bytes while the saves run (root included).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit normal{};
  getrlimit(RLIMIT_FSIZE, &normal);
  rlimit full = normal;
  full.rlim_cur = 8;
  setrlimit(RLIMIT_FSIZE, &full);
  ExpectFailedSaves(folder, path);
  setrlimit(RLIMIT_FSIZE, &normal);
  EXPECT_EQ(ReadWholeFile(path), std::string(kOld));
}
#endif

}  // namespace
}  // namespace vexel
