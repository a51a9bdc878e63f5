// Console input and output, one line at a time, and the millisecond clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reads one line, trimmed of characters <= 32 at both ends. Returns false at
// end of input, on a read failure, or once the reader of the output has gone.
// Never reads past the line feed.
bool ReadLine(std::string& line);

// A line that has arrived, trimmed as ReadLine trims it, without waiting for
// one. Only the build with one thread has any (Platform.h: SingleThreaded): its
// search serves the console while it runs.
bool ReadArrivedLine(std::string& line);

// Writes text and one line feed with a single system call.
void WriteLine(std::string_view text);

void InitClock();
uint64_t ClockMs();
