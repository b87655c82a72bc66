#include "platform/ui/model/resources.h"

#include <map>
#include <memory>
#include <mutex>

namespace platform::ui {
namespace {

struct Registry {
  std::mutex mu;
  // Entries are never freed: callers keep pointers to templates and icons.
  std::map<int, std::unique_ptr<DialogTemplate>> dialogs;
  std::vector<std::unique_ptr<DialogTemplate>> replaced;
  std::map<UINT, std::string> strings;
  std::map<int, std::unique_ptr<Icon>> icons;
  std::vector<std::unique_ptr<Icon>> replacedIcons;
};

Registry& R() {
  static Registry* r = new Registry;
  return *r;
}

DialogItemTemplate Item(const char* cls, std::string text, int id, int x, int y, int cx, int cy,
                        DWORD style) {
  DialogItemTemplate t;
  t.className = cls;
  t.text = std::move(text);
  t.id = id;
  t.x = x;
  t.y = y;
  t.cx = cx;
  t.cy = cy;
  t.style = style;
  return t;
}

}  // namespace

DialogItemTemplate PushButton(std::string text, int id, int x, int y, int cx, int cy, DWORD style) {
  return Item("BUTTON", std::move(text), id, x, y, cx, cy, BS_PUSHBUTTON | style);
}
DialogItemTemplate DefPushButton(std::string text, int id, int x, int y, int cx, int cy,
                                 DWORD style) {
  return Item("BUTTON", std::move(text), id, x, y, cx, cy, BS_DEFPUSHBUTTON | style);
}
DialogItemTemplate Auto3StateBox(std::string text, int id, int x, int y, int cx, int cy,
                                 DWORD style) {
  return Item("BUTTON", std::move(text), id, x, y, cx, cy, BS_AUTO3STATE | style);
}
DialogItemTemplate EditText(int id, int x, int y, int cx, int cy, DWORD style) {
  return Item("EDIT", "", id, x, y, cx, cy, style);
}
DialogItemTemplate LText(std::string text, int id, int x, int y, int cx, int cy, DWORD style) {
  return Item("STATIC", std::move(text), id, x, y, cx, cy, SS_LEFT | style);
}
DialogItemTemplate GroupBox(std::string text, int id, int x, int y, int cx, int cy, DWORD style) {
  return Item("BUTTON", std::move(text), id, x, y, cx, cy, BS_GROUPBOX | style);
}
DialogItemTemplate IconControl(int iconId, int id, int x, int y, int cx, int cy, DWORD style) {
  DialogItemTemplate t = Item("STATIC", "", id, x, y, cx, cy, SS_ICON | style);
  t.iconId = iconId;
  return t;
}

void RegisterDialogTemplate(int id, DialogTemplate t) {
  std::lock_guard<std::mutex> lock(R().mu);
  auto& slot = R().dialogs[id];
  if (slot) R().replaced.push_back(std::move(slot));
  slot = std::make_unique<DialogTemplate>(std::move(t));
}

const DialogTemplate* FindDialogTemplate(int id) {
  std::lock_guard<std::mutex> lock(R().mu);
  auto it = R().dialogs.find(id);
  return it == R().dialogs.end() ? nullptr : it->second.get();
}

void RegisterString(UINT id, std::string text) {
  std::lock_guard<std::mutex> lock(R().mu);
  R().strings[id] = std::move(text);
}

bool FindString(UINT id, std::string* out) {
  std::lock_guard<std::mutex> lock(R().mu);
  auto it = R().strings.find(id);
  if (it == R().strings.end()) {
    out->clear();
    return false;
  }
  *out = it->second;
  return true;
}

HICON RegisterIcon(int id, IconImage large, IconImage small) {
  auto icon = std::make_unique<Icon>();
  icon->resourceId = id;
  icon->large = std::move(large);
  icon->small = std::move(small);
  std::lock_guard<std::mutex> lock(R().mu);
  auto& slot = R().icons[id];
  if (slot) R().replacedIcons.push_back(std::move(slot));
  slot = std::move(icon);
  return HandleFromIcon(slot.get());
}

HICON FindIcon(int id) {
  std::lock_guard<std::mutex> lock(R().mu);
  auto it = R().icons.find(id);
  return it == R().icons.end() ? nullptr : HandleFromIcon(it->second.get());
}

}  // namespace platform::ui
