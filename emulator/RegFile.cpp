#include "emulator/RegFile.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/TextCodec.h"

namespace rapiemu {

namespace {

constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr const char* kHeaderHint =
    "expected \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\" on the first line";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::u16string_view TrimRight(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Empty, or only a comment.
bool IsEndOfLine(std::u16string_view rest) {
  rest = TrimLeft(rest);
  return rest.empty() || rest.front() == u';';
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && FoldCase(text.substr(0, prefix.size())) == prefix;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads up to maxDigits hex digits from the front of text.
std::optional<std::uint32_t> TakeHex(std::u16string_view& text, std::size_t maxDigits,
                                     std::size_t* digits = nullptr) {
  std::size_t count = 0;
  while (count < text.size() && HexDigit(text[count]) >= 0) ++count;
  if (digits) *digits = count;
  if (count == 0 || count > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = (value << 4) | static_cast<std::uint32_t>(HexDigit(text[i]));
  }
  text.remove_prefix(count);
  return value;
}

std::string Quote(std::u16string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown = Utf16ToUtf8(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  while (true) {
    const auto end = text.find(u'\n');
    auto line = text.substr(0, end);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::u16string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

int LineOfOffset(std::string_view bytes, std::size_t offset) {
  return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

std::u16string Decode(std::string_view bytes) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(byteAt(i) | (byteAt(i + 1) << 8)));
    }
    if (bytes.size() % 2 != 0) {
      const int line = 1 + static_cast<int>(std::count(text.begin(), text.end(), u'\n'));
      throw RegFileError(line, "UTF-16 file ends in the middle of a character (odd byte count)");
    }
    return text;
  }
  if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
    throw RegFileError(1, "UTF-16 big-endian files are not supported; save as UTF-16LE or UTF-8");
  }
  if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
    bytes.remove_prefix(3);
  } else if (bytes.size() >= 2 && byteAt(0) != 0 && byteAt(1) == 0) {
    throw RegFileError(
        1, "the file looks like UTF-16LE without a byte-order mark; " + std::string(kHeaderHint));
  }
  std::size_t bad = 0;
  auto text = Utf8ToUtf16(bytes, &bad);
  if (!text) throw RegFileError(LineOfOffset(bytes, bad), "malformed UTF-8");
  return std::move(*text);
}

struct RootSpelling {
  std::u16string_view name;  // folded
  std::uint32_t handle;
};

constexpr RootSpelling kRoots[] = {
    {u"hkey_local_machine", kRootLocalMachine},
    {u"hklm", kRootLocalMachine},
    {u"hkey_current_user", kRootCurrentUser},
    {u"hkcu", kRootCurrentUser},
    {u"hkey_classes_root", kRootClasses},
    {u"hkcr", kRootClasses},
    {u"hkey_users", kRootUsers},
    {u"hku", kRootUsers},
};

class Parser {
 public:
  Parser(std::vector<std::u16string> lines, Registry& registry)
      : lines_(std::move(lines)), registry_(registry) {}

  void run() {
    readHeader();
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      const auto line = TrimLeft(lines_[index_]);
      if (line.empty() || line.front() == u';') continue;
      if (line.front() == u'[') {
        keyLine(line);
      } else if (line.front() == u'"' || line.front() == u'@') {
        valueLine(line);
      } else {
        fail("expected a [key] line, a \"name\"= or @= value, or a ; comment, found " +
             Quote(line));
      }
    }
  }

 private:
  [[noreturn]] void fail(const std::string& reason) const {
    throw RegFileError(static_cast<int>(index_ + 1), reason);
  }

  void readHeader() {
    index_ = 0;
    const auto header = TrimRight(lines_.front());
    if (header == kHeader4) {
      regedit4_ = true;
    } else if (header != kHeader5) {
      if (header.empty()) fail(std::string("missing header: ") + kHeaderHint);
      fail("unknown header " + Quote(header) + ": " + kHeaderHint);
    }
  }

  void keyLine(std::u16string_view line) {
    const auto close = line.rfind(u']');
    if (close == std::u16string_view::npos) fail("key line without a closing ]");
    if (!IsEndOfLine(line.substr(close + 1))) {
      fail("unexpected text after the key's closing ]: " + Quote(line.substr(close + 1)));
    }
    auto path = line.substr(1, close - 1);
    const bool deletion = !path.empty() && path.front() == u'-';
    if (deletion) path.remove_prefix(1);

    std::vector<std::u16string_view> parts;
    while (true) {
      const auto end = path.find(u'\\');
      parts.push_back(path.substr(0, end));
      if (end == std::u16string_view::npos) break;
      path.remove_prefix(end + 1);
    }
    RegKey* key = rootNamed(parts.front());
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (parts[i].empty()) fail("empty key name in the path (doubled or trailing backslash)");
    }

    current_ = nullptr;
    afterDeletion_ = deletion;
    if (deletion) {
      if (parts.size() == 1) fail("a root key cannot be deleted");
      for (std::size_t i = 1; key && i + 1 < parts.size(); ++i) {
        key = key->findChild(parts[i]);
      }
      if (key) key->removeChild(parts.back());
      return;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) key = &key->child(parts[i]);
    current_ = key;
  }

  RegKey* rootNamed(std::u16string_view name) {
    if (name.empty()) fail("missing root key name in [ ]");
    const auto folded = FoldCase(name);
    for (const auto& root : kRoots) {
      if (folded == root.name) return registry_.root(root.handle);
    }
    fail("unknown root key " + Quote(name) +
         " (expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS or "
         "their short forms HKLM, HKCU, HKCR, HKU)");
  }

