// Reading the text form of a form definition into a component tree.
//
// Syntax (keywords and True/False/nil are case-insensitive):
//   object [Name ':'] Class ['[' childPos ']']  properties  objects  end
//   property: Name['.'Name...] '=' value
//   value: integer ($hex allowed, optional sign) | float (optional s/c/d
//          suffix) | string ('quoted' with '' for a quote, #nn and #$hh
//          character codes, parts joined by '+') | identifier | True | False |
//          nil | [a, b] | ( values ) | { hex bytes } | TBitmap('file')
// A comment runs from // to the end of the line; braces hold binary data.
// Every error names the line and column it was found at.
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "toolkit/FormStream.h"

namespace formstream {
namespace {

constexpr int kMaxDepth = 64;

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c); }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b = static_cast<std::uint8_t>(s[i]);
  std::size_t len;
  char32_t c, min;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) { len = 2; c = b & 0x1F; min = 0x80; }
  else if ((b & 0xF0) == 0xE0) { len = 3; c = b & 0x0F; min = 0x800; }
  else if ((b & 0xF8) == 0xF0) { len = 4; c = b & 0x07; min = 0x10000; }
  else return 0;
  if (s.size() - i < len) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto cb = static_cast<std::uint8_t>(s[i + k]);
    if ((cb & 0xC0) != 0x80) return 0;
    c = (c << 6) | (cb & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return len;
}

enum class Tok {
  Eof, Ident, Integer, Float, String, Binary,
  Equals, Colon, Comma, LBracket, RBracket, LParen, RParen, Less,
};

struct Token {
  Tok kind = Tok::Eof;
  int line = 1, column = 1;
  std::string text;  // identifier, string contents (UTF-8)
  std::int64_t integer = 0;
  double real = 0;
  std::vector<std::uint8_t> bytes;
};

struct Where {
  int line, column;
};

[[noreturn]] void FailAt(Where w, const std::string& why) {
  throw Exception("Form text, line " + std::to_string(w.line) + ", column " +
                  std::to_string(w.column) + ": " + why);
}

