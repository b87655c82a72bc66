// A CCommPort talking to the simulated camera through the COM device map,
// with the error boxes recorded by the headless driver.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "testing/hex.h"
#include "testing/temp_dir.h"
#include "tests/port/port_fixture.h"
#include "tools/camsim/camsim.h"

namespace cameratest {

using porttest::Ms;

using testhex::ToHex;

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override { threads_ = platform::LiveThreadCount(); }
  void TearDown() override {
    port_.reset();
    EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
    camera_.reset();
  }

  // Starts the camera on the link path and opens COM1 on it.
  void StartCamera(camsim::Faults faults = {}, bool paced = false) {
    camsim::CamsimOptions options;
    options.linkPath = link_;
    options.paced = paced;
    options.faults = faults;
    std::string error;
    camera_ = camsim::Camsim::Start(options, &error);
    ASSERT_NE(camera_, nullptr) << error;
    ASSERT_EQ(porttest::OpenCom1(*port_), 1);
  }

  // One Read command as the dialog runs it.
  std::string Read(const char* cell) {
    port_->StartMonitor();
    const std::string result = port_->ReadCode(cell);
    porttest::OpenCom1(*port_);
    return result;
  }
  std::string Write(const char* cell, const char* value) {
    port_->StartMonitor();
    const std::string result = port_->WriteCode(cell, value);
    porttest::OpenCom1(*port_);
    return result;
  }

  // The frames the camera received, as hex text.
  std::vector<std::string> Frames() {
    std::vector<std::string> frames;
    for (const auto& e : camera_->Log()) {
      if (e.kind == camsim::LogKind::kRx || e.kind == camsim::LogKind::kNoise) {
        frames.push_back((e.kind == camsim::LogKind::kNoise ? "noise " : "") + ToHex(e.bytes));
      }
    }
    return frames;
  }

  std::vector<std::string> Boxes() { return porttest::BoxTexts(driver_); }

  static double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }

  testsupport::ui::Driver driver_{true};
  testsupport::TempDir dir_{"port"};
  const std::string link_ = dir_.File("com1");
  porttest::ComPorts com_{{link_}};
  long threads_ = 0;
  std::unique_ptr<camsim::Camsim> camera_;
  std::unique_ptr<CCommPort> port_ = std::make_unique<CCommPort>();
};

// The frames of a Read of page 0, address F7, in order.
inline const std::vector<std::string> kReadF7Frames = {
    testhex::kAnnounce,      testhex::kSetup, testhex::kClose,    testhex::kAnnounce,
    testhex::kReferenceRead, testhex::kClose, testhex::kAnnounce, testhex::kCellReadF7};

}  // namespace cameratest
