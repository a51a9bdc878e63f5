// Draws by rule, quiescence, alpha-beta, the root search and the "bestmove" line.
#include <set>

#include "Evaluation.h"
#include "SearchSupport.h"

namespace {

constexpr const char* FoolsMate = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
constexpr const char* Stalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* BackRankMate = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
constexpr const char* Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

std::set<std::string> LegalTexts() {
    std::set<std::string> texts;
    for (Move m : LegalMoves())
        texts.insert(MoveToText(m));
    return texts;
}

// The move of a "bestmove X [ponder Y]" line
std::string BestMoveOf(const std::string& line) {
    const std::string rest = line.substr(9);
    return rest.substr(0, rest.find(' '));
}

using Draws = SearchTest;

TEST_F(Draws, RepetitionCountsEarlierOccurrencesWithinTheReversibleStretch) {
    ASSERT_TRUE(Load(StartFen));
    ASSERT_TRUE(Play("g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(1), 1);
    EXPECT_EQ(RepetitionCount(2), 1);
    ASSERT_TRUE(Play("g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(1), 1);   // counted up to the limit
    EXPECT_EQ(RepetitionCount(3), 2);
    CurrentState().halfmoveClock = 3;   // fewer than four reversible plies: never
    EXPECT_EQ(RepetitionCount(3), 0);
    CurrentState().halfmoveClock = 4;   // only the last four plies are looked at
    EXPECT_EQ(RepetitionCount(3), 1);
}

TEST_F(Draws, PositionAfterADoublePushCarriesItsEnPassantKey) {
    ASSERT_TRUE(Load(StartFen));
    ASSERT_TRUE(Play("e2e3 e7e6 g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(3), 1);
    ASSERT_TRUE(Load(StartFen));
    ASSERT_TRUE(Play("e2e4 e7e5 g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(3), 0);
}

TEST_F(Draws, NothingBeforeTheFirstStateIsCompared) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/R3K3 w - - 30 40"));
    EXPECT_EQ(RepetitionCount(3), 0);
}

TEST_F(Draws, FiftyMoveRuleOutranksCheckmate) {
    ASSERT_TRUE(Load("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 100 3"));
    MakeRoot();
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 3, true), 0);
    ASSERT_TRUE(Load(FoolsMate));
    MakeRoot();
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 3, true), -MateValue);
}

TEST_F(Draws, OneEarlierOccurrenceIsADrawExceptAtDepthOne) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
    ASSERT_TRUE(Play("e1d1 e8d8 d1e1 d8e8"));
    MakeRoot();
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 2, false), 0);
    EXPECT_NE(AlphaBeta(-WindowBound, WindowBound, 1, false), 0);
    ASSERT_TRUE(Play("e1d1 e8d8 d1e1 d8e8"));
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 1, false), 0);
}

using QuiescenceSearch = SearchTest;

TEST_F(QuiescenceSearch, CannotWinCapAndMaterial) {
    const struct { const char* fen; bool canWin; } cases[] = {
        {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", false},    // a lone bishop
        {"4k3/8/8/8/8/8/8/2N1K3 w - - 0 1", false},    // a lone knight
        {"4k3/8/8/8/8/8/8/1NB1K3 w - - 0 1", true},    // bishop and knight
        {"4k3/8/8/8/8/8/8/3RK3 w - - 0 1", true},      // a rook
        {"4k3/8/8/8/8/8/P7/4K3 w - - 0 1", true},      // a pawn
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", false},
    };
    for (const auto& c : cases) {
        if (!Load(c.fen))
            continue;
        EXPECT_EQ(CanWin(), c.canWin) << c.fen;
    }
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"));
    MakeRoot();
    const uint64_t before = QuiescenceNodeCount;
    EXPECT_EQ(Quiescence(0, 100, 0), 0);
    EXPECT_EQ(Quiescence(5, 100, 0), 0);
    EXPECT_EQ(QuiescenceNodeCount, before);   // nothing was searched
    EXPECT_LE(Quiescence(-50, 100, 0), 0);    // beta falls to 0
}

TEST_F(QuiescenceSearch, MateAndStalemate) {
    ASSERT_TRUE(Load(FoolsMate));
    RootPly = Position.plyCounter - 3;
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, 0), 3 - MateValue);
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, -4), 3 - MateValue);

    ASSERT_TRUE(Load(Stalemate));
    MakeRoot();
    EXPECT_EQ(Quiescence(-100, 100, 0), 0);
    EXPECT_EQ(Quiescence(-100, 100, -1), -100);      // deeper plies do not see stalemate
    EXPECT_EQ(Quiescence(-9000, -8000, 0), -8000);   // stand pat already reaches beta
}

