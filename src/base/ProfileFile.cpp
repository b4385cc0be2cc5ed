#include "base/ProfileFile.h"

#include <algorithm>

#include "base/Text.h"

namespace vexel {

namespace {

// The blanks trimmed from the file's lines, names and values: tab, line
// feed, vertical tab, form feed, carriage return, ^Z (a DOS end of file)
// and space.
bool IsBlank(char c) { return (c >= 9 && c <= 13) || c == 26 || c == 32; }

// Names and values travel as C strings: nothing after a NUL is seen.
std::string_view CString(std::string_view text) { return text.substr(0, text.find('\0')); }

// A section or entry name as the caller gives it: only spaces are trimmed
// (a tab stays and then matches nothing, as it does in Windows).
std::string_view Query(std::string_view name) {
  name = CString(name);
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

// What a buffer of bufferSize bytes holds of a text: at most bufferSize - 1
// bytes and the final NUL.
std::string Fit(std::string_view text, size_t bufferSize) {
  return std::string(text.substr(0, bufferSize == 0 ? 0 : bufferSize - 1));
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

ProfileFile ProfileFile::Parse(std::string bytes) {
  ProfileFile file;
  file.bytes_ = std::move(bytes);
  file.Split(0, file.bytes_.size(), file.lines_);
  return file;
}

void ProfileFile::Split(size_t begin, size_t end, std::vector<Line>& lines) const {
  size_t pos = begin;
  while (pos < end) {
    size_t textEnd = std::min(end, bytes_.find_first_of("\r\n", pos));
    size_t lineEnd = textEnd;
    if (lineEnd < end)
      lineEnd +=
          bytes_[lineEnd] == '\r' && lineEnd + 1 < end && bytes_[lineEnd + 1] == '\n' ? 2 : 1;
    lines.push_back(Classify(pos, textEnd, lineEnd));
    pos = lineEnd;
  }
}

ProfileFile::Line ProfileFile::Classify(size_t begin, size_t textEnd, size_t end) const {
  Line line;
  line.begin = begin;
  line.textEnd = textEnd;
  line.end = end;
  auto trimmed = [this](size_t b, size_t e) {
    while (b < e && IsBlank(bytes_[b])) ++b;
    while (e > b && IsBlank(bytes_[e - 1])) --e;
    return Span{b, e - b};
  };
  const Span text = trimmed(begin, textEnd);
  if (text.size == 0) return line;
  const size_t b = text.pos, e = text.pos + text.size;
  // Where c first occurs in the trimmed line, or its end.
  auto first = [&](char c) {
    const size_t at = Text(text).find(c);
    return at == std::string_view::npos ? e : b + at;
  };
  if (bytes_[b] == '[') {
    line.kind = Kind::kSection;
    line.name = trimmed(b + 1, first(']'));
  } else if (bytes_[b] == ';') {
    line.kind = Kind::kComment;
  } else if (const size_t equals = first('='); equals == e) {
    line.kind = Kind::kNoValue;
    line.name = text;
  } else {
    line.kind = Kind::kEntry;
    line.name = trimmed(b, equals);
    line.value = trimmed(equals + 1, e);
  }
  return line;
}

size_t ProfileFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Kind::kSection && SameText(CString(Text(lines_[i].name)), section))
      return i;
  return kNone;
}

std::vector<std::string> ProfileFile::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != Kind::kSection) continue;
    const std::string_view name = CString(Text(line.name));
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& seen) { return SameText(seen, name); }))
      names.emplace_back(name);
  }
  return names;
}

size_t ProfileFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

size_t ProfileFile::FindEntry(size_t header, std::string_view name) const {
  if (header == kNone) return kNone;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    const Line& line = lines_[i];
    if ((line.kind == Kind::kEntry || line.kind == Kind::kNoValue) &&
        SameText(CString(Text(line.name)), name))
      return i;
  }
  return kNone;
}

size_t ProfileFile::ValueLine(std::string_view section, std::string_view name) const {
  const size_t i = FindEntry(FindSection(Query(section)), Query(name));
  return i != kNone && lines_[i].kind == Kind::kEntry ? i : kNone;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view name,
                                   std::string_view defaultValue, size_t bufferSize) const {
  if (const size_t i = ValueLine(section, name); i != kNone)
    return Fit(Unquoted(CString(Text(lines_[i].value))), bufferSize);
  defaultValue = CString(defaultValue);
  return Fit(defaultValue.substr(0, defaultValue.find_last_not_of(' ') + 1), bufferSize);
}

bool ProfileFile::HasValue(std::string_view section, std::string_view name) const {
  return ValueLine(section, name) != kNone;
}

std::vector<std::string> ProfileFile::EntryNames(std::string_view section,
                                                 size_t bufferSize) const {
  std::vector<std::string> names;
  const size_t header = FindSection(Query(section));
  if (header == kNone) return names;
  size_t room = bufferSize;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
    if (lines_[i].kind != Kind::kEntry) continue;
    const std::string_view name = CString(Text(lines_[i].name));
    if (room <= 2 || name.empty()) break;
    if (name.size() + 2 > room) {  // the last name that fits, cut
      names.emplace_back(name.substr(0, room - 2));
      break;
    }
    names.emplace_back(name);
    room -= name.size() + 1;
  }
  return names;
}

void ProfileFile::WriteString(std::string_view section, std::string_view name,
                              std::string_view value) {
  const std::string_view sectionName = Query(section), entryName = Query(name);
  value = CString(value);
  const std::string ending = std::string("=").append(value).append("\r\n");
  auto unended = [](const Line& line) { return line.textEnd == line.end; };

  const size_t header = FindSection(sectionName);
  if (header == kNone) {
    std::string added = !lines_.empty() && unended(lines_.back()) ? "\r\n" : "";
    added.append("[").append(sectionName).append("]\r\n").append(entryName).append(ending);
    Splice(bytes_.size(), 0, added);
    return;
  }
  const size_t entry = FindEntry(header, entryName);
  if (entry != kNone) {
    const Line& line = lines_[entry];
    Splice(line.begin, line.end - line.begin, std::string(Text(line.name)) + ending);
    return;
  }
  size_t last = header;
  for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
    if (lines_[i].kind != Kind::kBlank) last = i;
  const Line& line = lines_[last];
  Splice(line.end, 0, (unended(line) ? "\r\n" : "") + std::string(entryName) + ending);
}

void ProfileFile::Splice(size_t pos, size_t erase, const std::string& insert) {
  // pos lies between lines and the erased bytes are whole lines; insert
  // ends in CR LF. The line that ends at pos (it may get its line end), the
  // erased lines and the inserted text are split again; the lines after
  // them keep their kind and move.
  auto from =
      std::find_if(lines_.begin(), lines_.end(), [&](const Line& l) { return l.end >= pos; });
  auto to = std::find_if(from, lines_.end(), [&](const Line& l) { return l.begin >= pos + erase; });
  const size_t begin = std::min(pos, from == lines_.end() ? pos : from->begin);
  bytes_.replace(pos, erase, insert);
  const size_t shift = insert.size() - erase;  // modulo 2^64: it may move lines back
  for (auto line = to; line != lines_.end(); ++line)
    for (size_t* offset :
         {&line->begin, &line->textEnd, &line->end, &line->name.pos, &line->value.pos})
      *offset += shift;
  std::vector<Line> fresh;
  Split(begin, pos + insert.size(), fresh);
  lines_.insert(lines_.erase(from, to), fresh.begin(), fresh.end());
}

}  // namespace vexel
