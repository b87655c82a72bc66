#include "backup/state_folder.h"

namespace backup {
namespace {

// "C:\" or "C:/", or a UNC path ("\\server\share").
bool IsWindowsAbsolute(std::string_view path) {
  const bool drive = path.size() >= 3 &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.starts_with("\\\\");
}

// path with one separator before name, whatever path ends with.
std::string Join(std::string_view path, char separator, std::string_view name) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == separator)) path.remove_suffix(1);
  std::string out(path);
  if (out.empty() || out.back() != separator) out += separator;
  return out + std::string(name);
}

}  // namespace

std::string StateFolder(std::string_view xdgStateHome, std::string_view home) {
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (xdgStateHome.starts_with('/')) return Join(xdgStateHome, '/', "corvane");
  if (!home.empty()) return Join(home, '/', ".local/state/corvane");
  return "";
}

std::string WindowsStateFolder(std::string_view localAppData) {
  if (!IsWindowsAbsolute(localAppData)) return "";
  return Join(localAppData, '\\', "Corvane");
}

std::string JournalFile(std::string_view folder) {
  if (folder.empty()) return "";
  return Join(folder, IsWindowsAbsolute(folder) ? '\\' : '/', "journal");
}

}  // namespace backup
