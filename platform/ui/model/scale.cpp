#include "platform/ui/model/scale.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <mutex>
#include <string>

#include "platform/posix/diagnostics.h"

namespace platform::ui {
namespace {

std::optional<double> ParseNumber(std::string_view text) {
  double v = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

std::once_flag g_decided;
std::atomic<double> g_scale{1.0};
std::mutex g_settingMutex;
std::optional<std::string> g_setting;  // guarded by g_settingMutex

double Decide(const char* xftDpi) {
  double scale = 1.0;
  std::optional<std::string> setting;
  {
    std::lock_guard<std::mutex> lock(g_settingMutex);
    setting = g_setting;
  }
  if (setting && !setting->empty()) {
    if (auto s = ParseScaleSetting(*setting)) {
      scale = *s;
    } else {
      Diagnose("CORVANE_SCALE=\"" + *setting + "\" is not a number from 1 to 4; using scale 1");
    }
  } else if (xftDpi) {
    scale = ScaleFromXftDpi(xftDpi).value_or(1.0);
  }
  return scale;
}

}  // namespace

std::optional<double> ParseScaleSetting(std::string_view text) {
  auto v = ParseNumber(text);
  if (!v || *v < kMinScale || *v > kMaxScale) return std::nullopt;
  return v;
}

std::optional<double> ScaleFromXftDpi(std::string_view text) {
  auto dpi = ParseNumber(Trimmed(text));
  if (!dpi || *dpi <= 0) return std::nullopt;
  return std::clamp(std::round(*dpi / 96.0 * 4.0) / 4.0, kMinScale, kMaxScale);
}

void SetScaleSetting(std::optional<std::string> setting) {
  std::lock_guard<std::mutex> lock(g_settingMutex);
  g_setting = std::move(setting);
}

double DecideDisplayScale(const char* xftDpi) {
  std::call_once(g_decided, [xftDpi] { g_scale.store(Decide(xftDpi)); });
  return g_scale.load();
}

double DisplayScale() {
  return DecideDisplayScale(nullptr);
}

int ScalePixels(double classic, double scale) {
  const double v = classic * scale;
  const double below = std::floor(v);
  if (v - below != 0.5) return static_cast<int>(std::lround(v));
  const double magnified = static_cast<double>(std::lround(classic)) * scale;
  return static_cast<int>(magnified < v ? below : below + 1);
}

int LineWidth() {
  return std::max(1, static_cast<int>(std::lround(DisplayScale())));
}

int IconStep() {
  return std::max(1, static_cast<int>(std::floor(DisplayScale())));
}

}  // namespace platform::ui
