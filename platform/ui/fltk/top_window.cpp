// Top-level windows: refreshing from the model's snapshot, and the user's
// input turned into the seam's Post* calls.
#include "platform/ui/fltk/top_window.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdint>

#include "platform/ui/fltk/clipboard.h"
#include "platform/ui/fltk/control_widget.h"
#include "platform/ui/fltk/held_keys.h"
#include "platform/ui/fltk/latin1.h"
#include "platform/ui/fltk/paint.h"
#include "platform/ui/fltk/wm_hints.h"
#include "platform/ui/model/backend.h"
#include "platform/win32/win32types.h"

namespace platform::ui::fltk {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A system menu item's text for an FLTK menu: '&' keeps its meaning
// (FLTK underlines the next character too), '@' must not start a symbol,
// and a tab (before an accelerator text) becomes a gap.
std::string MenuLabel(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '@') {
      out += "@@";
    } else if (ch == '\t') {
      out += "    ";
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace

TopWindow::TopWindow(HWND top, const HeldKeys& keys)
    : Fl_Double_Window(0, 0, 1, 1), top_(top), keys_(keys) {
  box(FL_FLAT_BOX);
  color(FaceColor());
  // The menu button is never shown: it only places the system menu popup
  // relative to this window and gives it the dialog font.
  menuButton_ = new Fl_Menu_Button(0, 0, 1, 1);
  menuButton_->hide();
  menuButton_->textfont(kFont);
  menuButton_->textsize(FontSize());
  menuButton_->color(FaceColor());
  menuButton_->selection_color(SelectionColor());
  end();
  callback(&TopWindow::CloseBoxCallback, this);
}

TopWindow::~TopWindow() {
  Fl::remove_timeout(&TopWindow::MapAgain, this);
  hidingOurselves_ = true;
  hide();
}

bool TopWindow::Refresh() {
  TopLevelSnapshot s;
  if (!SnapshotTopLevel(top_, &s)) return false;
  snap_ = std::move(s);

  if (!label() || snap_.self.text != label()) copy_label(snap_.self.text.c_str());

  const RECT& r = snap_.self.rect;
  if (!placedOnce_ || !SameRect(r, placed_)) {
    int cw = std::max(1, int(r.right - r.left)), ch = std::max(1, int(r.bottom - r.top));
    // Once on screen the window stays where the window manager (or the
    // user) put it; only its size follows the model.
    if (shown()) {
      resize(x(), y(), cw, ch);
    } else {
      resize(r.left, r.top, cw, ch);
    }
    size_range(cw, ch, cw, ch);  // dialogs have a fixed size
    RestoreMotifHints(this, snap_.self.style);
    placed_ = r;
    placedOnce_ = true;
  }

  std::map<HWND, ControlWidget*> seen;
  begin();
  for (const WindowSnapshot& c : snap_.children) {
    auto it = controls_.find(c.hwnd);
    if (it != controls_.end()) {
      it->second->Update(c);
      seen[c.hwnd] = it->second;
      continue;
    }
    auto* widget = new ControlWidget(this, c);
    // Group boxes go below the controls they frame.
    if (c.kind == WindowKind::kGroupBox) insert(*widget, 0);
    seen[c.hwnd] = widget;
  }
  end();
  for (auto& [hwnd, widget] : controls_) {
    if (seen.count(hwnd)) continue;
    remove(widget);
    delete widget;
  }
  controls_ = std::move(seen);

  UpdateIcons();

  // The model minimised or restored the window (ShowWindow): follow its
  // changes only, so that a minimise by the user that the model has not
  // handled yet is not undone here.
  if (snap_.iconic != modelIconic_) {
    modelIconic_ = snap_.iconic;
    if (shown()) {
      xIconic_ = modelIconic_;
      if (modelIconic_) {
        iconize();
      } else {
        show();
      }
    }
  }
  redraw();
  return true;
}

void TopWindow::UpdateIcons() {
  if (snap_.bigIcon == shownBig_ && snap_.smallIcon == shownSmall_) return;
  shownBig_ = snap_.bigIcon;
  shownSmall_ = snap_.smallIcon;
  // Both sizes go to the X window (the window manager picks the one it
  // needs for the title bar and the task bar). icons() copies the images.
  std::vector<std::unique_ptr<Fl_RGB_Image>> images;
  auto add = [&images](const IconImage& img) {
    if (img.width <= 0 || img.height <= 0 ||
        img.rgba.size() < static_cast<std::size_t>(img.width * img.height * 4)) {
      return;
    }
    images.push_back(std::make_unique<Fl_RGB_Image>(img.rgba.data(), img.width, img.height, 4));
  };
  if (const Icon* big = IconFromHandle(shownBig_)) add(big->large);
  if (const Icon* small = IconFromHandle(shownSmall_)) add(small->small);
  std::vector<const Fl_RGB_Image*> list;
  for (auto& img : images) list.push_back(img.get());
  icons(list.data(), static_cast<int>(list.size()));
}

void TopWindow::ShowNow(Fl_Window* owner) {
  hidingOurselves_ = false;
  xIconic_ = false;
  if (!shown()) {
    ShowWithWindowManagerHints(this, snap_, owner);
  } else if (!visible()) {
    show();
  }
  modelIconic_ = snap_.iconic;
  if (modelIconic_) {
    xIconic_ = true;
    iconize();
  }
}

void TopWindow::HideNow() {
  Fl::remove_timeout(&TopWindow::MapAgain, this);
  hidingOurselves_ = true;
  hide();
  hidingOurselves_ = false;
  xIconic_ = false;
}

void TopWindow::PopupSystemMenu(int x, int y) {
  Refresh();
  if (auto id = PopupMenu(snap_.systemMenu, x, y)) PostSystemMenuChoice(top_, *id);
}

void TopWindow::PopupEditMenu(int x, int y) {
  Refresh();
  std::vector<MenuItemSnapshot> items = snap_.editMenu;
  // What the clipboard holds is known here only: nothing, no Paste.
  for (MenuItemSnapshot& item : items) {
    if (item.id == WM_PASTE && !item.grayed) item.grayed = !ClipboardBridge::ClipboardHeld();
  }
  if (auto id = PopupMenu(items, x, y)) {
    PostEditMenuChoice(top_, *id);
  } else {
    PostEditMenuDismissed(top_);
  }
}

std::optional<UINT> TopWindow::PopupMenu(const std::vector<MenuItemSnapshot>& items, int x, int y) {
  std::vector<std::string> labels;
  labels.reserve(items.size());  // the menu points into these strings
  std::vector<Fl_Menu_Item> menu;
  for (const MenuItemSnapshot& item : items) {
    if (item.separator) {
      // FLTK draws a divider below the item that carries the flag.
      if (!menu.empty()) menu.back().flags |= FL_MENU_DIVIDER;
      continue;
    }
    labels.push_back(MenuLabel(item.text));
    Fl_Menu_Item m{};
    m.text = labels.back().c_str();
    m.user_data_ = reinterpret_cast<void*>(static_cast<std::uintptr_t>(item.id));
    m.labelfont_ = kFont;
    m.labelsize_ = FontSize();
    if (item.grayed) m.flags |= FL_MENU_INACTIVE;
    menu.push_back(m);
  }
  if (menu.empty()) return std::nullopt;
  menu.back().flags &= ~FL_MENU_DIVIDER;
  menu.push_back(Fl_Menu_Item{});  // terminator
  const Fl_Menu_Item* picked = menu[0].popup(x, y, nullptr, nullptr, menuButton_);
  if (!picked) return std::nullopt;
  return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(picked->user_data_));
}

bool TopWindow::HandleKey() {
  int key = Fl::event_key();
  int state = Fl::event_state();
  bool shift = (state & FL_SHIFT) != 0;
  bool alt = (state & FL_ALT) != 0;
  bool ctrl = (state & (FL_CTRL | FL_META)) != 0;
  const bool repeat = keys_.PressRepeats();
  auto vkey = [&](UINT vk) {
    PostKey(top_, vk, shift, false, ctrl, repeat);
    return true;
  };
  switch (key) {
    case FL_Tab:
    case 0xfe20:  // ISO_Left_Tab, Shift+Tab on some layouts
      return vkey(VK_TAB);
    case FL_Enter:
    case FL_KP_Enter:
      return vkey(VK_RETURN);
    case FL_Escape:
      return vkey(VK_ESCAPE);
    case FL_BackSpace:
      // The key, then the character that deletes (as the model expects).
      PostKey(top_, VK_BACK, shift, false, false, repeat);
      PostChar(top_, '\b');
      return true;
    case FL_Delete:
      return vkey(VK_DELETE);
    case FL_Left:
      return vkey(VK_LEFT);
    case FL_Right:
      return vkey(VK_RIGHT);
    case FL_Up:
      return vkey(VK_UP);
    case FL_Down:
      return vkey(VK_DOWN);
    case FL_Home:
      return vkey(VK_HOME);
    case FL_End:
      return vkey(VK_END);
    case FL_Insert:
      return vkey(VK_INSERT);
    case FL_Menu:
      return vkey(VK_APPS);
    case FL_F + 10:
      if (!shift) return false;
      return vkey(VK_F10);
    case ' ':
      if (alt) {
        PostKey(top_, VK_SPACE, shift, true, false, repeat);  // opens the system menu
        return true;
      }
      if (ctrl) return false;
      PostKey(top_, VK_SPACE, shift, false, false, repeat);
      PostChar(top_, ' ');
      return true;
    default:
      break;
  }
  // Ctrl with a letter types its control character, as the classic
  // keyboard does (Ctrl+C is 0x03); edits take some as commands.
  if (ctrl && !alt && key >= 'a' && key <= 'z') {
    PostChar(top_, static_cast<char>(key & 0x1F));
    return true;
  }
  if (ctrl || alt) return false;
  std::string text = Latin1FromUtf8(Fl::event_text(), Fl::event_length());
  bool any = false;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) continue;
    PostChar(top_, ch);
    any = true;
  }
  return any;
}

