#include "Rig.h"

#include <windows.h>

namespace vexel::test {

void Delivered::RecordFrom(TComm32& port) {
  port.SetOnReceiveData([this](void*, const char* buffer, std::uint16_t length) {
    chunks.emplace_back(buffer, length);
    zeroAfterEachChunk = zeroAfterEachChunk && buffer[length] == 0;
  });
  port.SetOnRequestHangup([this](void*) { ++hangups; });
}

std::string Delivered::All() const {
  std::string all;
  for (const std::string& chunk : chunks) all += chunk;
  return all;
}

std::string TempPath(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path =
      std::string(folder) + "vexel_" + std::to_string(GetCurrentProcessId()) + "_" + name;
  DeleteFileA(path.c_str());
  return path;
}

}  // namespace vexel::test
