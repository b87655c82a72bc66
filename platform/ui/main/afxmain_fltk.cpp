#include "platform/ui/main/programbackend.h"

namespace platform::ui {
std::unique_ptr<Backend> MakeProgramBackend() {
  return MakeFltkBackend();
}
}  // namespace platform::ui
