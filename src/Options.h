// The options a GUI may set. One table gives both the "option" lines of "uci"
// and what "setoption" does.
#pragma once

#include <string>

// The "option" lines, in the table's order
void ListOptions();

// A "setoption" line; called while no search runs. Names are compared without
// regard to case; a line that names no option, or a malformed value, changes nothing.
void SetOption(const std::string& line);
