// A fresh folder under the system's temporary folder, removed with its
// content at the end of the test.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace vexel {

class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("vexel-test-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes the bytes to the file of that name; its path.
  std::string Write(const std::string& name, std::string_view bytes) const {
    std::ofstream(File(name), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return File(name);
  }
  std::string Listing() const {  // the names of the files in the folder
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names += entry.path().filename().string() + " ";
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vexel
