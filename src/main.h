// The engine's front end: start-up and the command loop.
#pragma once

#include <string>

// Runs the engine: start-up, banner, then the command loop, or the one command
// line the arguments form. Returns the exit code.
int RunEngine(int argc = 0, char** argv = nullptr);

// Handles one trimmed command line as the command loop does; false on "quit".
// For drivers other than the console (the command fuzzer).
bool HandleCommand(const std::string& line);
