// CString: the framework's string of 8-bit characters. A value type; any
// thread may use its own strings. Part of the framework without windows
// (library corvane_afx); only LoadString needs the window layer's
// resources and is defined there (library corvane_ui).
#pragma once

#include <cstdarg>
#include <string>

#include "platform/win32/win32types.h"

class CString {
 public:
  CString() = default;
  CString(const char* s) : s_(s ? s : "") {}  // NOLINT: implicit as in the framework
  CString(const CString&) = default;
  CString(char ch, int repeat = 1) : s_(repeat > 0 ? static_cast<std::size_t>(repeat) : 0, ch) {}
  CString(const char* s, int length)
      : s_(s ? std::string(s, static_cast<std::size_t>(length)) : "") {}
  CString& operator=(const CString&) = default;
  CString& operator=(const char* s) {
    s_ = s ? s : "";
    return *this;
  }
  CString& operator=(char ch) {
    s_.assign(1, ch);
    return *this;
  }

  int GetLength() const { return static_cast<int>(std::char_traits<char>::length(s_.c_str())); }
  bool IsEmpty() const { return GetLength() == 0; }
  void Empty() { s_.clear(); }
  char GetAt(int i) const { return s_.c_str()[i]; }
  char operator[](int i) const { return GetAt(i); }
  void SetAt(int i, char ch) { s_[static_cast<std::size_t>(i)] = ch; }
  operator LPCTSTR() const { return s_.c_str(); }  // NOLINT: implicit as in the framework

  CString& operator+=(const CString& s) { return Append(s.s_.c_str()); }
  CString& operator+=(const char* s) { return Append(s ? s : ""); }
  CString& operator+=(char ch) {
    Normalize();
    s_.push_back(ch);
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
  }

  friend bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
  friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
  friend bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
  int Compare(const char* s) const;

  // Characters from the left, from index i to the end, n from index i
  // (counts beyond the text are cut, as the framework does).
  CString Left(int n) const;
  CString Right(int n) const;
  CString Mid(int i) const;
  CString Mid(int i, int n) const;
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  void MakeUpper();
  void MakeLower();

  // printf-style formatting; replaces the content.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* format, va_list args);

  // Loads string resource id; FALSE (content emptied) if there is none.
  // Defined by the window layer, which holds the resources.
  BOOL LoadString(UINT id);

  // A writable buffer of at least minLength characters plus a NUL; call
  // ReleaseBuffer(length) (or -1: up to the first NUL) after writing.
  char* GetBuffer(int minLength);
  char* GetBuffer() { return GetBuffer(0); }
  void ReleaseBuffer(int newLength = -1);

 private:
  // Drops anything after an embedded NUL left by GetBuffer without a
  // ReleaseBuffer, so the string always equals its C text.
  void Normalize() { s_.resize(static_cast<std::size_t>(GetLength())); }
  CString& Append(const char* s) {
    Normalize();
    s_ += s;
    return *this;
  }
  std::string s_;
};
