// Our own reader and writer of Windows initialisation files ("ini" files),
// kept byte for byte as the text they came from. It answers as the Windows
// profile functions GetPrivateProfileStringA and WritePrivateProfileStringA
// answer for the uses the system makes of them:
//
//  - a line is ended by CR LF, LF or a lone CR; blanks around lines, names
//    and values are the characters 9 to 13, 26 and 32;
//  - "[name" opens a section; its name runs to the first "]" or to the end
//    of the line, trimmed; text after the "]" is ignored;
//  - a line whose first character is ";" is a comment and never an entry;
//  - any other line is an entry: its name is the text before the first "=",
//    its value the text after it, both trimmed; a line without "=" is an
//    entry without a value (it hides later entries of its name and is not
//    listed);
//  - lines before the first section belong to no section;
//  - section and entry names are compared ignoring the case of ASCII
//    letters; the first section and the first entry of a name count;
//  - names given by the caller lose their leading and trailing spaces (only
//    spaces); names and values are C strings: text after a NUL is not seen;
//  - a value read loses one pair of enclosing quotes ('...' or "...") and is
//    cut to what a buffer of the given size holds, its final NUL included;
//  - writing keeps every other byte of the file: an existing entry's line
//    becomes name=value with the name as stored; a new entry is inserted
//    after the last non-blank line of its section; a new section is added at
//    the end of the file; every line written ends in CR LF.
//
// Text is 8-bit; bytes are taken as they are, whatever the code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexel {

class ProfileFile {
 public:
  // The buffers the system reads through: one value, and the list of the
  // entry names of a section (names separated by NUL, ended by two NULs).
  static constexpr size_t kValueBuffer = 2048;
  static constexpr size_t kNameListBuffer = 16384;

  ProfileFile() = default;  // an empty (or missing) file
  static ProfileFile Parse(std::string bytes);

  // The value of the entry, as read through a buffer of bufferSize bytes;
  // the default (without its trailing spaces) when the file has no such
  // entry or the entry has no value.
  std::string GetString(std::string_view section, std::string_view name,
                        std::string_view defaultValue, size_t bufferSize = kValueBuffer) const;
  // True when the section holds an entry of this name with a value.
  bool HasValue(std::string_view section, std::string_view name) const;

  // The entry names of the section in file order, quotes and case as stored,
  // as a reader of the name list sees them when the list is read through a
  // buffer of bufferSize bytes: a name that does not fit whole is cut so that
  // it and the two final NULs fit, and no name follows it; the reader stops
  // at the first empty name.
  std::vector<std::string> EntryNames(std::string_view section,
                                      size_t bufferSize = kNameListBuffer) const;

  // The names of the file's sections in file order, as stored; of sections
  // that share a name (ignoring case) only the first, which counts.
  std::vector<std::string> SectionNames() const;

  // Sets the entry's value, creating the entry and its section as needed.
  void WriteString(std::string_view section, std::string_view name, std::string_view value);

  const std::string& Bytes() const { return bytes_; }

 private:
  enum class Kind { kBlank, kComment, kSection, kEntry, kNoValue };
  struct Span {
    size_t pos = 0, size = 0;
  };
  struct Line {
    size_t begin = 0, textEnd = 0, end = 0;  // [begin, end) is the line with its line end
    Kind kind = Kind::kBlank;
    Span name;   // of a section or an entry, trimmed
    Span value;  // of an entry, trimmed
  };
  static constexpr size_t kNone = static_cast<size_t>(-1);

  // Appends the lines of the bytes [begin, end) to lines.
  void Split(size_t begin, size_t end, std::vector<Line>& lines) const;
  Line Classify(size_t begin, size_t textEnd, size_t end) const;
  std::string_view Text(Span span) const {
    return std::string_view(bytes_).substr(span.pos, span.size);
  }
  size_t FindSection(std::string_view section) const;
  size_t SectionEnd(size_t header) const;
  // The first entry line of the name in the section that starts at header.
  size_t FindEntry(size_t header, std::string_view name) const;
  // The line of the entry with a value that the caller's names find.
  size_t ValueLine(std::string_view section, std::string_view name) const;
  void Splice(size_t pos, size_t erase, const std::string& insert);

  std::string bytes_;
  std::vector<Line> lines_;
};

}  // namespace vexel
