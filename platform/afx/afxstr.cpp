#include "platform/afx/afxstr.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

int CString::Compare(const char* s) const {
  return std::strcmp(s_.c_str(), s ? s : "");
}

CString CString::Left(int n) const {
  int len = GetLength();
  n = std::clamp(n, 0, len);
  return CString(s_.c_str(), n);
}

CString CString::Right(int n) const {
  int len = GetLength();
  n = std::clamp(n, 0, len);
  return CString(s_.c_str() + (len - n), n);
}

CString CString::Mid(int i) const {
  return Mid(i, GetLength());
}

CString CString::Mid(int i, int n) const {
  int len = GetLength();
  i = std::clamp(i, 0, len);
  n = std::clamp(n, 0, len - i);
  return CString(s_.c_str() + i, n);
}

int CString::Find(char ch, int start) const {
  int len = GetLength();
  if (start < 0 || start >= len) return -1;
  const char* p = std::strchr(s_.c_str() + start, ch);
  return p ? static_cast<int>(p - s_.c_str()) : -1;
}

int CString::Find(const char* sub, int start) const {
  int len = GetLength();
  if (!sub || start < 0 || start > len) return -1;
  const char* p = std::strstr(s_.c_str() + start, sub);
  return p ? static_cast<int>(p - s_.c_str()) : -1;
}

void CString::MakeUpper() {
  Normalize();
  for (char& c : s_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void CString::MakeLower() {
  Normalize();
  for (char& c : s_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) {
    s_.clear();
    return;
  }
  std::vector<char> buf(static_cast<std::size_t>(n) + 1);
  std::vsnprintf(buf.data(), buf.size(), format, args);
  s_.assign(buf.data(), static_cast<std::size_t>(n));
}

char* CString::GetBuffer(int minLength) {
  Normalize();
  if (minLength > GetLength()) s_.resize(static_cast<std::size_t>(minLength));
  return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    Normalize();
  } else {
    s_.resize(static_cast<std::size_t>(newLength));
  }
}
