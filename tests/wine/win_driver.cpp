// win_driver: drives the windows of another program from outside, as a user
// would, for the tests that run under Wine. It runs in the same prefix (the
// same wineserver) as the program and reads the controls through window
// messages, never from pixels.
//
//   win_driver.exe COMMAND [ARGS]... [COMMAND [ARGS]...]...
//
// The commands run in order; each prints one line to standard output. Texts
// in arguments and in the output use the escapes \n, \r, \t and \\.
//
//   timeout MS             the deadline of every later wait (default 20000)
//   window CAPTION         wait for a visible top-level window with exactly
//                          this caption; it becomes the current window
//   absent CAPTION         wait until no visible top-level window has it
//   forbid CAPTION         from now on, a visible window with this caption
//                          (other than the current one) fails any wait at
//                          once, and its message is printed (an error box
//                          where none belongs)
//   gone                   wait until the current window is destroyed or hidden
//   text ID                print the text of control ID of the current window
//   expect-text ID TEXT    wait until that text is TEXT
//   expect-enabled ID 0|1  wait until the control is disabled (0) or enabled (1)
//   expect-check ID N      wait until BM_GETCHECK gives N (0, 1 or 2)
//   set ID TEXT            set the control's text (WM_SETTEXT)
//   click ID               press the button ID: an enabled button only; posts
//                          its BN_CLICKED to the current window
//   ok                     press OK (IDOK) of the current window
//   message                print the text of the current message box
//   expect-message TEXT    wait until the message box's text is TEXT
//   escape                 press Escape in the current window
//   close                  post WM_CLOSE to the current window
//   syscommand ID          choose item ID of the current window's system
//                          menu (posts WM_SYSCOMMAND)
//
// Exit status: 0 all commands done, 1 a wait ran out or a command failed (the
// reason on standard error), 2 bad usage. Every message to the other program
// is sent with a time limit, so a program that hangs fails the wait instead
// of hanging the driver; a watchdog ends the driver (status 1) should one
// command still outlast its deadline by 5 s.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testing/wait.h"

namespace {

using std::chrono::milliseconds;

// How long one message to the other program may take; a program busy for
// longer (a command that waits for the camera) counts as "not yet".
constexpr UINT kSendLimitMs = 2000;

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// One message to another program's window, with a time limit that holds.
// SendMessageTimeout alone is not enough: under Wine it has blocked for
// minutes, past its limit, on a program whose thread was stuck in a lock.
// So the call runs on a thread of its own, which is left behind (blocked in
// Wine, holding its own copy of the data) when it does not return in time.
// `data`, when given, is what lParam points at, copied there and back.
struct SendCall {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  BOOL ok = FALSE;
  DWORD_PTR result = 0;
  std::vector<char> data;
};
struct SendJob {
  std::shared_ptr<SendCall> call;
  HWND window;
  UINT message;
  WPARAM wParam;
};

// The sending thread. A plain Win32 thread, not a detached std::thread:
// under Wine a detached std::thread that was still starting when the
// program ended read a null state and crashed the driver.
DWORD WINAPI SendThread(LPVOID param) {
  const std::unique_ptr<SendJob> job(static_cast<SendJob*>(param));
  SendCall& call = *job->call;
  const LPARAM lParam = call.data.empty() ? 0 : reinterpret_cast<LPARAM>(call.data.data());
  DWORD_PTR value = 0;
  const BOOL ok = SendMessageTimeoutA(job->window, job->message, job->wParam, lParam,
                                      SMTO_ABORTIFHUNG, kSendLimitMs, &value);
  std::lock_guard<std::mutex> lock(call.mutex);
  call.ok = ok;
  call.result = value;
  call.done = true;
  call.finished.notify_all();
  return 0;
}

bool Send(HWND window, UINT message, WPARAM wParam, std::vector<char>* data, DWORD_PTR* result) {
  auto call = std::make_shared<SendCall>();
  if (data != nullptr) call->data = *data;
  auto job = std::make_unique<SendJob>(SendJob{call, window, message, wParam});
  const HANDLE thread = CreateThread(nullptr, 0, &SendThread, job.get(), 0, nullptr);
  if (thread == nullptr) return false;
  job.release();  // the thread owns it now
  CloseHandle(thread);
  std::unique_lock<std::mutex> lock(call->mutex);
  if (!call->finished.wait_for(lock, milliseconds(kSendLimitMs + 500),
                               [&] { return call->done; }) ||
      !call->ok) {
    return false;
  }
  if (data != nullptr) *data = call->data;
  *result = call->result;
  return true;
}

// A window's text through WM_GETTEXT, which Wine and Windows marshal
// between processes (GetWindowText does not ask another process's edit).
bool WindowText(HWND window, std::string* text) {
  DWORD_PTR length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, nullptr, &length)) return false;
  std::vector<char> buffer(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!Send(window, WM_GETTEXT, buffer.size(), &buffer, &copied)) return false;
  text->assign(buffer.data(), std::min<std::size_t>(copied, length));
  return true;
}

