#pragma once
// A text of at most N bytes: a longer value is cut to its first N bytes when
// it is assigned, as the fixed-length fields of a request record are.
#include <cstddef>
#include <string>
#include <string_view>

namespace vltg {

template <std::size_t N>
class TShortText {
 public:
  static constexpr std::size_t kMaxLength = N;

  TShortText() = default;
  TShortText(std::string_view value) : text_(value.substr(0, N)) {}  // NOLINT: assigned like a text
  TShortText(const char* value) : TShortText(std::string_view(value)) {}  // NOLINT
  TShortText(const std::string& value) : TShortText(std::string_view(value)) {}  // NOLINT
  TShortText& operator=(std::string_view value) {
    text_.assign(value.substr(0, N));
    return *this;
  }
  TShortText& operator=(const char* value) { return *this = std::string_view(value); }
  TShortText& operator=(const std::string& value) { return *this = std::string_view(value); }

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }  // NOLINT: read like a text
  operator std::string_view() const { return text_; }     // NOLINT
  bool empty() const { return text_.empty(); }
  std::size_t size() const { return text_.size(); }

  friend bool operator==(const TShortText& a, std::string_view b) { return a.text_ == b; }

 private:
  std::string text_;
};

}  // namespace vltg