TEST_F(QuiescenceSearch, QuietChecksOnlyOnTheFirstPly) {
    ASSERT_TRUE(Load(BackRankMate));
    MakeRoot();
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, 0), MateValue - 1);
    const int standPat = Evaluate();
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, -1), standPat);
}

TEST_F(QuiescenceSearch, PlyLimitReturnsTheEvaluationEvenInCheck) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/4r3/R3K3 w - - 0 1"));
    RootPly = Position.plyCounter - MaxPly;
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, 0), Evaluate());
}

TEST_F(QuiescenceSearch, MateDistancePruning) {
    ASSERT_TRUE(Load(FoolsMate));   // the side to move is mated
    int alpha = -WindowBound, beta = WindowBound;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 2), 0);
    EXPECT_EQ(alpha, 2 - MateValue);
    EXPECT_EQ(beta, MateValue - 1 - 2);
    alpha = -WindowBound, beta = 2 - MateValue;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 2), 2 - MateValue);

    ASSERT_TRUE(Load(StartFen));
    alpha = -WindowBound, beta = WindowBound;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 4), 0);
    EXPECT_EQ(alpha, 4 - (MateValue - 2));
    alpha = 9996, beta = 9999;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 4), 9995);   // no mate can be nearer than ply 5
    alpha = 0, beta = 50;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 4), 0);
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(beta, 50);
}

using AlphaBetaSearch = SearchTest;

TEST_F(AlphaBetaSearch, TableCutsOnlyOffThePrincipalVariation) {
    ASSERT_TRUE(Load(Kiwipete));
    MakeRoot();
    const uint64_t key1 = CurrentState().key1, key2 = CurrentState().key2;
    StoreHash(10, 1234, BoundExact, key1, key2, RootPly, 0);
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 3, false), 1234);
    EXPECT_NE(AlphaBeta(-WindowBound, WindowBound, 3, true), 1234);
}

TEST_F(AlphaBetaSearch, SingleReplySearchesAndStoresOnePlyDeeper) {
    // In check from the a1 rook, the b2 rook guards the second rank: only Rf1 blocks
    ASSERT_TRUE(Load("8/8/k7/5R2/8/8/1r6/r6K w - - 0 1"));
    ASSERT_EQ(Texts(LegalMoves()), std::vector<std::string>{"f5f1"});
    MakeRoot();
    AlphaBeta(-WindowBound, WindowBound, 2, true);
    const Hash& slot = HashSlot(CurrentState().key1);
    EXPECT_EQ(slot.key1, CurrentState().key1);
    EXPECT_EQ(slot.profondeur, 3);
    EXPECT_EQ(slot.best, LegalMoves()[0]);
}

TEST_F(AlphaBetaSearch, MateScoreCountsPliesFromTheRoot) {
    ASSERT_TRUE(Load("7k/8/8/8/8/8/R7/1R4K1 w - - 0 1"));   // Ra7 (or Rb7) and mate next move
    const std::string line = SearchToDepth(4);
    const Hash& root = HashSlot(CurrentState().key1);
    EXPECT_EQ(root.valeur, MateValue - 3);
    EXPECT_EQ(root.flags, BoundExact);
    const std::string move = BestMoveOf(line);
    EXPECT_TRUE(move == "a2a7" || move == "b1b7") << line;
    EXPECT_EQ(ScoreText(root.valeur), " score mate 2");
}

