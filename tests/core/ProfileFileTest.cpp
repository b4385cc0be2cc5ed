#include <gtest/gtest.h>

#include "base/ProfileFile.h"
#include "core/ProfileCases.h"

namespace vexel {
namespace {

using namespace profile_cases;

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

std::string Read(const ProfileFile& file, const ReadCase& c) {
  if (!c.name) return Joined(file.EntryNames(c.section, c.buffer ? c.buffer : 16384));
  return file.GetString(c.section, c.name, "?", c.buffer ? c.buffer : 2048);
}

TEST(ProfileFile, ReadsAsWindowsDoes) {
  for (const ReadCase& c : kReads) {
    const ProfileFile file = ProfileFile::Parse(std::string(c.file));
    EXPECT_EQ(Read(file, c), c.expected) << testing::PrintToString(std::string(c.file)) << " ["
                                         << c.section << "] " << (c.name ? c.name : "*");
    EXPECT_EQ(file.Bytes(), c.file);
  }
}

TEST(ProfileFile, WritesAsWindowsDoes) {
  for (const WriteCase& c : kWrites) {
    ProfileFile file = ProfileFile::Parse(std::string(c.before));
    for (const Write& w : c.writes)
      if (w.section) file.WriteString(w.section, w.name, w.value);
    EXPECT_EQ(file.Bytes(), c.after) << testing::PrintToString(std::string(c.before));
  }
}

}  // namespace
}  // namespace vexel
