// The dialog template's bytes, laid out as a resource compiler lays out a
// DIALOG (DLGTEMPLATE) or DIALOGEX (DLGTEMPLATEEX) resource.
#include "platform/windows/dlgtemplate.h"

#include <string>

namespace platform::windows {
namespace {

using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;

class Writer {
 public:
  void Word(WORD w) { out_.push_back(w); }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
  // A NUL-terminated UTF-16 text from the ANSI code page.
  void Text(const std::string& text) {
    if (!text.empty()) {
      const int n =
          ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
      std::wstring wide(static_cast<std::size_t>(n), L'\0');
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
      for (wchar_t c : wide) Word(static_cast<WORD>(c));
    }
    Word(0);
  }
  void Ordinal(WORD id) {
    Word(0xFFFF);
    Word(id);
  }
  // Items start on a DWORD boundary.
  void AlignDword() {
    if (out_.size() % 2) Word(0);
  }
  std::vector<WORD> Take() { return std::move(out_); }

 private:
  std::vector<WORD> out_;
};

// The predefined control classes' ordinals.
WORD ClassOrdinal(const std::string& name) {
  if (name == "BUTTON") return 0x0080;
  if (name == "EDIT") return 0x0081;
  if (name == "STATIC") return 0x0082;
  return 0;
}

void ItemClassAndText(Writer& w, const DialogItemTemplate& item) {
  if (WORD ordinal = ClassOrdinal(item.className)) {
    w.Ordinal(ordinal);
  } else {
    w.Text(item.className);
  }
  if (item.iconId) {
    w.Ordinal(static_cast<WORD>(item.iconId));
  } else {
    w.Text(item.text);
  }
  w.Word(0);  // no creation data
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const DialogTemplate& t) {
  Writer w;
  const bool font = (t.style & DS_SETFONT) != 0;
  if (t.extended) {
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature
    w.Dword(0);      // helpID
    w.Dword(t.exStyle);
    w.Dword(t.style);
  } else {
    w.Dword(t.style);
    w.Dword(t.exStyle);
  }
  w.Word(static_cast<WORD>(t.items.size()));
  w.Short(t.x);
  w.Short(t.y);
  w.Short(t.cx);
  w.Short(t.cy);
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.Text(t.title);
  if (font) {
    w.Word(static_cast<WORD>(t.fontPoints));
    if (t.extended) {
      w.Word(FW_NORMAL);
      w.Word(DEFAULT_CHARSET << 8);  // not italic (low byte), the default character set
    }
    w.Text(t.fontName);
  }
  for (const DialogItemTemplate& item : t.items) {
    w.AlignDword();
    const DWORD style = WS_CHILD | WS_VISIBLE | item.style;
    if (t.extended) {
      w.Dword(0);  // helpID
      w.Dword(item.exStyle);
      w.Dword(style);
    } else {
      w.Dword(style);
      w.Dword(item.exStyle);
    }
    w.Short(item.x);
    w.Short(item.y);
    w.Short(item.cx);
    w.Short(item.cy);
    if (t.extended) {
      w.Dword(static_cast<DWORD>(item.id));
    } else {
      w.Word(static_cast<WORD>(item.id));
    }
    ItemClassAndText(w, item);
  }
  return w.Take();
}

}  // namespace platform::windows
