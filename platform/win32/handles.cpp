#include "platform/win32/handles.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/win32/errors.h"

namespace platform {
namespace {

// Handle values are never reused within a process, so a stale handle kept
// by a caller after CloseHandle stays invalid instead of naming a newer
// object. They step by 4 from an arbitrary base, like native handles.
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 0x1000;
};

HandleTable& Table() {
  // Never destroyed: threads (waiters, detached workers) may still use
  // handles while static destructors run at exit.
  static HandleTable* table = new HandleTable;
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> obj) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  std::uintptr_t value = t.next;
  t.next += 4;
  t.objects.emplace(value, std::move(obj));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE h) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == t.objects.end()) return nullptr;
  return it->second;
}

std::size_t OpenHandleCount() {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.objects.size();
}

}  // namespace platform

BOOL CloseHandle(HANDLE h) {
  std::shared_ptr<platform::KernelObject> obj;
  {
    platform::HandleTable& t = platform::Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == t.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    obj = std::move(it->second);
    t.objects.erase(it);
  }
  // Outside the table lock: OnClose may block (a port joins its waiter) and
  // the object may call back into the table.
  obj->OnClose();
  return TRUE;
}