std::string Caption(HWND window) {
  char buffer[512] = {};
  const int n = GetWindowTextA(window, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? n : 0);
}

struct TopLevelSearch {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  if (IsWindowVisible(window) && Caption(window) == *search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const std::string& caption) {
  TopLevelSearch search{&caption, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK MatchMessageStatic(HWND child, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON) {
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
  }
  return TRUE;
}

// The text of a message box: its static control that is not the icon.
bool MessageText(HWND box, std::string* text) {
  HWND found = nullptr;
  EnumChildWindows(box, MatchMessageStatic, reinterpret_cast<LPARAM>(&found));
  return found != nullptr && WindowText(found, text);
}

// Ends the process when the armed command has not returned by its deadline.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Run(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_one();
    thread_.join();
  }

  void Arm(const std::string& command, milliseconds limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    command_ = command;
    deadline_ = std::chrono::steady_clock::now() + limit;
    armed_ = true;
    changed_.notify_one();
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      if (!armed_) {
        changed_.wait(lock);
      } else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout &&
                 std::chrono::steady_clock::now() >= deadline_) {
        std::fprintf(stderr,
                     "win_driver: %s did not return by its deadline: the program (or Wine) "
                     "hangs\n",
                     command_.c_str());
        std::fflush(stderr);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 1);
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string command_;
  std::chrono::steady_clock::time_point deadline_;
  bool armed_ = false;
  bool stop_ = false;
  std::thread thread_;
};

class Driver {
 public:
  Driver(int argc, char** argv) : args_(argv + 1, argv + argc) {}

  int Run() {
    while (next_ < args_.size()) {
      const std::string command = args_[next_++];
      watchdog_.Arm(command, timeout_ + milliseconds(5000));
      if (!Do(command)) return failure_ == Failure::kUsage ? 2 : 1;
      std::fflush(stdout);
    }
    return 0;
  }

 private:
  enum class Failure { kNone, kUsage, kFailed };

  bool Usage(const std::string& why) {
    std::fprintf(stderr, "win_driver: %s\n", why.c_str());
    failure_ = Failure::kUsage;
    return false;
  }

  bool Fail(const std::string& why) {
    std::fprintf(stderr, "win_driver: %s\n", why.c_str());
    if (!intruder_.empty()) std::fprintf(stderr, "win_driver: %s\n", intruder_.c_str());
    failure_ = Failure::kFailed;
    return false;
  }

  bool Arg(std::string* out) {
    if (next_ >= args_.size()) return false;
    *out = args_[next_++];
    return true;
  }

  bool IntArg(int* out) {
    std::string text;
    if (!Arg(&text) || text.empty()) return false;
    char* end = nullptr;
    *out = static_cast<int>(std::strtol(text.c_str(), &end, 10));
    return *end == '\0';
  }

