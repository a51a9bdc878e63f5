#include "Parametres.h"

thread_local constinit PositionRecord Position{};
ZobristSet Zobrist1;
ZobristSet Zobrist2;
