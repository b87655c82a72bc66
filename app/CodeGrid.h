// One page of the camera's memory as a grid: 16 x 16 codes with the
// addresses as headings (rows 00 to F0, columns 0 to F). A cell not read
// shows "--"; a cell whose code differs from a compared file's has a light
// red face and a dark red mark in its corner (the mark tells it apart
// without the colour). The cursor is a frame that the arrow keys, Home and
// End move while the grid has the focus.
//
// The grid is a window of the class kCodeGridClass (res/Resources.h) that
// paints itself; RegisterCodeGridClass registers it once, before a dialog
// with grids is made. A CCodeGrid is bound to its window with Attach and
// must outlive it or be detached. User-interface thread only.
#pragma once

#include "platform/afx.h"

class CCodeGrid {
 public:
  static constexpr int kCells = 256;
  static constexpr COLORREF kFaceColour = RGB(255, 255, 255);
  static constexpr COLORREF kHeadingColour = RGB(212, 208, 200);
  static constexpr COLORREF kDifferColour = RGB(255, 200, 200);
  static constexpr COLORREF kMarkColour = RGB(160, 0, 0);
  static constexpr COLORREF kCursorColour = RGB(0, 0, 0);

  static void RegisterCodeGridClass();

  void Attach(HWND hWnd);
  void Detach();
  // code -1: not read. Repaints.
  void SetCode(int address, int code);
  // The compared file's code of each cell (-1: the file has none), or no
  // comparison at all (ClearFile). Repaints.
  void SetFile(const int* codes);
  void ClearFile();
  // A cell differs when it was read, the file has it, and the codes differ.
  bool Differs(int address) const;
  int Code(int address) const { return m_codes[address]; }
  int Cursor() const { return m_nCursor; }
  void Invalidate();

 private:
  static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void MoveCursor(UINT vk);

  HWND m_hWnd = nullptr;
  int m_codes[kCells];
  int m_file[kCells];
  int m_nCursor = 0;

 public:
  CCodeGrid();
};