  // A quoted string at the front of text; text is left after the closing quote.
  std::u16string takeQuoted(std::u16string_view& text) const {
    std::u16string out;
    std::size_t i = 1;  // past the opening quote
    while (true) {
      if (i >= text.size()) fail("string not closed by a \" before the end of the line");
      const char16_t c = text[i++];
      if (c == u'"') break;
      if (c == u'\\') {
        if (i >= text.size()) fail("string not closed by a \" before the end of the line");
        const char16_t escaped = text[i++];
        if (escaped != u'\\' && escaped != u'"') {
          fail("unknown escape \\" + Utf16ToUtf8(std::u16string(1, escaped)) +
               " in a string (only \\\\ and \\\" are allowed)");
        }
        out.push_back(escaped);
      } else {
        out.push_back(c);
      }
    }
    text.remove_prefix(i);
    return out;
  }

  void expectEnd(std::u16string_view rest) const {
    if (!IsEndOfLine(rest)) fail("unexpected text after the value: " + Quote(TrimLeft(rest)));
  }

  void valueLine(std::u16string_view line) {
    if (!current_) {
      fail(afterDeletion_ ? "value after a [-key] deletion line; values need a [key] line"
                          : "value before any [key] line");
    }
    RegValue value;
    if (line.front() == u'@') {
      line.remove_prefix(1);
    } else {
      value.name = takeQuoted(line);
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != u'=') fail("expected = after the value name");
    line = TrimLeft(line.substr(1));

    if (!line.empty() && line.front() == u'-') {
      expectEnd(line.substr(1));
      current_->removeValue(value.name);
      return;
    }
    if (!line.empty() && line.front() == u'"') {
      const auto text = takeQuoted(line);
      expectEnd(line);
      value.type = kTypeString;
      value.data = StringData(text);
    } else if (StartsWithNoCase(line, u"dword:")) {
      line.remove_prefix(6);
      std::size_t digits = 0;
      const auto number = TakeHex(line, 8, &digits);
      if (!number) {
        fail(digits == 0 ? "dword: needs 1 to 8 hex digits" : "dword: has more than 8 hex digits");
      }
      expectEnd(line);
      value.type = kTypeDword;
      for (int shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
      }
    } else if (StartsWithNoCase(line, u"hex:")) {
      line.remove_prefix(4);
      value.type = kTypeBinary;
      value.data = takeHexList(line);
    } else if (StartsWithNoCase(line, u"hex(")) {
      line.remove_prefix(4);
      const auto type = TakeHex(line, 8);
      if (!type || line.size() < 2 || line[0] != u')' || line[1] != u':') {
        fail("expected hex(<type in hex>): before the bytes");
      }
      line.remove_prefix(2);
      value.type = *type;
      value.data = takeHexList(line);
      if (regedit4_ && (value.type == kTypeString || value.type == kTypeExpandString ||
                        value.type == kTypeMultiString)) {
        value.data = Widen(value.data);
      }
    } else {
      fail("unrecognised value data " + Quote(line) +
           " (expected \"text\", dword:, hex:, hex(<type>): or -)");
    }
    current_->setValue(std::move(value));
  }

  // Comma-separated bytes of one or two hex digits; a backslash at the end of
  // a line continues the list on the next line.
  std::vector<std::uint8_t> takeHexList(std::u16string_view rest) {
    std::vector<std::uint8_t> bytes;
    while (true) {
      rest = TrimLeft(rest);
      if (rest.empty() || rest.front() == u';') return bytes;
      if (rest.front() == u'\\') {
        if (!IsEndOfLine(rest.substr(1))) fail("a line continuation \\ must end the line");
        if (index_ + 1 >= lines_.size()) fail("line continuation \\ at the end of the file");
        rest = lines_[++index_];
        continue;
      }
      std::size_t digits = 0;
      const auto byte = TakeHex(rest, 2, &digits);
      if (!byte) {
        fail(digits == 0 ? "expected a hex byte, found " + Quote(rest)
                         : "a hex byte has more than 2 digits");
      }
      bytes.push_back(static_cast<std::uint8_t>(*byte));
      rest = TrimLeft(rest);
      if (!rest.empty() && rest.front() == u',') {
        rest.remove_prefix(1);
      } else if (!rest.empty() && rest.front() != u'\\' && rest.front() != u';') {
        fail("expected , between hex bytes, found " + Quote(rest));
      }
    }
  }

  static std::vector<std::uint8_t> Widen(const std::vector<std::uint8_t>& narrow) {
    std::vector<std::uint8_t> wide;
    wide.reserve(narrow.size() * 2);
    for (std::uint8_t c : narrow) {
      wide.push_back(c);
      wide.push_back(0);
    }
    return wide;
  }

  std::vector<std::u16string> lines_;
  Registry& registry_;
  std::size_t index_ = 0;
  bool regedit4_ = false;
  RegKey* current_ = nullptr;
  bool afterDeletion_ = false;
};

}  // namespace

RegFileError::RegFileError(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

void ApplyRegFile(std::string_view bytes, Registry& registry) {
  if (bytes.empty()) throw RegFileError(1, std::string("empty file: ") + kHeaderHint);
  Parser(SplitLines(Decode(bytes)), registry).run();
}

Registry ParseRegFile(std::string_view bytes) {
  Registry registry;
  ApplyRegFile(bytes, registry);
  return registry;
}

}  // namespace rapiemu
