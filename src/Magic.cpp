#include "Magic.h"

#include <bit>
#include <unordered_map>

#include "Bitboard.h"

namespace {

struct Step { int file, rank; };
constexpr Step BishopSteps[4] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
constexpr Step RookSteps[4] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};

constexpr bool OnBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Walks each ray from s, stopping after the first occupied square or at the edge
constexpr Bitboard WalkRays(Square s, Bitboard occupancy, const Step* steps, int count) {
    Bitboard attacks = 0;
    for (int k = 0; k < count; ++k) {
        int file = FileOf(s) + steps[k].file, rank = RankOf(s) + steps[k].rank;
        for (; OnBoard(file, rank); file += steps[k].file, rank += steps[k].rank) {
            Bitboard square = Bitboard(1) << (8 * rank + file);
            attacks |= square;
            if (occupancy & square)
                break;
        }
    }
    return attacks;
}

// The squares a slider on s reaches on an empty board, less the last square of
// each ray: an edge square never hides anything behind it
constexpr Bitboard RelevanceMask(Square s, const Step* steps) {
    Bitboard mask = 0;
    for (int k = 0; k < 4; ++k) {
        int file = FileOf(s) + steps[k].file, rank = RankOf(s) + steps[k].rank;
        for (; OnBoard(file + steps[k].file, rank + steps[k].rank); file += steps[k].file, rank += steps[k].rank)
            mask |= Bitboard(1) << (8 * rank + file);
    }
    return mask;
}

constexpr std::array<Bitboard, 64> MasksOf(const Step* steps) {
    std::array<Bitboard, 64> masks{};
    for (Square s = 0; s < 64; ++s)
        masks[s] = RelevanceMask(s, steps);
    return masks;
}

int BishopSetCount = 0;
int RookSetCount = 0;

// Fills one slider's tables: every subset of every mask, in ascending order, gets
// the number of its attack set; a set seen before keeps its first number.
template <int Capacity, int Columns>
int BuildSlider(const std::array<Bitboard, 64>& masks, const uint64_t* magics, int shift,
                Bitboard (*slowAttacks)(Square, Bitboard),
                Bitboard (&sets)[Capacity], uint16_t (&index)[64][Columns]) {
    std::unordered_map<Bitboard, int> numberOf;
    numberOf.reserve(Capacity * 2);
    int used = 0;
    for (Bitboard& set : sets)
        set = 0;
    for (Square s = 0; s < 64; ++s) {
        Bitboard subset = 0;
        do {  // Carry-Rippler enumeration visits the subsets in ascending order of k
            Bitboard attacks = slowAttacks(s, subset);
            auto [it, fresh] = numberOf.try_emplace(attacks, used);
            if (fresh && used < Capacity)
                sets[used++] = attacks;
            index[s][(subset * magics[s]) >> shift] = uint16_t(it->second);
            subset = (subset - masks[s]) & masks[s];
        } while (subset);
    }
    return used;
}

#if VARNOK_PEXT
// Each square's sets in the order of their extracted index
template <int Capacity>
void BuildExtracted(const std::array<Bitboard, 64>& masks, Bitboard (*slowAttacks)(Square, Bitboard),
                    Bitboard (&sets)[Capacity], int32_t (&start)[64]) {
    int used = 0;
    for (Square s = 0; s < 64; ++s) {
        start[s] = used;
        Bitboard subset = 0;
        do {
            sets[used + _pext_u64(subset, masks[s])] = slowAttacks(s, subset);
            subset = (subset - masks[s]) & masks[s];
        } while (subset);
        used += 1 << PopCount(masks[s]);
    }
}
#endif

}  // namespace

constexpr std::array<Bitboard, 64> BishopMask = MasksOf(BishopSteps);
constexpr std::array<Bitboard, 64> RookMask = MasksOf(RookSteps);

constexpr int SubsetCount(const std::array<Bitboard, 64>& masks) {
    int count = 0;
    for (Bitboard mask : masks)
        count += 1 << std::popcount(mask);
    return count;
}
static_assert(SubsetCount(BishopMask) == BishopExtractedSets && SubsetCount(RookMask) == RookExtractedSets);

// Fixed-shift magics: 9-bit index for every bishop square, 12-bit for every rook square
const uint64_t BishopMagic[64] = {
    0x6084004081010100ULL, 0x88114909020A0001ULL, 0x0141410010840000ULL, 0x00A0813026001200ULL,
    0x50803C0200120001ULL, 0x2000082410000210ULL, 0x2140828890102012ULL, 0x3000020025010080ULL,
    0x40410801121D0400ULL, 0x2400102083821481ULL, 0x0008088800924022ULL, 0xD02D504810891000ULL,
    0x0442011040000040ULL, 0x02C050082C848020ULL, 0x4014100400251081ULL, 0x0020002430801200ULL,
    0x0004008101002600ULL, 0x0410A02003101013ULL, 0x102810030010D088ULL, 0x0418000680801000ULL,
    0x002400802C200080ULL, 0x0002046041002084ULL, 0x4020100208840100ULL, 0x0220080020901800ULL,
    0x0088400E0A814010ULL, 0x0009200008006100ULL, 0x81202408C0E08004ULL, 0x0022008028008002ULL,
    0x2001001021004000ULL, 0x00028080470B0400ULL, 0x0001126201041004ULL, 0x0000048200C84A00ULL,
    0x0001310A26060224ULL, 0x0944080588580100ULL, 0x0001045000050400ULL, 0x000B200800030811ULL,
    0x80840040101C0100ULL, 0x640081010A005000ULL, 0x009000802800050AULL, 0x4100440100100940ULL,
    0x000104004414030CULL, 0x0151051C02020900ULL, 0x0000802008000100ULL, 0x00003028A0404020ULL,
    0x2100480408209900ULL, 0x0060002020402080ULL, 0x040400106B040410ULL, 0x24A8240C81A50012ULL,
    0x028108080200E004ULL, 0x002200309C040000ULL, 0x118A024080208000ULL, 0x0080440018890001ULL,
    0x2028200408381248ULL, 0xA2100AA000213000ULL, 0x0014101461050000ULL, 0x000182000C208404ULL,
    0x0414092510200210ULL, 0x00210420180C4020ULL, 0x6042410042180130ULL, 0x1100002810030404ULL,
    0x2240200001E00240ULL, 0x0008060800940402ULL, 0x000100882840A400ULL, 0x092410844C008202ULL,
};