int TopWindow::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      // The window itself holds FLTK's focus so that every key reaches
      // HandleKey; the model decides which control has the focus.
      return 1;
    case FL_PUSH:
      // Controls first (an edit takes all three buttons), then the client
      // area: a right click opens the system menu.
      if (Fl_Double_Window::handle(event)) return 1;
      if (Fl::event_button() == FL_RIGHT_MOUSE) {
        PostRightClick(top_, Fl::event_x(), Fl::event_y());
        return 1;
      }
      if (Fl::event_button() == FL_LEFT_MOUSE) PostClick(top_);
      return 1;
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      // A key reaches this window as a shortcut too when FLTK has lost
      // track of the focus (focus events of a window that was just mapped
      // or handed the focus); the key's release goes to FLTK's focus only.
      if (Fl::focus() != this) Fl::focus(this);
      if (HandleKey()) return 1;
      return event == FL_SHORTCUT ? Fl_Double_Window::handle(event) : 0;
    case FL_KEYUP:
      // A button held down by Space clicks when it is let go (only then:
      // the releases of key repeat never get here, see HeldKeys).
      if (Fl::event_key() != ' ') return 0;
      PostKeyUp(top_, VK_SPACE);
      return 1;
    case FL_HIDE:
      // Unmapped by someone else than us: the window manager minimised it.
      // A box or a dialog without a task-bar button or a minimise box is
      // not to be minimised (it would hold its owner with nothing on the
      // screen to answer): it is mapped again at once.
      if (!hidingOurselves_ && shown() && !xIconic_) {
        if (!MayBeMinimised()) {
          Fl::add_timeout(0.0, &TopWindow::MapAgain, this);
        } else {
          xIconic_ = true;
          PostIconic(top_, true);
        }
      }
      return Fl_Double_Window::handle(event);
    case FL_SHOW:
      // Mapped again while minimised: the user restored it.
      if (xIconic_) {
        xIconic_ = false;
        PostIconic(top_, false);
      }
      return Fl_Double_Window::handle(event);
    default:
      return Fl_Double_Window::handle(event);
  }
}

void TopWindow::flush() {
  // An exposure (not our own redraw) is the model's WM_PAINT.
  if (damage() & FL_DAMAGE_EXPOSE) PostPaint(top_);
  Fl_Double_Window::flush();
}

void TopWindow::draw() {
  Fl_Double_Window::draw();
  // What the program drew with DrawIcon while minimised.
  if (!snap_.iconic) return;
  for (const auto& p : snap_.painted) {
    if (const Icon* icon = IconFromHandle(p.icon)) DrawIconImage(icon->large, p.x, p.y);
  }
}

bool TopWindow::MayBeMinimised() const {
  return (snap_.self.exStyle & WS_EX_APPWINDOW) != 0 || (snap_.self.style & WS_MINIMIZEBOX) != 0;
}

void TopWindow::MapAgain(void* data) {
  auto* w = static_cast<TopWindow*>(data);
  if (w->shown() && !w->visible() && !w->hidingOurselves_) w->show();
}

void TopWindow::CloseBoxCallback(Fl_Widget*, void* data) {
  // The window manager's close box; the model turns it into IDCANCEL.
  PostCloseBox(static_cast<TopWindow*>(data)->top_);
}

}  // namespace platform::ui::fltk