TEST_F(AlphaBetaSearch, NullMoveNeverFollowsANullMoveNorInCheckNorWithLittleMaterial) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/PPP5/1Q2K3 w - - 0 1"));
    MakeRoot();
    const int beta = -5000;   // evaluation is far above: the null move would cut
    CurrentState().move = 0;
    EXPECT_FALSE(NullMoveSearch(beta, 6, false));   // the previous move was a null move
    CurrentState().move = 1;
    EXPECT_FALSE(NullMoveSearch(beta, 6, true));    // a PV node
    EXPECT_FALSE(NullMoveSearch(beta, 2, false));   // too shallow
    EXPECT_FALSE(NullMoveSearch(-9950, 6, false));  // beta is a mate score
    EXPECT_TRUE(NullMoveSearch(beta, 6, false));
    // The cut stores a lower bound without a move, three plies shallower
    const Hash& slot = HashSlot(CurrentState().key1);
    EXPECT_EQ(slot.flags, BoundLower);
    EXPECT_EQ(slot.valeur, beta);
    EXPECT_EQ(slot.profondeur, 3);
    EXPECT_EQ(slot.best, 0u);

    ASSERT_TRUE(Load("4k3/8/8/8/8/8/PPP5/1B2K3 w - - 0 1"));   // a lone bishop is too little
    MakeRoot();
    CurrentState().move = 1;
    EXPECT_FALSE(NullMoveSearch(beta, 6, false));
}

