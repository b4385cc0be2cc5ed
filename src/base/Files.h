// The few file operations the core needs, one implementation per platform
// (posix/ for the native build, win32/ for Windows). Paths are 8-bit text
// in the system's code page, as the rest of the system keeps them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// <windows.h> defines ReplaceFile as ReplaceFileA; ours is meant here.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace vexel {

// True when a file (not a folder) is there.
bool FileExists(const std::string& path);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes the bytes to a new file of a name of its own beside the target,
// flushes it to the disk and then puts it in the target's place in one step,
// so that a failure at any point leaves the old file as it was (and no
// temporary file behind). False when the file could not be written or
// replaced.
bool ReplaceFile(const std::string& path, std::string_view bytes);

// The path made absolute against the current folder, for messages.
std::string FullPath(const std::string& path);

// The folder of the running executable, with its trailing separator.
std::string ExecutableFolder();

}  // namespace vexel