std::string Describe(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
  static const char digits[] = "0123456789ABCDEF";
  return std::string("byte 0x") + digits[u >> 4] + digits[u & 0xF];
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : s_(text) {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // UTF-8 byte order mark
  }

  Token Next() {
    SkipSpace();
    Token t;
    t.line = line_;
    t.column = column_;
    const Where at{line_, column_};
    if (pos_ >= s_.size()) return t;
    const char c = s_[pos_];
    if (IsIdentStart(c)) {
      t.kind = Tok::Ident;
      t.text = Identifier();
      return t;
    }
    if (IsDigit(c) || c == '$' ||
        ((c == '-' || c == '+') && pos_ + 1 < s_.size() &&
         (IsDigit(s_[pos_ + 1]) || s_[pos_ + 1] == '$'))) {
      Number(t);
      return t;
    }
    if (c == '\'' || c == '#') {
      t.kind = Tok::String;
      StringLiteral(t.text);
      return t;
    }
    if (c == '{') {
      t.kind = Tok::Binary;
      BinaryData(t.bytes);
      return t;
    }
    switch (c) {
      case '=': t.kind = Tok::Equals; break;
      case ':': t.kind = Tok::Colon; break;
      case ',': t.kind = Tok::Comma; break;
      case '[': t.kind = Tok::LBracket; break;
      case ']': t.kind = Tok::RBracket; break;
      case '(': t.kind = Tok::LParen; break;
      case ')': t.kind = Tok::RParen; break;
      case '<': t.kind = Tok::Less; break;
      default: FailAt(at, "unexpected character " + Describe(c));
    }
    Advance();
    return t;
  }

  bool NextIs(char c) {
    SkipSpace();
    return pos_ < s_.size() && s_[pos_] == c;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1, column_ = 1;
  char32_t pendingHigh_ = 0;
  Where pendingAt_{0, 0};

  Where Here() const { return {line_, column_}; }

  void Advance() {
    const char c = s_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column_;  // columns count characters, not UTF-8 continuation bytes
    }
  }

  void SkipSpace() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') Advance();
      } else {
        break;
      }
    }
  }

  // Identifier, with dotted parts ("Font.Name", "Form2.Button1").
  std::string Identifier() {
    std::string out;
    for (;;) {
      while (pos_ < s_.size() && IsIdentChar(s_[pos_])) {
        out += s_[pos_];
        Advance();
      }
      if (pos_ + 1 < s_.size() && s_[pos_] == '.' && IsIdentStart(s_[pos_ + 1])) {
        out += '.';
        Advance();
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '.')
        FailAt(Here(), "a name must follow '.' in '" + out + ".'");
      return out;
    }
  }

  void Number(Token& t) {
    const Where at = Here();
    bool negative = false;
    if (s_[pos_] == '-' || s_[pos_] == '+') {
      negative = s_[pos_] == '-';
      Advance();
    }
    if (s_[pos_] == '$') {
      Advance();
      std::uint64_t v = 0;
      int digits = 0;
      while (pos_ < s_.size() && HexDigit(s_[pos_]) >= 0) {
        if (++digits > 16) FailAt(at, "hexadecimal number has more than 16 digits");
        v = (v << 4) | static_cast<unsigned>(HexDigit(s_[pos_]));
        Advance();
      }
      if (digits == 0) FailAt(at, "hexadecimal digits expected after '$'");
      EndOfNumber(at);
      t.kind = Tok::Integer;
      // 16 hex digits are a 64-bit pattern: $FFFFFFFFFFFFFFFF is -1.
      const auto value = static_cast<std::int64_t>(v);
      t.integer = negative ? static_cast<std::int64_t>(0ULL - v) : value;
      return;
    }
    const std::size_t start = pos_;
    bool real = false;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) Advance();
    if (pos_ < s_.size() && s_[pos_] == '.') {
      real = true;
      Advance();
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) FailAt(Here(), "digits expected after '.'");
      while (pos_ < s_.size() && IsDigit(s_[pos_])) Advance();
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      real = true;
      Advance();
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) Advance();
      if (pos_ >= s_.size() || !IsDigit(s_[pos_])) FailAt(Here(), "digits expected in the exponent");
      while (pos_ < s_.size() && IsDigit(s_[pos_])) Advance();
    }
    const std::string_view digits = s_.substr(start, pos_ - start);
    // The suffixes mark single, currency and date values.
    if (pos_ < s_.size() && (s_[pos_] == 's' || s_[pos_] == 'c' || s_[pos_] == 'd' ||
                             s_[pos_] == 'S' || s_[pos_] == 'C' || s_[pos_] == 'D')) {
      real = true;
      Advance();
    }
    EndOfNumber(at);
    if (real) {
      double v = 0;
      const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
      if (r.ec != std::errc() || r.ptr != digits.data() + digits.size())
        FailAt(at, "number '" + std::string(digits) + "' is out of range");
      t.kind = Tok::Float;
      t.real = negative ? -v : v;
      return;
    }
    std::uint64_t v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    const std::uint64_t limit = negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL;
    if (r.ec != std::errc() || v > limit)
      FailAt(at, "integer " + std::string(negative ? "-" : "") + std::string(digits) +
                     " does not fit in 64 bits");
    t.kind = Tok::Integer;
    t.integer = negative ? static_cast<std::int64_t>(0ULL - v) : static_cast<std::int64_t>(v);
  }

  void EndOfNumber(Where at) {
    if (pos_ < s_.size() && (IsIdentChar(s_[pos_]) || s_[pos_] == '.'))
      FailAt(at, "malformed number (unexpected " + Describe(s_[pos_]) + ")");
  }

  // A string: runs of adjacent 'quoted' parts and #codes, joined by '+'
  // (also across lines). Surrogate halves given as #codes are paired, even
  // when a '+' splits the pair.
  void StringLiteral(std::string& out) {
    for (;;) {
      StringParts(out);
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '+') break;
      const Where plus = Here();
      Advance();
      SkipSpace();
      if (pos_ >= s_.size() || (s_[pos_] != '\'' && s_[pos_] != '#'))
        FailAt(plus, "expected a string after '+'");
    }
    NoPendingHigh();
  }

  void StringParts(std::string& out) {
    while (pos_ < s_.size() && (s_[pos_] == '\'' || s_[pos_] == '#')) {
      if (s_[pos_] == '\'') {
        const Where open = Here();
        Advance();
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r')
            FailAt(open, "string not closed on its line");
          if (s_[pos_] == '\'') {
            Advance();
            if (pos_ < s_.size() && s_[pos_] == '\'') {  // '' is one quote
              NoPendingHigh();
              out += '\'';
              Advance();
              continue;
            }
            break;
          }
          const std::size_t len = Utf8SequenceLength(s_, pos_);
          if (len == 0) FailAt(Here(), "string holds bytes that are not valid UTF-8");
          NoPendingHigh();
          for (std::size_t k = 0; k < len; ++k) {
            out += s_[pos_];
            Advance();
          }
        }
      } else {
        const Where at = Here();
        Advance();
        std::uint32_t v = 0;
        int digits = 0;
        const bool hex = pos_ < s_.size() && s_[pos_] == '$';
        if (hex) Advance();
        while (pos_ < s_.size() && (hex ? HexDigit(s_[pos_]) >= 0 : IsDigit(s_[pos_]))) {
          v = v * (hex ? 16 : 10) + static_cast<std::uint32_t>(hex ? HexDigit(s_[pos_]) : s_[pos_] - '0');
          if (v > 0x10FFFF) FailAt(at, "character code is above U+10FFFF");
          ++digits;
          Advance();
        }
        if (digits == 0) FailAt(at, "character code expected after '#'");
        if (pos_ < s_.size() && IsIdentChar(s_[pos_]))
          FailAt(at, "malformed character code (unexpected " + Describe(s_[pos_]) + ")");
        AddCode(at, v, out);
      }
    }
  }

  void NoPendingHigh() {
    if (pendingHigh_)
      FailAt(pendingAt_, "character code #" + std::to_string(pendingHigh_) +
                             " is a high surrogate without its low half");
  }

  void AddCode(Where at, char32_t c, std::string& out) {
    if (c >= 0xDC00 && c <= 0xDFFF) {
      if (!pendingHigh_)
        FailAt(at, "character code #" + std::to_string(c) + " is a low surrogate without its high half");
      AppendUtf8(out, 0x10000 + ((pendingHigh_ - 0xD800) << 10) + (c - 0xDC00));
      pendingHigh_ = 0;
      return;
    }
    NoPendingHigh();
    if (c >= 0xD800 && c <= 0xDBFF) {
      pendingHigh_ = c;
      pendingAt_ = at;
      return;
    }
    AppendUtf8(out, c);
  }

  void BinaryData(std::vector<std::uint8_t>& out) {
    const Where open = Here();
    Advance();
    int high = -1;
    Where highAt{};
    for (;;) {
      if (pos_ >= s_.size()) FailAt(open, "binary data not closed with '}'");
      const char c = s_[pos_];
      if (c == '}') {
        if (high >= 0) FailAt(highAt, "binary data has an odd number of hex digits");
        Advance();
        return;
      }
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        Advance();
        continue;
      }
      const int d = HexDigit(c);
      if (d < 0) FailAt(Here(), "unexpected " + Describe(c) + " in binary data");
      if (high < 0) {
        high = d;
        highAt = Here();
      } else {
        out.push_back(static_cast<std::uint8_t>(high * 16 + d));
        high = -1;
      }
      Advance();
    }
  }
};