const uint64_t RookMagic[64] = {
    0x8080102040008000ULL, 0x042002000800D020ULL, 0x00A0180301200040ULL, 0x9200200A00080442ULL,
    0x6010100400016211ULL, 0x00A00100A0040058ULL, 0x822001804200010CULL, 0x2480044880002100ULL,
    0xC000088040102100ULL, 0x8E08040020884202ULL, 0x003C080209008480ULL, 0x130080020C008204ULL,
    0x0200081028840604ULL, 0x8041100080040045ULL, 0x4040104001861110ULL, 0x0283400082440560ULL,
    0x20104004C0082010ULL, 0x20008B1000102000ULL, 0x001820026000E04CULL, 0x0002000810044082ULL,
    0x8010152002080020ULL, 0x5440200801008040ULL, 0x800200900CC00814ULL, 0x0100018000423100ULL,
    0x1001004048008200ULL, 0x0012800801240800ULL, 0x0011010020812840ULL, 0x000140B200061060ULL,
    0x6200020028100410ULL, 0x100001004001EC40ULL, 0x0020010280840402ULL, 0x4002240801100022ULL,
    0x004010A100088100ULL, 0x0240160800118400ULL, 0x0120014060020804ULL, 0x1100020004100800ULL,
    0x900C810412000220ULL, 0x4A00A90048201020ULL, 0x004A029C00400101ULL, 0x21002300800C0C42ULL,
    0xA000631410002001ULL, 0x0400101804003000ULL, 0x200048042A400800ULL, 0x04C2001000B00300ULL,
    0x32101100C148C800ULL, 0x0084150000801A08ULL, 0x0000848801502200ULL, 0x0290110040002C80ULL,
    0x1000480020108080ULL, 0x0C80413021006A00ULL, 0x1001040812248600ULL, 0x0002800400106010ULL,
    0x0000C1000200B230ULL, 0x020400490000A100ULL, 0x2021801488402003ULL, 0x459000400C002008ULL,
    0x2001001600A24082ULL, 0x01414044A0100882ULL, 0x00010B2A02400582ULL, 0x0000400422000A02ULL,
    0x1220512030085422ULL, 0x8010B0A086000102ULL, 0x0440010200B04804ULL, 0x440A040100402082ULL,
};

Bitboard BishopAttackSets[BishopSetCapacity];
Bitboard RookAttackSets[RookSetCapacity];
uint16_t BishopIndex[64][513];
uint16_t RookIndex[64][4097];

Bitboard SlowBishopAttacks(Square s, Bitboard occupancy) { return WalkRays(s, occupancy, BishopSteps, 4); }
Bitboard SlowRookAttacks(Square s, Bitboard occupancy) { return WalkRays(s, occupancy, RookSteps, 4); }
Bitboard FileAttacks(Square s, Bitboard occupancy) { return WalkRays(s, occupancy, RookSteps, 2); }
Bitboard RankAttacks(Square s, Bitboard occupancy) { return WalkRays(s, occupancy, RookSteps + 2, 2); }

Bitboard DiagonalAttacks(Square s, Bitboard occupancy) {
    constexpr Step steps[2] = {{1, 1}, {-1, -1}};
    return WalkRays(s, occupancy, steps, 2);
}

Bitboard AntiDiagonalAttacks(Square s, Bitboard occupancy) {
    constexpr Step steps[2] = {{-1, 1}, {1, -1}};
    return WalkRays(s, occupancy, steps, 2);
}

Bitboard BishopExtracted[BishopExtractedSets];
Bitboard RookExtracted[RookExtractedSets];
int32_t BishopExtractedStart[64];
int32_t RookExtractedStart[64];

void BuildMagicTables() {
#if VARNOK_PEXT
    BuildExtracted(BishopMask, SlowBishopAttacks, BishopExtracted, BishopExtractedStart);
    BuildExtracted(RookMask, SlowRookAttacks, RookExtracted, RookExtractedStart);
#else
    BishopSetCount = BuildSlider(BishopMask, BishopMagic, BishopShift, SlowBishopAttacks, BishopAttackSets, BishopIndex);
    RookSetCount = BuildSlider(RookMask, RookMagic, RookShift, SlowRookAttacks, RookAttackSets, RookIndex);
#endif
}

int BishopSetsUsed() { return BishopSetCount; }
int RookSetsUsed() { return RookSetCount; }
