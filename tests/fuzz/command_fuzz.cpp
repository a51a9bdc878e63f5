// Fuzz target: a whole command stream, one command per line, through the
// engine's command dispatcher, as the console would deliver it. Lines that
// would start a search ("go"), a long count or the bench are left out, so
// that every input runs in milliseconds; the position after every line must
// pass the checks of FuzzSupport.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "main.h"
#include "Text.h"

namespace {

constexpr size_t None = std::string_view::npos;

// perft and divide are kept up to depth 2: every digit of the line, read as one number, is at most 2
bool Runnable(std::string_view line) {
    if (line.find("go") != None || line.find("bench") != None)
        return false;
    if (line.find("perft") == None && line.find("divide") == None)
        return true;
    const size_t first = line.find_first_of("123456789");   // leading zeros are no digits of the number
    return first == None || (line[first] <= '2' && line.find_first_of("0123456789", first + 1) == None);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngineOnce();
    // Each input starts from the start position and the smallest table (nothing searches, so it stays empty)
    LoadStartPosition();
    if (HashSize != HashEntriesFor(HashMinMegabytes))
        AllocateHash(HashMinMegabytes);

    std::string_view stream(reinterpret_cast<const char*>(data), size);
    while (!stream.empty()) {
        const size_t end = stream.find('\n');
        const std::string line = Trim(stream.substr(0, end));
        stream = end == std::string_view::npos ? std::string_view() : stream.substr(end + 1);
        if (!Runnable(line))
            continue;
        if (!HandleCommand(line))
            break;
        Require(KingFault());
    }
    CheckRoundTripAndPerft();
    return 0;
}
