#include "core/Ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

#include "core/AtomicFile.h"
#include "core/TextDecoding.h"

namespace vandrel {

namespace {

constexpr std::size_t kValueCharLimit = 199;
constexpr std::size_t kKeyListChars = 200;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

ini_testing::RenameFunction g_rename = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Invalid bytes count as one character each.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos) { return std::max<std::size_t>(Utf8SequenceAt(s, pos), 1); }

// Bytes taken by the first maxChars characters of s.
std::size_t PrefixBytes(std::string_view s, std::size_t maxChars) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < maxChars && pos < s.size(); ++n) pos += Utf8SequenceLength(s, pos);
  return pos;
}

std::size_t CountChars(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < s.size(); pos += Utf8SequenceLength(s, pos)) ++n;
  return n;
}

// A line break inside a name or value would split the line in the file.
std::string WithoutLineBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += s[i];
    }
  }
  return out;
}

enum class LineKind { Other, Section, Key };

struct IniLine {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;  // before the line ending
  std::size_t end = 0;         // after the line ending
  LineKind kind = LineKind::Other;
  std::string_view name;        // section or key name, trimmed
  std::size_t valueBegin = 0;   // key lines: just after the '='
};

// Splits off the line starting at pos and tells what it is.
IniLine ParseLine(std::string_view text, std::size_t pos) {
  IniLine line;
  line.begin = pos;
  // CR, LF and CRLF each end a line.
  const std::size_t eol = text.find_first_of("\r\n", pos);
  line.contentEnd = (eol == std::string_view::npos) ? text.size() : eol;
  line.end = (eol == std::string_view::npos) ? text.size() : eol + 1;
  if (eol != std::string_view::npos && text[eol] == '\r' && eol + 1 < text.size() && text[eol + 1] == '\n') ++line.end;

  std::size_t contentBegin = pos;
  if (pos == 0 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) contentBegin = kUtf8Bom.size();
  const std::string_view content = text.substr(contentBegin, line.contentEnd - contentBegin);
  const std::string_view t = Trim(content);
  if (t.empty() || t[0] == ';' || t[0] == '#') return line;
  if (t[0] == '[') {
    const std::size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = LineKind::Section;
      line.name = Trim(t.substr(1, close - 1));
      return line;
    }
  }
  const std::size_t eq = content.find('=');
  if (eq == std::string_view::npos) return line;
  const std::string_view key = Trim(content.substr(0, eq));
  if (key.empty()) return line;
  line.kind = LineKind::Key;
  line.name = key;
  line.valueBegin = contentBegin + eq + 1;
  return line;
}

std::string KeyList(const std::vector<std::string_view>& names) {
  std::string out;
  std::size_t chars = 0;
  for (std::string_view name : names) {
    const std::size_t len = CountChars(name);
    if (chars + len + 2 <= kKeyListChars) {
      out.append(name);
      out += '\0';
      chars += len + 1;
      continue;
    }
    // The name that does not fit is cut so the list still ends in two NULs.
    const std::size_t room = (chars + 2 < kKeyListChars) ? kKeyListChars - 2 - chars : 0;
    if (room > 0) {
      out.append(name.substr(0, PrefixBytes(name, room)));
      out += '\0';
      chars += room + 1;
    }
    break;
  }
  out += '\0';
  ++chars;
  out.append(kKeyListChars - chars, ' ');
  return out;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& text, mode_t* mode) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return ReadResult::Failed;
  }
  if (mode != nullptr) *mode = st.st_mode & 07777;
  text.clear();
  if (st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadResult::Failed;
    }
    text.append(buf, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ReadResult::Ok;
}

// Reading the mask from /proc avoids setting it, which would race with other
// threads creating files.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      try {
        return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      } catch (...) {
        break;
      }
    }
  }
  const mode_t old = ::umask(022);
  ::umask(old);
  return old;
}

// A symlinked file is written through to its target, so the link stays.
std::string ResolveLinks(const std::string& path) {
  std::string resolved = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(resolved.c_str(), target.data(), target.size());
    if (n <= 0) break;
    target.resize(static_cast<std::size_t>(n));
    const std::size_t slash = resolved.rfind('/');
    resolved = (target[0] == '/' || slash == std::string::npos) ? target : resolved.substr(0, slash + 1) + target;
  }
  return resolved;
}

