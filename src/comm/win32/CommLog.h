// The comm log: an optional diagnostic text file to which the main thread and
// both serial threads append plain lines (no time stamps, no prefixes). It is
// process-wide: one name, one file. Every routine here may be called from any
// thread; each line reaches the file whole.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vexel {

// The process-wide name that WriteCommsLog consults; empty switches the log
// off. Set by TComm32::SetCommsLogFileName.
void SetCommsLogName(const std::string& name);

// Creates the log file under the name (an existing file is emptied); throws
// Error when it cannot be created. Called by OpenPort before the threads run.
void OpenCommsLog(const std::string& name);
// Closes the log file if one is open; throws Error when closing fails. Called
// by ClosePort after both threads have ended.
void CloseCommsLog();

// Appends the text and a line end when the log name is not empty. Failures
// (no file open, a full disk) are swallowed: logging never raises.
void WriteCommsLog(std::string_view text);

// Logs the prefix (absent counts as empty) followed by
// GetLastError returned: "<description>", or by " Out of memory" when no
// description could be had.
void LogLastError(DWORD code, const char* prefix);

// The system's English (United States) description of an error code, exactly
// as the system gives it (line break included), or a text saying why there
// is none. Nothing only when even that text cannot be allocated.
std::optional<std::string> FormatLastError(DWORD code);

}  // namespace vexel