  bool Wait(auto&& condition) {
    return testsupport::WaitUntil([&] { return Intruder() || condition(); }, timeout_) &&
           intruder_.empty();
  }

  // A forbidden window that has appeared: noted with its text, which ends
  // the wait.
  bool Intruder() {
    for (const std::string& caption : forbidden_) {
      HWND window = FindTopLevel(caption);
      if (window == nullptr || window == current_) continue;
      std::string text;
      MessageText(window, &text);
      intruder_ = "\"" + caption + "\" appeared: \"" + Escape(text) + "\"";
      return true;
    }
    return false;
  }

  HWND Control(int id) { return GetDlgItem(current_, id); }

  bool NeedWindow(const std::string& command) {
    if (current_ != nullptr && IsWindow(current_)) return true;
    return Fail(command + ": no current window (run `window CAPTION` first)");
  }

  bool Do(const std::string& command) {
    std::string text;
    int id = 0;
    int value = 0;
    if (command == "timeout") {
      if (!IntArg(&value) || value < 0) return Usage("timeout: wants milliseconds");
      timeout_ = milliseconds(value);
      std::printf("timeout %d\n", value);
      return true;
    }
    if (command == "window") {
      if (!Arg(&text)) return Usage("window: wants a caption");
      HWND found = nullptr;
      if (!Wait([&] { return (found = FindTopLevel(text)) != nullptr; })) {
        return Fail("no visible window \"" + text + "\" within " +
                    std::to_string(timeout_.count()) + " ms");
      }
      current_ = found;
      std::printf("window \"%s\"\n", Escape(text).c_str());
      return true;
    }
    if (command == "absent") {
      if (!Arg(&text)) return Usage("absent: wants a caption");
      if (!Wait([&] { return FindTopLevel(text) == nullptr; })) {
        return Fail("window \"" + text + "\" is still visible");
      }
      std::printf("absent \"%s\"\n", Escape(text).c_str());
      return true;
    }
    if (command == "forbid") {
      if (!Arg(&text)) return Usage("forbid: wants a caption");
      forbidden_.push_back(text);
      std::printf("forbid \"%s\"\n", Escape(text).c_str());
      return true;
    }
    if (command == "gone") {
      if (current_ == nullptr) return Fail("gone: no current window");
      if (!Wait([&] { return !IsWindow(current_) || !IsWindowVisible(current_); })) {
        return Fail("window \"" + Caption(current_) + "\" did not go");
      }
      current_ = nullptr;
      std::printf("gone\n");
      return true;
    }
    if (command == "text" || command == "expect-text") {
      const bool expect = command == "expect-text";
      if (!IntArg(&id) || (expect && !Arg(&text)))
        return Usage(command + ": wants ID" + (expect ? " TEXT" : ""));
      if (!NeedWindow(command)) return false;
      const std::string want = Unescape(text);
      std::string seen;
      bool read = false;
      const bool ok = Wait([&] {
        read = Control(id) != nullptr && WindowText(Control(id), &seen);
        return read && (!expect || seen == want);
      });
      if (!intruder_.empty()) return Fail(command + " " + std::to_string(id) + ": stopped");
      if (!read) return Fail(command + ": control " + std::to_string(id) + " could not be read");
      std::printf("text %d \"%s\"\n", id, Escape(seen).c_str());
      if (!ok)
        return Fail("control " + std::to_string(id) + " shows \"" + Escape(seen) + "\", not \"" +
                    Escape(want) + "\"");
      return true;
    }
    if (command == "expect-enabled" || command == "expect-check") {
      const bool enabled = command == "expect-enabled";
      if (!IntArg(&id) || !IntArg(&value)) return Usage(command + ": wants ID VALUE");
      if (!NeedWindow(command)) return false;
      int seen = -1;
      const bool ok = Wait([&] {
        HWND control = Control(id);
        if (control == nullptr) return false;
        DWORD_PTR state = 0;
        if (enabled) {
          seen = IsWindowEnabled(control) ? 1 : 0;
        } else if (Send(control, BM_GETCHECK, 0, nullptr, &state)) {
          seen = static_cast<int>(state);
        }
        return seen == value;
      });
      std::printf("%s %d %d\n", enabled ? "enabled" : "check", id, seen);
      if (!ok)
        return Fail(command + " " + std::to_string(id) + ": " + std::to_string(seen) + ", not " +
                    std::to_string(value));
      return true;
    }
    if (command == "set") {
      if (!IntArg(&id) || !Arg(&text)) return Usage("set: wants ID TEXT");
      if (!NeedWindow(command)) return false;
      const std::string value_text = Unescape(text);
      DWORD_PTR result = 0;
      std::vector<char> data(value_text.begin(), value_text.end());
      data.push_back('\0');
      if (Control(id) == nullptr || !Send(Control(id), WM_SETTEXT, 0, &data, &result)) {
        return Fail("set: control " + std::to_string(id) + " did not take its text");
      }
      std::printf("set %d \"%s\"\n", id, Escape(value_text).c_str());
      return true;
    }
    if (command == "click" || command == "ok") {
      if (command == "click" && !IntArg(&id)) return Usage("click: wants ID");
      if (command == "ok") id = IDOK;
      if (!NeedWindow(command)) return false;
      HWND button = Control(id);
      if (button == nullptr) return Fail(command + ": no control " + std::to_string(id));
      if (!IsWindowEnabled(button))
        return Fail(command + ": control " + std::to_string(id) + " is disabled");
      // Posted, not sent: the handler may run for seconds or open a modal
      // box, and the driver must stay free to watch.
      PostMessageA(current_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
      std::printf("click %d\n", id);
      return true;
    }
    if (command == "message" || command == "expect-message") {
      const bool expect = command == "expect-message";
      if (expect && !Arg(&text)) return Usage("expect-message: wants TEXT");
      if (!NeedWindow(command)) return false;
      const std::string want = Unescape(text);
      std::string seen;
      const bool ok =
          Wait([&] { return MessageText(current_, &seen) && (!expect || seen == want); });
      std::printf("message \"%s\"\n", Escape(seen).c_str());
      if (!ok)
        return Fail("the message reads \"" + Escape(seen) + "\", not \"" + Escape(want) + "\"");
      return true;
    }
    if (command == "escape") {
      if (!NeedWindow(command)) return false;
      // The key goes where a typed one would: to the control with the focus,
      // whose dialog turns it into Cancel.
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      HWND target = current_;
      if (GetGUIThreadInfo(GetWindowThreadProcessId(current_, nullptr), &info) &&
          info.hwndFocus != nullptr) {
        target = info.hwndFocus;
      }
      PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
      std::printf("escape\n");
      return true;
    }
    if (command == "syscommand") {
      if (!IntArg(&id)) return Usage("syscommand: wants ID");
      if (!NeedWindow(command)) return false;
      PostMessageA(current_, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
      std::printf("syscommand %d\n", id);
      return true;
    }
    if (command == "close") {
      if (!NeedWindow(command)) return false;
      PostMessageA(current_, WM_CLOSE, 0, 0);
      std::printf("close\n");
      return true;
    }
    return Usage("unknown command \"" + command + "\"");
  }

  std::vector<std::string> args_;
  std::size_t next_ = 0;
  milliseconds timeout_{20000};
  HWND current_ = nullptr;
  Failure failure_ = Failure::kNone;
  std::vector<std::string> forbidden_;
  std::string intruder_;  // what a forbidden window said, once one appeared
  Watchdog watchdog_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: win_driver.exe COMMAND [ARGS]... (see the source's head)\n", stderr);
    return 2;
  }
  // Lines end in \n alone, as the shell that reads them expects.
  _setmode(_fileno(stdout), _O_BINARY);
  return Driver(argc, argv).Run();
}
