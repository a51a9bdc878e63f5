#include "Parametres.h"

PositionRecord Position;
ZobristSet Zobrist1;
ZobristSet Zobrist2;
