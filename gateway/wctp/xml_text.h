#pragma once
// Character classes and text rewriting shared by the XML parser's readers.
// Every scan over a zero-terminated text stops at its zero byte.
#include <string>
#include <string_view>

namespace vltg::xml {

// Tab, LF, CR and blank.
inline bool IsWhite(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// ":", "_", "A"-"Z", "a"-"z", 0xC0-0xD6, 0xD8-0xF6, 0xF8-0xFF.
bool IsNameStart(char c);

// A character that may stand in the name of a "%" or "&" reference.
bool IsRefNameChar(char c);

// Whether the text at p begins with `lit`; never looks past p's zero byte.
bool StartsWith(const char* p, std::string_view lit);

// The first occurrence of `lit` at or after p, or nullptr.
const char* Find(const char* p, std::string_view lit);

// The zero byte that ends the text p points into.
const char* EndOfText(const char* p);

// Trims white space at both ends, turns every tab, LF or CR into a blank and
// collapses runs of white space to one blank.
std::string Collapse(std::string_view text);

// Turns every tab, LF or CR into a blank.
std::string WhiteToBlanks(std::string_view text);

std::string RemoveWhite(std::string_view text);

// The character a reference "&#" body ";" stands for: body is decimal digits,
// or "x"/"X" and hexadecimal digits; the code is the number's low eight bits.
// An unreadable number gives a blank, and so does code 0, which would cut the
// texts built from it short.
char CharRefChar(std::string_view body);

// Replaces every "&#" ... ";" by its character.
std::string ReplaceCharRefs(std::string_view text);

}  // namespace vltg::xml
