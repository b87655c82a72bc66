#include "platform/process/state_variables.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_mu;
StateVariables g_variables;

}  // namespace

void SetStateVariables(const StateVariables& variables) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_variables = variables;
}

StateVariables GetStateVariables() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_variables;
}

}  // namespace platform
