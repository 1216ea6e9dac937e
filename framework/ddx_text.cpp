#include "framework/ddx_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

constexpr size_t kMaxFieldChars = 31;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The first 31 characters, as ASCII; any other character becomes 0x7F, which no
// number accepts.
std::string Prefix(const CString& text) {
  std::string s;
  for (char16_t c : text.Str().substr(0, kMaxFieldChars))
    s.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');
  return s;
}

size_t SkipBlanks(const std::string& s, size_t i) {
  while (i < s.size() && IsBlank(static_cast<char16_t>(s[i]))) ++i;
  return i;
}

}  // namespace

std::optional<int> ParseDialogInt(const CString& text) {
  std::string s = Prefix(text);
  size_t i = SkipBlanks(s, 0);
  char first = i < s.size() ? s[i] : '\0';
  bool negative = false;
  size_t j = i;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative = s[j++] == '-';
  size_t digitsStart = j;
  long long value = 0;
  while (j < s.size() && IsDigit(static_cast<char16_t>(s[j]))) {
    if (value <= std::numeric_limits<int>::max() + 1LL) value = value * 10 + (s[j] - '0');
    ++j;
  }
  if (j == digitsStart) j = i;  // no digits: strtol consumes nothing
  if (negative) value = -value;
  value = std::max<long long>(value, std::numeric_limits<int>::min());
  value = std::min<long long>(value, std::numeric_limits<int>::max());
  if (value == 0 && first != '0') return std::nullopt;
  j = SkipBlanks(s, j);
  if (j != s.size()) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<double> ParseDialogDouble(const CString& text) {
  std::string s = Prefix(text);
  size_t i = SkipBlanks(s, 0);
  char first = i < s.size() ? s[i] : '\0';
  size_t j = i;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
  size_t mantissa = j;
  size_t intDigits = 0, fracDigits = 0;
  while (j < s.size() && IsDigit(static_cast<char16_t>(s[j]))) ++j, ++intDigits;
  if (j < s.size() && s[j] == '.') {
    size_t k = j + 1;
    while (k < s.size() && IsDigit(static_cast<char16_t>(s[k]))) ++k, ++fracDigits;
    if (intDigits + fracDigits > 0) j = k;
  }
  double value = 0.0;
  if (intDigits + fracDigits == 0) {
    j = i;  // strtod consumes nothing
  } else {
    if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
      size_t k = j + 1;
      if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
      size_t expDigits = k;
      while (k < s.size() && IsDigit(static_cast<char16_t>(s[k]))) ++k;
      if (k > expDigits) j = k;
    }
    // from_chars is locale-independent; it takes no '+', which the sign below restores.
    bool negative = s[i] == '-';
    std::from_chars_result r =
        std::from_chars(s.data() + mantissa, s.data() + j, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
      // Like strtod: overflow gives HUGE_VAL, underflow 0.
      size_t e = s.find_first_of("eE", mantissa);
      bool tiny = e != std::string::npos && e < j && s[e + 1] == '-';
      value = tiny ? 0.0 : HUGE_VAL;
    }
    if (negative) value = -value;
  }
  if (value == 0.0 && first != '0') return std::nullopt;
  j = SkipBlanks(s, j);
  if (j != s.size()) return std::nullopt;
  return value;
}

CString FormatDialogFloat(float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", 6, static_cast<double>(value));
  return CString(buf);
}

int AtoiText(const CString& text) {
  const std::u16string& s = text.Str();
  size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || (s[i] >= u'\t' && s[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  long long value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    if (value <= std::numeric_limits<int>::max() + 1LL) value = value * 10 + (s[i] - u'0');
  }
  if (negative) value = -value;
  value = std::max<long long>(value, std::numeric_limits<int>::min());
  value = std::min<long long>(value, std::numeric_limits<int>::max());
  return static_cast<int>(value);
}
