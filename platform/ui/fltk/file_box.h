// The model's open and save boxes (kFileBox) drawn with FLTK's file
// chooser. The chooser runs without a loop of its own: a timer notices
// when the user has closed it and hands the answer to the model
// (PostFileBoxAnswer). Display thread only.
#pragma once

#include <memory>

#include "platform/ui/model/model.h"

class Fl_File_Chooser;

namespace platform::ui::fltk {

class FileBox {
 public:
  // Shows the chooser for the box that `snap` describes.
  explicit FileBox(const TopLevelSnapshot& snap);
  // Hides the chooser (the model's box has gone); no answer is sent then.
  ~FileBox();
  FileBox(const FileBox&) = delete;
  FileBox& operator=(const FileBox&) = delete;

 private:
  static void Poll(void* self);
  HWND box_;
  std::unique_ptr<Fl_File_Chooser> chooser_;
};

}  // namespace platform::ui::fltk
