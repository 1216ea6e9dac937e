// The small vocabulary of the application framework that the dialog code speaks:
// BOOL, the command and message-box constants, CString, CTime and CTimeSpan, CPoint, CRect.
// Values equal the Windows ones so the Win32 backend passes them through unchanged.
// Names that <windows.h> defines as macros are guarded, never redefined differently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#ifndef _WINDEF_
typedef int BOOL;
typedef unsigned int UINT;
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#endif
#ifndef MB_OK
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONSTOP 0x00000010u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_SETFOREGROUND 0x00010000u
#endif

// The framework's string: UTF-16 code units, as Windows and Qt hold text, so a
// length limit counts characters the way the edit controls do.
class CString {
 public:
  CString() = default;
  CString(const char* utf8) : m_s(FromUtf8(utf8).m_s) {}  // NOLINT: implicit like MFC's
  CString(std::u16string s) : m_s(std::move(s)) {}        // NOLINT
  CString(const char16_t* s) : m_s(s) {}                  // NOLINT

  static CString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  int GetLength() const { return static_cast<int>(m_s.size()); }
  BOOL IsEmpty() const { return m_s.empty(); }
  const std::u16string& Str() const { return m_s; }
  const char16_t* c_str() const { return m_s.c_str(); }
  CString Left(int n) const { return CString(m_s.substr(0, n < 0 ? 0 : static_cast<size_t>(n))); }
  // Replaces every "%1" / "%2" the way the framework fills its standard messages.
  CString FormatMessageArgs(const CString& a1, const CString& a2 = CString()) const;

  CString& operator+=(const CString& o) {
    m_s += o.m_s;
    return *this;
  }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
  friend bool operator!=(const CString& a, const CString& b) { return a.m_s != b.m_s; }

 private:
  std::u16string m_s;
};

// Decimal text of an int ("%d").
CString IntToString(long long v);

// A span of whole seconds.
class CTimeSpan {
 public:
  CTimeSpan() = default;
  CTimeSpan(long long days, int hours, int mins, long long secs)
      : m_secs(((days * 24 + hours) * 60 + mins) * 60 + secs) {}
  long long GetTotalSeconds() const { return m_secs; }

 private:
  long long m_secs = 0;
};

// A wall-clock time in whole seconds since a fixed epoch.
class CTime {
 public:
  CTime() = default;
  explicit CTime(long long secs) : m_secs(secs) {}
  long long GetTime() const { return m_secs; }
  friend CTime operator+(CTime t, CTimeSpan s) {
    return CTime(SatAdd(t.m_secs, s.GetTotalSeconds()));
  }
  friend bool operator>=(CTime a, CTime b) { return a.m_secs >= b.m_secs; }
  friend bool operator<(CTime a, CTime b) { return a.m_secs < b.m_secs; }
  friend bool operator==(CTime a, CTime b) { return a.m_secs == b.m_secs; }

 private:
  static long long SatAdd(long long a, long long b);
  long long m_secs = 0;
};

struct CPoint {
  int x = 0;
  int y = 0;
};

struct CRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  // Left and top edges are inside, right and bottom edges outside.
  BOOL PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};
