// The fixture of the tests under Xvfb: the FLTK backend, started once per
// process on the display that scripts/with-xvfb.sh gives.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/ui/model/backend.h"

namespace x11test {

// Stops the backend (and its display thread) when the tests are done, so
// that nothing draws while the process ends.
class FltkEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { platform::ui::ShutdownBackend(); }
};

class FltkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::string error = [] {
      std::string why;
      if (!std::getenv("DISPLAY")) return std::string("DISPLAY is not set");
      if (!platform::ui::UseBackend(platform::ui::MakeFltkBackend(), &why)) return why;
      ::testing::AddGlobalTestEnvironment(new FltkEnvironment);
      return std::string();
    }();
    error_ = &error;
  }
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run through scripts/with-xvfb.sh)";
    ASSERT_TRUE(error_->empty()) << *error_;
  }
  static inline const std::string* error_ = nullptr;
};

}  // namespace x11test