class TextReader {
 public:
  TextReader(std::string_view text, const FileLoader& loadFile) : lex_(text), loadFile_(loadFile) {
    Next();
  }

  Component ReadRoot() {
    if (tok_.kind == Tok::Eof) FailAt(At(), "the text holds no object");
    Component root = ReadObject(0);
    if (tok_.kind != Tok::Eof) FailAt(At(), "unexpected " + Name(tok_) + " after the last 'end'");
    return root;
  }

 private:
  Lexer lex_;
  const FileLoader& loadFile_;
  Token tok_;

  Where At() const { return {tok_.line, tok_.column}; }
  void Next() { tok_ = lex_.Next(); }

  static std::string Name(const Token& t) {
    switch (t.kind) {
      case Tok::Eof: return "end of text";
      case Tok::Ident: return "'" + t.text + "'";
      case Tok::Integer: return "number " + std::to_string(t.integer);
      case Tok::Float: return "a number";
      case Tok::String: return "a string";
      case Tok::Binary: return "binary data";
      case Tok::Equals: return "'='";
      case Tok::Colon: return "':'";
      case Tok::Comma: return "','";
      case Tok::LBracket: return "'['";
      case Tok::RBracket: return "']'";
      case Tok::LParen: return "'('";
      case Tok::RParen: return "')'";
      case Tok::Less: return "'<'";
    }
    return "a token";
  }

