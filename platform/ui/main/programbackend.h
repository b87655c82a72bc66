// The backend that the program's entry point uses: defined once in
// afxmain_fltk.cpp (the program, FLTK) and once in afxmain_headless.cpp
// (tools and tests that run the entry point without a display).
#pragma once

#include <memory>

#include "platform/ui/model/backend.h"

namespace platform::ui {
std::unique_ptr<Backend> MakeProgramBackend();
}
