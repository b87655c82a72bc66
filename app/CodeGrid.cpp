#include "app/CodeGrid.h"

#include <cstdio>

#include "res/Resources.h"

namespace {

constexpr int kColumns = 17;  // the row heading and 16 codes
constexpr int kRows = 17;     // the column heading and 16 codes

// The rectangle of grid column `col` and row `row` (0: the headings).
RECT CellRect(const RECT& client, int col, int row) {
  const int w = client.right - client.left, h = client.bottom - client.top;
  return RECT{col * w / kColumns, row * h / kRows, (col + 1) * w / kColumns, (row + 1) * h / kRows};
}

}  // namespace

CCodeGrid::CCodeGrid() {
  for (int i = 0; i < kCells; ++i) m_codes[i] = m_file[i] = -1;
}

void CCodeGrid::RegisterCodeGridClass() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &CCodeGrid::Proc;
  wc.hInstance = AfxGetInstanceHandle();
  wc.lpszClassName = corvane::kCodeGridClass;
  ::RegisterClassA(&wc);
}

void CCodeGrid::Attach(HWND hWnd) {
  m_hWnd = hWnd;
  ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Invalidate();
}

void CCodeGrid::Detach() {
  if (m_hWnd) ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  m_hWnd = nullptr;
}

void CCodeGrid::SetCode(int address, int code) {
  m_codes[address] = code;
  Invalidate();
}

void CCodeGrid::SetFile(const int* codes) {
  for (int i = 0; i < kCells; ++i) m_file[i] = codes[i];
  Invalidate();
}

void CCodeGrid::ClearFile() {
  for (int& c : m_file) c = -1;
  Invalidate();
}

bool CCodeGrid::Differs(int address) const {
  return m_codes[address] >= 0 && m_file[address] >= 0 && m_codes[address] != m_file[address];
}

void CCodeGrid::Invalidate() {
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CALLBACK CCodeGrid::Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* grid = reinterpret_cast<CCodeGrid*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      if (grid) {
        grid->Paint();
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (grid) grid->MoveCursor(static_cast<UINT>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      ::SetFocus(hWnd);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

void CCodeGrid::MoveCursor(UINT vk) {
  int row = m_nCursor / 16, col = m_nCursor % 16;
  switch (vk) {
    case VK_LEFT:
      col = (col + 15) % 16;
      break;
    case VK_RIGHT:
      col = (col + 1) % 16;
      break;
    case VK_UP:
      row = (row + 15) % 16;
      break;
    case VK_DOWN:
      row = (row + 1) % 16;
      break;
    case VK_HOME:
      row = col = 0;
      break;
    case VK_END:
      row = col = 15;
      break;
    default:
      return;
  }
  m_nCursor = row * 16 + col;
  Invalidate();
}

// One fill for the face and one for each heading strip, then per cell its
// mark and text: a few hundred calls, drawn whole when EndPaint is called.
void CCodeGrid::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  HBRUSH face = ::CreateSolidBrush(kFaceColour);
  HBRUSH heading = ::CreateSolidBrush(kHeadingColour);
  HBRUSH differ = ::CreateSolidBrush(kDifferColour);
  HBRUSH mark = ::CreateSolidBrush(kMarkColour);
  HBRUSH cursor = ::CreateSolidBrush(kCursorColour);
  ::FillRect(dc, &client, face);
  RECT top = CellRect(client, 0, 0);
  top.right = client.right;
  ::FillRect(dc, &top, heading);
  RECT left = CellRect(client, 0, 0);
  left.bottom = client.bottom;
  ::FillRect(dc, &left, heading);
  // The dialog's font, where the window system has one: the cells are
  // sized for it, not for the system font.
  const auto font =
      reinterpret_cast<HGDIOBJ>(::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(0, 0, 0));
  char text[4];
  const UINT centred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  for (int i = 0; i < 16; ++i) {
    std::snprintf(text, sizeof text, "%X", i);
    RECT r = CellRect(client, i + 1, 0);
    ::DrawTextA(dc, text, -1, &r, centred);
    std::snprintf(text, sizeof text, "%X0", i);
    r = CellRect(client, 0, i + 1);
    ::DrawTextA(dc, text, -1, &r, centred);
  }
  for (int a = 0; a < kCells; ++a) {
    RECT r = CellRect(client, a % 16 + 1, a / 16 + 1);
    if (Differs(a)) {
      ::FillRect(dc, &r, differ);
      const int size = (r.bottom - r.top) / 4 + 1;
      RECT corner{r.right - size - 1, r.top + 1, r.right - 1, r.top + 1 + size};
      ::FillRect(dc, &corner, mark);
    }
    if (m_codes[a] >= 0) {
      std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(m_codes[a] & 0xFF));
    } else {
      std::snprintf(text, sizeof text, "--");
    }
    ::DrawTextA(dc, text, -1, &r, centred);
    if (a == m_nCursor) ::FrameRect(dc, &r, cursor);
  }
  if (oldFont) ::SelectObject(dc, oldFont);
  for (HBRUSH b : {face, heading, differ, mark, cursor}) ::DeleteObject(b);
  ::EndPaint(m_hWnd, &ps);
}