  bool IsKeyword(std::string_view word) const {
    return tok_.kind == Tok::Ident && EqualsNoCase(tok_.text, word);
  }

  void Expect(Tok kind, const std::string& what) {
    if (tok_.kind != kind) FailAt(At(), "expected " + what + " but found " + Name(tok_));
    Next();
  }

  std::string ExpectPlainName(const std::string& what) {
    if (tok_.kind != Tok::Ident || tok_.text.find('.') != std::string::npos || IsKeyword("object") ||
        IsKeyword("end") || IsKeyword("inherited") || IsKeyword("inline"))
      FailAt(At(), "expected " + what + " but found " + Name(tok_));
    std::string name = tok_.text;
    Next();
    return name;
  }

  Component ReadObject(int depth) {
    if (IsKeyword("inherited") || IsKeyword("inline"))
      FailAt(At(), "'" + tok_.text + "' components are not supported; use 'object'");
    if (!IsKeyword("object")) FailAt(At(), "expected 'object' but found " + Name(tok_));
    if (depth > kMaxDepth)
      FailAt(At(), "objects nested deeper than " + std::to_string(kMaxDepth) + " levels");
    Next();
    Component c;
    std::string first = ExpectPlainName("a component name or class name");
    if (tok_.kind == Tok::Colon) {
      Next();
      c.name = std::move(first);
      c.className = ExpectPlainName("a class name after ':'");
    } else {
      c.className = std::move(first);  // an unnamed component
    }
    if (tok_.kind == Tok::LBracket) {
      Next();
      if (tok_.kind != Tok::Integer)
        FailAt(At(), "expected a child position in '[ ]' but found " + Name(tok_));
      c.filerFlags |= 0x02;
      c.childPos = tok_.integer;
      Next();
      Expect(Tok::RBracket, "']' after the child position");
    }
    const std::string label = c.name.empty() ? "an unnamed " + c.className : c.name;
    for (;;) {
      if (IsKeyword("end")) {
        Next();
        return c;
      }
      if (IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline")) {
        c.children.push_back(ReadObject(depth + 1));
        continue;
      }
      if (tok_.kind == Tok::Eof) FailAt(At(), "'end' of " + label + " is missing");
      if (tok_.kind != Tok::Ident)
        FailAt(At(), "expected a property name, 'object' or 'end' but found " + Name(tok_));
      if (!c.children.empty())
        FailAt(At(), "property '" + tok_.text + "' of " + label +
                         " comes after a nested object; properties come first");
      Property p;
      p.name = tok_.text;
      Next();
      Expect(Tok::Equals, "'=' after property name '" + p.name + "'");
      p.value = ReadValue(depth + 1);
      c.properties.push_back(std::move(p));
    }
  }

