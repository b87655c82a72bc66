// The gdi32 drawing calls (and user32's text and rectangle calls) of the
// window model, under their Win32 names, for windows that paint themselves
// (a class registered with RegisterClassA). A device context is that of one
// WM_PAINT (BeginPaint .. EndPaint) on the thread that owns the window; what
// it draws is recorded as the window's drawing (PaintOp, model.h), shown
// whole by the backend once EndPaint has been called. Brushes are solid
// colours; DeleteObject is needed for none but harmless.
#pragma once

#include "platform/win32/win32types.h"

COLORREF SetTextColor(HDC dc, COLORREF colour);  // gives the previous colour
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);  // TRANSPARENT or OPAQUE; gives the previous
// Text of `count` characters with its top-left corner at (x, y).
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
// Text in rect as format says (DT_CENTER, DT_VCENTER, DT_SINGLELINE, ...);
// count -1: up to the NUL. Gives the height of a line.
int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format);
HBRUSH CreateSolidBrush(COLORREF colour);
BOOL DeleteObject(HGDIOBJ object);
// The window model draws every text in its one font: no font is ever made
// (WM_GETFONT gives null), and selecting one changes nothing.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
#define TextOut TextOutA
#define DrawText DrawTextA
