// Where the programs keep their state (the journal of writes), made from
// the values of the environment variables that name it. A program's main
// reads them (platform::EnvironmentSettings) and passes them in; nothing
// here reads the environment. Pure.
#pragma once

#include <string>
#include <string_view>

namespace backup {

// Linux: "$XDG_STATE_HOME/corvane" when xdgStateHome is an absolute path,
// else "$HOME/.local/state/corvane" when home is not empty; "" when
// neither says.
std::string StateFolder(std::string_view xdgStateHome, std::string_view home);

// Windows: "%LOCALAPPDATA%\Corvane" when localAppData is an absolute path
// ("C:\Users\..." or "\\server\share\..."); "" otherwise.
std::string WindowsStateFolder(std::string_view localAppData);

// The journal's file in a state folder: "<folder>/journal", with '\' for a
// folder that StateFolder's rules would not give ("C:\...\Corvane\journal");
// "" when folder is "".
std::string JournalFile(std::string_view folder);

}  // namespace backup