// Sets one key in text; false for names that would not read back as the
// same section or key.
bool SetValue(std::string& text, const std::string& eol, const IniValue& v) {
  const std::string sectionClean = WithoutLineBreaks(v.section);
  const std::string keyClean = WithoutLineBreaks(v.key);
  const std::string_view wantedSection = Trim(sectionClean);
  const std::string_view wantedKey = Trim(keyClean);
  if (wantedKey.empty() || wantedKey.find_first_of("=]") != std::string_view::npos ||
      wantedKey[0] == ';' || wantedKey[0] == '#' || wantedSection.find(']') != std::string_view::npos) {
    return false;
  }
  const std::string encoded = WithoutLineBreaks(v.value);

  bool inSection = false;
  bool sectionSeen = false;
  std::size_t insertAt = std::string::npos;  // end of the section's last key line, or of its header
  for (std::size_t pos = 0; pos < text.size();) {
    const IniLine line = ParseLine(text, pos);
    pos = line.end;
    if (line.kind == LineKind::Section) {
      if (inSection) break;
      if (!sectionSeen && EqualsNoCase(line.name, wantedSection)) {
        inSection = sectionSeen = true;
        insertAt = line.end;
      }
    } else if (inSection && line.kind == LineKind::Key) {
      if (EqualsNoCase(line.name, wantedKey)) {
        text.replace(line.valueBegin, line.contentEnd - line.valueBegin, encoded);
        return true;
      }
      insertAt = line.end;
    }
  }

  std::string addition;
  if (!sectionSeen) insertAt = text.size();
  if (insertAt > 0 && text[insertAt - 1] != '\n' && text[insertAt - 1] != '\r') addition += eol;
  if (!sectionSeen) {
    addition += '[';
    addition += wantedSection;
    addition += ']';
    addition += eol;
  }
  addition += wantedKey;
  addition += '=';
  addition += encoded;
  addition += eol;
  text.insert(insertAt, addition);
  return true;
}

bool WriteValuesOrFail(const std::string& linkPath, const std::vector<IniValue>& values) {
  const std::string filePath = ResolveLinks(linkPath);
  const FolderLock lock(filePath);
  RemoveStaleTemporaries(filePath);
  std::string text;
  mode_t mode = 0;
  switch (ReadWholeFile(filePath, text, &mode)) {
    case ReadResult::Ok:
      // The platform's service refuses a read-only file, even to root.
      if ((mode & 0222) == 0 || ::access(filePath.c_str(), W_OK) != 0) return false;
      break;
    case ReadResult::Missing:
      text.clear();
      mode = 0666 & ~CurrentUmask();
      break;
    case ReadResult::Failed:
      return false;  // never overwrite what could not be read
  }

  // A write keeps the file's own line ends.
  const std::size_t firstEol = text.find_first_of("\r\n");
  std::string eol = "\n";
  if (firstEol != std::string::npos && text[firstEol] == '\r') {
    eol = (firstEol + 1 < text.size() && text[firstEol + 1] == '\n') ? "\r\n" : "\r";
  }
  bool changed = false;
  for (const IniValue& v : values) changed = SetValue(text, eol, v) || changed;
  return changed && ReplaceFileAtomically(filePath, text, mode, g_rename);
}

std::string ReadValue(const std::string& filePath, const std::string& section, const std::string& key,
                      std::size_t charLimit) {
  const bool listKeys = key == "0";
  std::string text;
  if (ReadWholeFile(filePath, text, nullptr) != ReadResult::Ok) return listKeys ? KeyList({}) : std::string();

  const std::string sectionClean = WithoutLineBreaks(section);
  const std::string keyClean = WithoutLineBreaks(key);
  const std::string_view wantedSection = Trim(sectionClean);
  const std::string_view wantedKey = Trim(keyClean);

  std::vector<std::string_view> names;
  bool inSection = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const IniLine line = ParseLine(text, pos);
    pos = line.end;
    if (line.kind == LineKind::Section) {
      if (inSection) break;  // only the first of duplicate sections counts
      inSection = EqualsNoCase(line.name, wantedSection);
    } else if (inSection && line.kind == LineKind::Key) {
      if (listKeys) {
        // A duplicate key cannot be read, so it is listed once.
        bool known = false;
        for (std::string_view n : names) known = known || EqualsNoCase(n, line.name);
        if (!known) names.push_back(line.name);
      } else if (EqualsNoCase(line.name, wantedKey)) {
        // Everything after the "=" is the value, leading blanks and quotes
        // included, so texts that start with a blank (a sentence following a
        // name) survive.
        std::string_view v = std::string_view(text).substr(line.valueBegin, line.contentEnd - line.valueBegin);
        v = v.substr(0, PrefixBytes(v, charLimit));
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        return std::string(v);
      }
    }
  }
  return listKeys ? KeyList(names) : std::string();
}

}  // namespace

std::string ReadIni(const std::string& filePath, const std::string& section, const std::string& key) {
  return ReadValue(filePath, section, key, kValueCharLimit);
}

std::string ReadIniWhole(const std::string& filePath, const std::string& section, const std::string& key) {
  return ReadValue(filePath, section, key, std::string::npos);
}

void WriteIni(const std::string& filePath, const std::string& section, const std::string& key,
              const std::string& value) {
  WriteIniValues(filePath, {{section, key, value}});
}

bool WriteIniValues(const std::string& filePath, const std::vector<IniValue>& values) {
  try {
    return WriteValuesOrFail(filePath, values);
  } catch (...) {
    // Out of memory: the file stays as it was.
    return false;
  }
}

namespace ini_testing {
void SetRenameFunction(RenameFunction f) { g_rename = f; }
}  // namespace ini_testing

}  // namespace vandrel
