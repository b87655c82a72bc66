// The journal of writes that the dialog program shares with corvane-cli:
// "<state folder>/journal", the state folder made from the variables that
// main handed to platform/process/state_variables.h. "" when they name
// none. Any thread.
#pragma once

#include <string>

std::string ProgramJournalPath();
