// Checks every position the engine reaches must pass, shared by the unit tests and
// the fuzz targets: each gives the fault it found, or an empty text.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "Board.h"
#include "MoveGen.h"
#include "MoveText.h"
#include "Tables.h"
#include "Thread.h"

// The bytes make and unmake must restore: the board and the states up to the current one
inline std::string Snapshot() {
    const char* bytes = reinterpret_cast<const char*>(&Position);
    return {bytes, bytes + offsetof(PositionRecord, states) + (Position.stateIndex + 1) * sizeof(StateRecord)};
}

// Neither king can be taken: the side that moved is not in check, the kings never
// stand side by side, and no legal move takes a king
inline std::string KingFault() {
    if (KingAttacked(Position.sideToMove ^ 1))
        return "the side that moved left its king in check";
    if (KingAttacks[Position.kingSquare[White]] & SetMask[Position.kingSquare[Black]])
        return "the kings stand side by side";
    MoveList legal;
    GenerateLegal(legal);
    for (int i = 1; i <= legal.count; ++i)
        if (MoveCaptured(legal.moves[i]) == King)
            return MoveToText(legal.moves[i]) + " takes a king";
    return "";
}

// Reads fen, the writer's text of the position held, under the castling rules held was set
// up with: it must read back as the same board and write out the same text. The position
// read back is left in place.
inline std::string ReadBackFault(const PositionRecord& held, const std::string& fen) {
    const bool option = Chess960Option;
    Chess960Option = held.castlingRules.chess960;
    std::string error;
    const bool read = ReadFen(fen, error);
    Chess960Option = option;
    if (!read)
        return "the writer's FEN " + fen + " is refused: " + error;
    if (WriteFen() != fen || held.sideToMove != Position.sideToMove
        || std::memcmp(held.board, Position.board, sizeof held.board) != 0
        || std::memcmp(held.pieces, Position.pieces, sizeof held.pieces) != 0)
        return "the writer's FEN " + fen + " reads back as another position, " + WriteFen();
    return "";
}
