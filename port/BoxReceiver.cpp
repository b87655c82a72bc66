// The dialog's receiver of the engine's reports, and the default
// constructor of CCommPort that uses it: each failure is the error box
// "Application Error", modal on the thread that met it, with no owner
// window; the owner notifications are sent to the owner window. Library
// corvane_port_box, the engine's one part that links the window layer.
#include "platform/afx.h"
#include "port/CommPort.h"

namespace {

class BoxReceiver final : public engine::Receiver {
 public:
  void OnFailure(const engine::Failure& failure) override {
    MessageBoxA(NULL, failure.text.c_str(), failure.caption.c_str(), MB_ICONERROR);
  }
  void OnOwnerNotification(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam) override {
    SendMessageA(owner->m_hWnd, message, wParam, lParam);
  }
};

// It keeps no state, so every port object may share it.
BoxReceiver& TheBoxReceiver() {
  static BoxReceiver receiver;
  return receiver;
}

}  // namespace

CCommPort::CCommPort() : CCommPort(TheBoxReceiver()) {}
