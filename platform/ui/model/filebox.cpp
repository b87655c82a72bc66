// The open and save boxes: a modal top-level window of kind kFileBox that
// the backend draws (FLTK's file chooser) or a test driver answers.
#include <cstring>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/comdlg32.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/windows.h"

namespace platform::ui {
namespace {

using namespace detail;

thread_local DWORD t_lastError = 0;

LRESULT FileBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return DefWindowProcA(hwnd, msg, wParam, lParam);
      EndDialog(hwnd, IDCANCEL);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) EndDialog(hwnd, IDCANCEL);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// "Text\0*.hex\0All\0*\0\0" as "Text|*.hex|All|*|".
std::string FilterText(LPCSTR filter) {
  std::string out;
  if (!filter) return out;
  for (const char* p = filter; *p; p += std::strlen(p) + 1) out.append(p).push_back('|');
  return out;
}

BOOL RunFileBox(LPOPENFILENAMEA ofn, bool save) {
  t_lastError = 0;
  if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    // Nobody could answer: a program that is closing, or no display and no
    // driver. The box counts as cancelled.
    if (M().closeAll) return FALSE;
    if (!M().boxWatcher && CurrentBackend()->IsHeadless()) return FALSE;
  }
  HWND owner = ofn->hwndOwner;
  CreateParams p;
  p.kind = WindowKind::kFileBox;
  p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  p.text = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? "Save As" : "Open");
  p.rect = RECT{0, 0, 480, 360};
  p.proc = FileBoxProc;
  HWND box = CreateModelWindow(p);
  if (!box) return FALSE;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    if (Window* w = Find(box)) {
      w->owner = owner;
      w->fileBox.save = save;
      w->fileBox.name = ofn->lpstrFile;
      w->fileBox.filter = FilterText(ofn->lpstrFilter);
      w->fileBox.mustExist = (ofn->Flags & OFN_FILEMUSTEXIST) != 0;
    }
  }
  const bool reenable = owner && IsWindowEnabled(owner);
  if (reenable) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  const INT_PTR result = RunModalLoop(box);
  if (reenable) EnableWindow(owner, TRUE);
  std::string path;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    if (Window* w = Find(box)) path = w->fileBox.name;
  }
  DestroyWindow(box);
  if (result != IDOK) return FALSE;
  if (path.size() + 1 > ofn->nMaxFile) {
    t_lastError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
  const std::size_t slash = path.find_last_of('/');
  ofn->nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
  const std::size_t dot = path.find_last_of('.');
  ofn->nFileExtension =
      static_cast<WORD>(dot == std::string::npos || dot < ofn->nFileOffset ? 0 : dot + 1);
  return TRUE;
}

}  // namespace

bool PostFileBoxAnswer(HWND box, const std::string* path) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(box);
    if (!w || w->kind != WindowKind::kFileBox) return false;
    if (path) w->fileBox.name = *path;
  }
  return EndDialog(box, path ? IDOK : IDCANCEL) != FALSE;
}

}  // namespace platform::ui

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) {
  return platform::ui::RunFileBox(ofn, false);
}

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) {
  return platform::ui::RunFileBox(ofn, true);
}

DWORD CommDlgExtendedError() {
  return platform::ui::t_lastError;
}
