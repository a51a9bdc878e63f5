#include "Parametres.h"

ZobristSet Zobrist1;
ZobristSet Zobrist2;
