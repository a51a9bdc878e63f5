// Fuzz target: the text after "position fen" (a FEN, perhaps "moves" and a
// move list) goes through the "position" handler; whatever position results,
// refused or played, must pass the checks of FuzzSupport.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngineOnce();
    LoadStartPosition();
    // The command loop never passes a line feed on; the reader trims the line
    std::string text(reinterpret_cast<const char*>(data), size);
    text = Trim(text.substr(0, text.find('\n')));
    HandlePosition("position fen " + text);
    CheckNoKingCapturable();
    CheckRoundTripAndPerft();
    return 0;
}
