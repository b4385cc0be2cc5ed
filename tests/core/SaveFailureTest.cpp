// Keys files and the settings file are replaced in one step: a save that
// fails raises the system's error and leaves the old file as it was.
#include <gtest/gtest.h>

#include <fstream>
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

const struct {
  const char* file;
  std::function<void(const std::string& path)> save;
} kSaves[] = {
    {"keys file",
     [](const std::string& path) {
       KeyMap map;
       map.Append("5", "DOWN (*2 2 Space*)", true);
       std::string keysFilePath;
       try {
         SaveKeysFile(path, map, keysFilePath);
       } catch (...) {
         EXPECT_EQ(keysFilePath, path);  // the path is taken even when the save fails
         throw;
       }
     }},
    {"settings file",
     [](const std::string& path) {
       WriteSettings(path, {"COM5 (usb)", 1, true, "", true});
     }},
};

constexpr std::string_view kOld = "[Keys]\r\n\"1\"=old\r\n[params]\r\nport=old\r\n";

void ExpectTheSystemError(const std::function<void(const std::string&)>& save,
                          const std::string& path) {
  try {
    save(path);
    ADD_FAILURE() << "the save did not fail";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + FullPath(path));
  }
}

TEST(SaveFailure, AFolderThatDoesNotExist) {
  TempFolder folder;
  const std::string path = (std::filesystem::path(folder.File("gone")) / "file").string();
  for (const auto& s : kSaves) {
    SCOPED_TRACE(s.file);
    ExpectTheSystemError(s.save, path);
    EXPECT_EQ(folder.Listing(), "");
  }
}

#ifdef _WIN32
TEST(SaveFailure, AFileHeldOpenByAnotherProgram) {
  TempFolder folder;
  const std::string path = folder.File("old");
  std::ofstream(path, std::ios::binary) << kOld;
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const auto& s : kSaves) {
    SCOPED_TRACE(s.file);
    ExpectTheSystemError(s.save, path);
  }
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(path), std::string(kOld));
  EXPECT_EQ(folder.Listing(), "old ");
}
#else
TEST(SaveFailure, TheDiskFillsUp) {
  TempFolder folder;
  const std::string path = folder.File("old");
  std::ofstream(path, std::ios::binary) << kOld;
  // Files may not grow past 8 bytes while the saves run (root included).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit normal{};
  getrlimit(RLIMIT_FSIZE, &normal);
  rlimit full = normal;
  full.rlim_cur = 8;
  for (const auto& s : kSaves) {
    SCOPED_TRACE(s.file);
    setrlimit(RLIMIT_FSIZE, &full);
    EXPECT_THROW(s.save(path), Error);
    setrlimit(RLIMIT_FSIZE, &normal);
  }
  EXPECT_EQ(ReadWholeFile(path), std::string(kOld));
  EXPECT_EQ(folder.Listing(), "old ");
}
#endif

}  // namespace
}  // namespace vexel
