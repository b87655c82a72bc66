// fixture_dialog: a small Win32 window with the kinds of controls that the
// driver (win_driver.cpp) reads and presses, for the driver's own test. It
// is not the program under test.
//
// "Fixture" holds an edit (100), a push button "Show" (101), a read-only edit
// (102), a checked check box (103) and a disabled button (104). Show copies
// the edit's text into 102 and then shows the box "Fixture Error" with the
// text "Shown:\n" and the edit's text. Escape or the close box end the
// program with status 0.
#include <windows.h>

#include <string>

namespace {

enum : int { kEdit = 100, kShow = 101, kOut = 102, kCheck = 103, kOff = 104 };

void Add(HWND parent, const char* cls, const char* text, DWORD style, int id, int y) {
  CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 200, 22, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                  nullptr);
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      Add(window, "EDIT", "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, kEdit, 10);
      Add(window, "BUTTON", "Show", BS_DEFPUSHBUTTON | WS_TABSTOP, kShow, 40);
      Add(window, "EDIT", "", WS_BORDER | ES_READONLY, kOut, 70);
      Add(window, "BUTTON", "Check", BS_AUTOCHECKBOX | WS_TABSTOP, kCheck, 100);
      Add(window, "BUTTON", "Off", WS_DISABLED, kOff, 130);
      CheckDlgButton(window, kCheck, BST_CHECKED);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kShow && HIWORD(wParam) == BN_CLICKED) {
        char text[64] = {};
        GetDlgItemTextA(window, kEdit, text, sizeof text);
        SetDlgItemTextA(window, kOut, text);
        const std::string shown = std::string("Shown:\n") + text;
        MessageBoxA(nullptr, shown.c_str(), "Fixture Error", MB_OK | MB_ICONERROR);
      } else if (LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = Proc;
  cls.hInstance = instance;
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = "CorvaneFixture";
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, cls.lpszClassName, "Fixture", WS_OVERLAPPEDWINDOW, 0, 0, 240,
                                200, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, show);
  SetFocus(GetDlgItem(window, kEdit));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // The dialog manager's keys: Escape becomes IDCANCEL, Tab moves.
    if (IsDialogMessageA(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
