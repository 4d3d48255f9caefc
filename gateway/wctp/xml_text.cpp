#include "gateway/wctp/xml_text.h"

#include <cstdint>

namespace vltg::xml {

bool IsNameStart(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b == ':' || b == '_' || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
         (b >= 0xC0 && b <= 0xD6) || (b >= 0xD8 && b <= 0xF6) || b >= 0xF8;
}

bool IsRefNameChar(char c) {
  switch (c) {
    case '\0': case '\t': case '\n': case '\r': case ' ':
    case ';': case '%': case '&': case '<': case '>':
    case '"': case '\'': case '[': case ']':
      return false;
    default:
      return true;
  }
}

bool StartsWith(const char* p, std::string_view lit) {
  for (size_t i = 0; i < lit.size(); ++i) {
    if (p[i] != lit[i]) return false;  // a zero byte differs, so p[i + 1] is never read
  }
  return true;
}

const char* Find(const char* p, std::string_view lit) {
  for (; *p != '\0'; ++p) {
    if (StartsWith(p, lit)) return p;
  }
  return nullptr;
}

const char* EndOfText(const char* p) {
  while (*p != '\0') ++p;
  return p;
}

std::string Collapse(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool pending = false;
  for (const char c : text) {
    if (IsWhite(c)) {
      pending = !out.empty();
    } else {
      if (pending) out += ' ';
      pending = false;
      out += c;
    }
  }
  return out;
}

std::string WhiteToBlanks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (IsWhite(c)) c = ' ';
  }
  return out;
}

std::string RemoveWhite(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (!IsWhite(c)) out += c;
  }
  return out;
}

char CharRefChar(std::string_view body) {
  int base = 10;
  if (!body.empty() && (body[0] == 'x' || body[0] == 'X')) {
    base = 16;
    body.remove_prefix(1);
  }
  if (body.empty()) return ' ';
  int64_t value = 0;
  for (const char c : body) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return ' ';
    }
    value = value * base + digit;
    if (value > INT32_MAX) return ' ';  // beyond what a 32-bit number reads
  }
  const auto code = static_cast<unsigned char>(value & 0xFF);
  return code == 0 ? ' ' : static_cast<char>(code);
}

std::string ReplaceCharRefs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (;;) {
    const size_t amp = text.find("&#", from);
    const size_t semi = amp == std::string_view::npos ? amp : text.find(';', amp + 2);
    if (semi == std::string_view::npos) break;
    out.append(text.substr(from, amp - from));
    out += CharRefChar(text.substr(amp + 2, semi - amp - 2));
    from = semi + 1;
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace vltg::xml
