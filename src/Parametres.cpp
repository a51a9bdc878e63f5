#include "Parametres.h"

constinit thread_local PositionRecord Position{};
ZobristSet Zobrist1;
ZobristSet Zobrist2;
