#include "Console.h"

#include "Platform.h"
#include "Text.h"

// One byte per read, so that nothing past the line feed is ever taken from the input
bool ReadLine(std::string& line) {
    line.clear();
    char byte;
    for (;;) {
        if (!ReadInputByte(byte)) {
            if (line.empty())
                return false;
            break;  // a last line without its line feed still counts
        }
        if (byte == '\n')
            break;
        line += byte;
    }
    line = Trim(line);
    return true;
}

// ReadLine leaves no part of a line behind, so an arrived line is a whole one
bool ReadArrivedLine(std::string& line) {
    if (!TakeArrivedLine(line))
        return false;
    line = Trim(line);
    return true;
}

void WriteLine(std::string_view text) {
    std::string buffer;
    buffer.reserve(text.size() + 1);
    buffer.append(text);
    buffer += '\n';
    WriteOutput(buffer.data(), buffer.size());
}

void InitClock() {}

uint64_t ClockMs() { return MonotonicMs(); }
