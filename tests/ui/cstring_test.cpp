// CString as the port object and the dialog use it: formatting into a
// string, appending, cutting, the raw buffer, and string resources.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/afx.h"
#include "platform/ui/model/resources.h"

namespace {

TEST(CString, FormatReplacesContentAndHandlesLongText) {
  CString s("old");
  s.Format("WARNING:  %s Failed with the following error: \n%s\nPort: %d\n", "ReadFile()",
           "The device is gone.", 3);
  EXPECT_STREQ(
      s, "WARNING:  ReadFile() Failed with the following error: \nThe device is gone.\nPort: 3\n");
  std::string big(5000, 'x');
  s.Format("%s!", big.c_str());
  EXPECT_EQ(s.GetLength(), 5001);
  EXPECT_EQ(s.GetAt(5000), '!');
}

TEST(CString, AppendEmptyCompare) {
  CString s;
  EXPECT_TRUE(s.IsEmpty());
  s += "12";
  s += CString("34");
  s += '5';
  EXPECT_EQ(s, "12345");
  EXPECT_TRUE(s == CString("12345"));
  EXPECT_FALSE(s == "1234");
  EXPECT_EQ(s.GetLength(), 5);
  CString t = "ab" + s + "cd";
  EXPECT_STREQ(t, "ab12345cd");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_STREQ(static_cast<LPCTSTR>(s), "");
  // operator LPCTSTR gives a NUL-terminated text that strcmp can read.
  EXPECT_EQ(std::strcmp(static_cast<LPCTSTR>(t), "ab12345cd"), 0);
}

TEST(CString, LeftMidCutAtTheEnds) {
  CString s("F83C");
  EXPECT_EQ(s.Left(2), "F8");
  EXPECT_EQ(s.Mid(2), "3C");
  EXPECT_EQ(s.Mid(2, 1), "3");
  EXPECT_EQ(s.Left(10), "F83C");
  EXPECT_EQ(s.Left(-1), "");
  EXPECT_EQ(s.Mid(3, 10), "C");
  EXPECT_EQ(s.Mid(9), "");
  EXPECT_EQ(s.Right(3), "83C");
  EXPECT_EQ(s.Find('3'), 2);
  EXPECT_EQ(s.Find("3C"), 2);
  EXPECT_EQ(s.Find('Z'), -1);
}

TEST(CString, GetBufferReleaseBuffer) {
  CString s("ab");
  char* p = s.GetBuffer(10);
  std::strcpy(p, "0123456");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 7);
  EXPECT_EQ(s, "0123456");
  p = s.GetBuffer(10);
  p[3] = 'X';
  s.ReleaseBuffer(4);
  EXPECT_EQ(s, "012X");
  // A buffer written with a shorter NUL-terminated text and not released
  // still reads as that text.
  p = s.GetBuffer(20);
  std::strcpy(p, "z");
  EXPECT_EQ(s.GetLength(), 1);
  s += "y";
  EXPECT_EQ(s, "zy");
}

TEST(CString, LoadStringFromTheStringTable) {
  platform::ui::RegisterString(7101, "&About Corvane...");
  CString s("x");
  EXPECT_TRUE(s.LoadString(7101));
  EXPECT_EQ(s, "&About Corvane...");
  EXPECT_FALSE(s.LoadString(7199));
  EXPECT_TRUE(s.IsEmpty());
}

}  // namespace

namespace {

// Resources registered again replace the earlier ones; unknown numbers give
// nothing.
TEST(Resources, LookupsReplaceAndMiss) {
  using namespace platform::ui;
  EXPECT_EQ(FindDialogTemplate(31999), nullptr);
  EXPECT_EQ(FindIcon(31999), nullptr);
  DialogTemplate a;
  a.title = "first";
  RegisterDialogTemplate(31000, a);
  const DialogTemplate* first = FindDialogTemplate(31000);
  ASSERT_NE(first, nullptr);
  a.title = "second";
  RegisterDialogTemplate(31000, a);
  EXPECT_EQ(FindDialogTemplate(31000)->title, "second");
  EXPECT_EQ(first->title, "first");  // an earlier template stays readable
  IconImage big, small;
  big.width = big.height = 32;
  big.rgba.assign(32 * 32 * 4, 7);
  small.width = small.height = 16;
  HICON h = RegisterIcon(31001, big, small);
  EXPECT_EQ(FindIcon(31001), h);
  EXPECT_EQ(IconFromHandle(h)->large.rgba.size(), 32u * 32 * 4);
  // Item helpers add their kind's bits to the given styles.
  DialogItemTemplate b = Auto3StateBox("Com1", 1005, 205, 10, 10, 10);
  EXPECT_EQ(b.style & 0xF, static_cast<DWORD>(BS_AUTO3STATE));
  EXPECT_TRUE(b.style & WS_TABSTOP);
  EXPECT_EQ(IconControl(128, -1, 11, 17, 20, 20).style & 0x1F, static_cast<DWORD>(SS_ICON));
}

}  // namespace
