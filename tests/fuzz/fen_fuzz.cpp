// Fuzz target: a FEN, perhaps "moves" and a move list, set up as the
// "position fen" command does, with UCI_Chess960 off and then on; whatever
// position results, refused or played, must pass the checks of FuzzSupport.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngineOnce();
    // The command loop never passes a line feed on; the reader trims the line
    std::string text(reinterpret_cast<const char*>(data), size);
    text = Trim(text.substr(0, text.find('\n')));
    const size_t moves = text.find("moves");
    // Each input under both castling rules: standard FENs are Fischer-random ones too
    for (bool chess960 : {false, true}) {
        LoadStartPosition(chess960);
        SetUpPosition(text.substr(0, moves), moves == std::string::npos ? "" : text.substr(moves + 5));
        Require(KingFault());
        CheckRoundTripAndPerft();
    }
    return 0;
}