TEST_F(AlphaBetaSearch, GoDepthIsDeterministic) {
    for (const char* fen : {StartFen, Kiwipete, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        ASSERT_TRUE(Load(fen));
        ClearHash();
        const std::string first = SearchToDepth(6);
        const uint64_t nodes = NodeCount, quiescenceNodes = QuiescenceNodeCount;
        Move line[MaxSearchPlies + 1];
        std::memcpy(line, BestLine, sizeof line);
        AllocateHash(HashMinMegabytes);   // a fresh block, the same state as a cleared one
        EXPECT_EQ(SearchToDepth(6), first) << fen;
        EXPECT_EQ(NodeCount, nodes) << fen;
        EXPECT_EQ(QuiescenceNodeCount, quiescenceNodes) << fen;
        EXPECT_EQ(std::memcmp(line, BestLine, sizeof line), 0) << fen;
        EXPECT_EQ(LastCompletedDepth, 6);
    }
}

using RootSearchTest = SearchTest;

TEST_F(RootSearchTest, BestMoveIsAlwaysALegalRootMove) {
    // No completed iteration: the table's move for the root if legal, else the first legal move
    ASSERT_TRUE(Load(StartFen));
    std::memset(BestLine, 0, sizeof BestLine);
    EXPECT_EQ(BestMoveLine(), "bestmove a2a3");
    StoreHash(3, 0, BoundExact, CurrentState().key1, CurrentState().key2, 0, Generated("d2d4"));
    EXPECT_EQ(BestMoveLine(), "bestmove d2d4");

    // A line from another position that fits this board but is not legal here
    BestLine[0] = PackMoveWord(SquareFromText("d1"), SquareFromText("h5"), Queen, 0, 0, 0, 0, 3);
    ASSERT_TRUE(IsPlausibleMove(BestLine[0]));
    EXPECT_EQ(BestMoveLine(), "bestmove d2d4");

    // A legal move with a reply that is plausible but not legal: no ponder move
    BestLine[0] = Generated("e2e4");
    BestLine[1] = PackMoveWord(SquareFromText("d8"), SquareFromText("h4"), Queen, 0, 0, 0, 0, 3);
    EXPECT_EQ(BestMoveLine(), "bestmove e2e4");
    BestLine[1] = PackMoveWord(SquareFromText("e7"), SquareFromText("e5"), Pawn, 0, 0, 0, 0, 3);
    EXPECT_EQ(BestMoveLine(), "bestmove e2e4 ponder e7e5");
}

TEST_F(RootSearchTest, NoLegalMoveAnswersTheNullMove) {
    for (const char* fen : {FoolsMate, Stalemate}) {
        ASSERT_TRUE(Load(fen));
        EXPECT_EQ(SearchToDepth(3), "bestmove 0000") << fen;
    }
}

TEST_F(RootSearchTest, RootDrawnByRuleIsNotSearchedAndStillAnswersLegally) {
    ASSERT_TRUE(Load("8/8/4k3/8/8/8/4K3/R7 w - - 100 90"));
    // Another position's move in the root's slot: a king step of two squares
    const uint64_t key1 = CurrentState().key1;
    StoreHash(5, 0, BoundExact, key1, CurrentState().key2 ^ 1, 0,
              PackMoveWord(SquareFromText("e2"), SquareFromText("e4"), King, 0, 0, 0, 0, 0));
    const std::string line = SearchToDepth(4);
    EXPECT_EQ(NodeCount + QuiescenceNodeCount, 0u);
    EXPECT_EQ(LegalTexts().count(BestMoveOf(line)), 1u) << line;
}

TEST_F(RootSearchTest, PrincipalVariationStopsAtTheFirstMoveThatIsNotLegal) {
    ASSERT_TRUE(Load(StartFen));
    const Move first = Generated("e2e4");
    MakeMove(first);
    const uint64_t afterFirst = CurrentState().key1;
    const Move reply = Generated("e7e5");
    MakeMove(reply);
    const uint64_t afterReply = CurrentState().key1;
    UnmakeMove();
    UnmakeMove();

    // Qd8-h4 fits the board after e2e4 but the e7 pawn is in the way
    HashSlot(afterFirst).best = PackMoveWord(SquareFromText("d8"), SquareFromText("h4"), Queen, 0, 0, 0, 0, 3);
    MakeMove(first);   // the root move is on the board while its line is collected
    CollectPrincipalVariation(4, first, 0);
    UnmakeMove();
    EXPECT_EQ(PrincipalVariationLength, 1);
    EXPECT_EQ(PrincipalVariation[1], first);
    EXPECT_EQ(PrincipalVariation[2], 0u);

    HashSlot(afterFirst).best = reply;
    HashSlot(afterReply).best = 0;
    MakeMove(first);
    CollectPrincipalVariation(4, first, 0);
    UnmakeMove();
    EXPECT_EQ(PrincipalVariationLength, 2);
    EXPECT_EQ(PrincipalVariation[2], reply);
    EXPECT_EQ(WriteFen(), StartFen);   // every move taken back
}

TEST_F(RootSearchTest, SearchMovesRestrictTheRoot) {
    ASSERT_TRUE(Load(StartFen));
    ReadSearchMoves("h2h3 a2a3");
    SearchMovesActive = true;
    const std::string move = BestMoveOf(SearchToDepth(4));
    EXPECT_TRUE(move == "h2h3" || move == "a2a3") << move;
}

TEST_F(RootSearchTest, EveryRootMoveOfTheLargestListIsCounted) {
    ASSERT_TRUE(Load("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1"));
    ASSERT_EQ(LegalMoves().size(), 218u);
    const std::string line = SearchToDepth(5);
    EXPECT_EQ(LegalTexts().count(BestMoveOf(line)), 1u) << line;
    EXPECT_EQ(LastCompletedDepth, 5);
}

TEST_F(RootSearchTest, ScoreTexts) {
    const struct { int score; const char* text; } cases[] = {
        {208, " score cp 100"}, {-1, " score cp 0"}, {-208, " score cp -100"}, {207, " score cp 99"},
        {9900, " score cp 4759"}, {9995, " score mate 3"}, {9999, " score mate 1"}, {9901, " score mate 50"},
        {-9996, " score mate -2"}, {-10000, " score mate 0"}, {-9902, " score mate -49"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScoreText(c.score), c.text) << c.score;
}

}  // namespace
