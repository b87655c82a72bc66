#include "platform/ui/fltk/file_box.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>

#include <string>

#include "platform/ui/model/backend.h"

namespace platform::ui::fltk {
namespace {

constexpr double kPollSeconds = 0.1;

// "Intel HEX (*.hex)|*.hex;*.ihx|All files|*|" as FLTK's
// "Intel HEX ({*.hex,*.ihx})\tAll files (*)".
std::string ChooserFilter(const std::string& pairs) {
  std::string out, name;
  std::size_t at = 0;
  bool isName = true;
  while (at < pairs.size()) {
    std::size_t bar = pairs.find('|', at);
    if (bar == std::string::npos) bar = pairs.size();
    std::string part = pairs.substr(at, bar - at);
    at = bar + 1;
    if (isName) {
      name = part.substr(0, part.find(" ("));
    } else {
      std::string pattern;
      for (char c : part) pattern += c == ';' ? ',' : c;
      if (pattern.find(',') != std::string::npos) pattern = "{" + pattern + "}";
      if (!out.empty()) out += '\t';
      out += name + " (" + pattern + ")";
    }
    isName = !isName;
  }
  return out;
}

}  // namespace

FileBox::FileBox(const TopLevelSnapshot& snap) : box_(snap.self.hwnd) {
  const int type = snap.fileBox.save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE;
  const std::string filter = ChooserFilter(snap.fileBox.filter);
  const std::string start = snap.fileBox.name.empty() ? "." : snap.fileBox.name;
  chooser_ = std::make_unique<Fl_File_Chooser>(
      start.c_str(), filter.empty() ? nullptr : filter.c_str(), type, snap.self.text.c_str());
  chooser_->show();
  Fl::add_timeout(kPollSeconds, &FileBox::Poll, this);
}

FileBox::~FileBox() {
  Fl::remove_timeout(&FileBox::Poll, this);
  chooser_->hide();
}

void FileBox::Poll(void* self) {
  auto* box = static_cast<FileBox*>(self);
  if (box->chooser_->shown()) {
    Fl::repeat_timeout(kPollSeconds, &FileBox::Poll, self);
    return;
  }
  // OK leaves the chosen name; Cancel and the close box leave none.
  const char* chosen = box->chooser_->count() > 0 ? box->chooser_->value() : nullptr;
  if (chosen && *chosen) {
    const std::string path = chosen;
    PostFileBoxAnswer(box->box_, &path);
  } else {
    PostFileBoxAnswer(box->box_, nullptr);
  }
}

}  // namespace platform::ui::fltk
