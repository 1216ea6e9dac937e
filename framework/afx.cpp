#include "framework/afx.h"

#include <limits>

CString CString::FromUtf8(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c >> 4) == 0xE) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c >> 3) == 0x1E) {
      len = 4;
      cp = c & 0x07;
    } else {
      len = 0;  // stray continuation or invalid lead byte
    }
    if (len > 1) {
      if (i + len > in.size()) {
        len = 0;
      } else {
        for (size_t k = 1; k < len; ++k) {
          unsigned char cc = static_cast<unsigned char>(in[i + k]);
          if ((cc >> 6) != 0x2) {
            len = 0;
            break;
          }
          cp = (cp << 6) | (cc & 0x3F);
        }
      }
    }
    if (len == 0) {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    i += len;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\xFFFD');
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return CString(std::move(out));
}

std::string CString::ToUtf8() const {
  std::string out;
  out.reserve(m_s.size());
  for (size_t i = 0; i < m_s.size(); ++i) {
    char32_t cp = m_s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < m_s.size() && m_s[i + 1] >= 0xDC00 &&
        m_s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (m_s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

CString CString::FormatMessageArgs(const CString& a1, const CString& a2) const {
  std::u16string out;
  for (size_t i = 0; i < m_s.size(); ++i) {
    if (m_s[i] == u'%' && i + 1 < m_s.size() && (m_s[i + 1] == u'1' || m_s[i + 1] == u'2')) {
      out += (m_s[i + 1] == u'1' ? a1 : a2).Str();
      ++i;
    } else {
      out.push_back(m_s[i]);
    }
  }
  return CString(std::move(out));
}

CString IntToString(long long v) {
  return CString(std::to_string(v).c_str());
}

long long CTime::SatAdd(long long a, long long b) {
  using L = std::numeric_limits<long long>;
  long long r = 0;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? L::max() : L::min();
  return r;
}