  Value ReadValue(int depth) {
    if (depth > kMaxDepth)
      FailAt(At(), "lists nested deeper than " + std::to_string(kMaxDepth) + " levels");
    const Where at = At();
    switch (tok_.kind) {
      case Tok::Integer: {
        Value v{Integer{tok_.integer}};
        Next();
        return v;
      }
      case Tok::Float: {
        Value v{Float{tok_.real}};
        Next();
        return v;
      }
      case Tok::String:
        return {String{ReadString()}};
      case Tok::Binary: {
        Value v{Binary{std::move(tok_.bytes)}};
        Next();
        return v;
      }
      case Tok::Ident: {
        if (IsKeyword("object") || IsKeyword("end") || IsKeyword("inherited") || IsKeyword("inline"))
          FailAt(at, "expected a value but found " + Name(tok_));
        std::string word = std::move(tok_.text);
        if (lex_.NextIs('(')) {
          Next();
          if (!EqualsNoCase(word, "TBitmap"))
            FailAt(at, "unknown '" + word + "(...)'; only TBitmap('file') is supported");
          return {ReadBitmap(at)};
        }
        Next();
        if (EqualsNoCase(word, "True")) return {true};
        if (EqualsNoCase(word, "False")) return {false};
        if (EqualsNoCase(word, "nil")) return {Nil{}};
        return {Identifier{std::move(word)}};
      }
      case Tok::LBracket: {
        Next();
        Set set;
        if (tok_.kind != Tok::RBracket) {
          for (;;) {
            set.names.push_back(ExpectPlainName("a set element name"));
            if (tok_.kind == Tok::RBracket) break;
            Expect(Tok::Comma, "',' or ']' in a set");
          }
        }
        Next();
        return {std::move(set)};
      }
      case Tok::LParen: {
        Next();
        ValueList list;
        while (tok_.kind != Tok::RParen) {
          if (tok_.kind == Tok::Eof) FailAt(at, "list not closed with ')'");
          list.push_back(ReadValue(depth + 1));
        }
        Next();
        return {std::move(list)};
      }
      case Tok::Less:
        FailAt(at, "collections are not supported");
      default:
        FailAt(at, "expected a value but found " + Name(tok_));
    }
  }

  std::string ReadString() {
    std::string text = std::move(tok_.text);
    Next();
    return text;
  }

  // TBitmap('file'): the bitmap file's bytes in the Picture.Data layout.
  Binary ReadBitmap(Where at) {
    Expect(Tok::LParen, "'('");
    if (tok_.kind != Tok::String) FailAt(At(), "expected a file name string in TBitmap(...)");
    const std::string file = ReadString();
    Expect(Tok::RParen, "')' after the file name");
    if (!loadFile_) FailAt(at, "TBitmap('" + file + "') needs a file loader");
    std::vector<std::uint8_t> data;
    try {
      data = loadFile_(file);
    } catch (const std::exception& e) {
      FailAt(at, "cannot load TBitmap('" + file + "'): " + e.what());
    }
    if (data.size() > std::numeric_limits<std::uint32_t>::max())
      FailAt(at, "TBitmap('" + file + "') is larger than 4 GiB");
    static constexpr std::string_view kClass = "TBitmap";
    Binary b;
    b.bytes.reserve(1 + kClass.size() + 4 + data.size());
    b.bytes.push_back(static_cast<std::uint8_t>(kClass.size()));
    b.bytes.insert(b.bytes.end(), kClass.begin(), kClass.end());
    const auto n = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) b.bytes.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    b.bytes.insert(b.bytes.end(), data.begin(), data.end());
    return b;
  }
};

}  // namespace

Component ReadText(std::string_view text, const FileLoader& loadFile) {
  return TextReader(text, loadFile).ReadRoot();
}

}  // namespace formstream
