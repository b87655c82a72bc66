// A program on the framework's entry point with the FLTK backend: its
// application object runs the test dialog modally once and ends. The entry
// point tests start it with and without a display.
#include "platform/afx.h"
#include "tests/ui_x11/test_dialog.h"

namespace {

class CX11TestApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    x11test::Record record;
    x11test::RunTestDialog(&record, x11test::ReadAction::kNothing, nullptr);
    return FALSE;
  }
};

CX11TestApp theApp;

}  // namespace
