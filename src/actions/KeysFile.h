// Keys files ("*.km"): the key map stored as an initialisation file with a
// section "Keys" for all programs, a section "Keys <program>" for each
// program's own map, and one entry per row, named by the key in double
// quotes, with the action text as its value:
//
//   [Keys]
//   "5"=DOWN (*1 C:\Windows\notepad.exe*)
//   ":J"=
//   [Keys vlc]
//   "5"=DOWN (*2 2 Space*)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "actions/KeyMap.h"

namespace vexel {

// Whether a key code the phone reports can be stored in a keys file and
// read back as itself: at most 16 bytes, no "=", no double quote and no
// control character. Learn mode lists no other key, so that a phone cannot
// plant an entry (a key code "5\"=DOWN (*1 #...*) x" would otherwise come
// back as key 5 with the phone's command line).
bool KeysFileCanHold(std::string_view key);

// A program's name as a keys file can hold it: trimmed, at most 64 bytes,
// no "]" and no control character; empty when it cannot be held.
std::string ProgramMapName(std::string_view typed);

// Replaces the key map, every program's map included, with the rows of the
// keys file at path, in file order, each with its ellipsis button; the map
// for all programs is shown, and the path becomes the keys file path. When
// no file exists there nothing changes. Action texts come back cut to 2047
// characters.
void LoadKeysFile(const std::string& path, KeyMap& keyMap, std::string& keysFilePath);
// Replaces the rows of the program's map that is shown with the file's map
// for that program, or with its map for all programs when it has none; the
// other maps and the keys file path stay. False when no file exists there.
bool LoadShownMap(const std::string& path, KeyMap& keyMap);

// Writes the key map, every program's map included, to the keys file at
// path, replacing the whole file; the path becomes the keys file path even
// when the write fails. An empty map is saved as its one empty row. Where rows share a key
// (ignoring case) only the first is saved, as only the first is in effect; a row whose key would
// not read back as itself is left out. The file is replaced
// in one step: on failure vexel::Error "Unable to write to <full path>" is
// raised and the old file is left as it was.
void SaveKeysFile(const std::string& path, const KeyMap& keyMap, std::string& keysFilePath);

// Adds an entry "KEY"= to [Keys] for each key that the file's map for all
// programs does not hold yet (ignoring case) and that would read back as
// itself, editing the file's own bytes: its comments, its other sections and
// every other byte stay. A missing file is made. Returns how many keys were
// added. Raises vexel::Error "Unable to read <full path>" when the file is
// there but cannot be read, or "Unable to write to <full path>"; the file is
// then left as it was.
std::size_t AddKeysToFile(const std::string& path, const std::vector<std::string>& keys);

}  // namespace vexel
