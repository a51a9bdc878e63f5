#include "Tablebases.h"

#include <tbprobe.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>

#include "Bitboard.h"
#include "Platform.h"
#include "Thread.h"

TableSettings TableOptions;

namespace fs = std::filesystem;

namespace {

// Fathom is not safe to call from two threads at once (see the header), nor
// while it loads
std::mutex FathomLock;
// Written while no search runs, read by every search thread
std::atomic<int> LoadedPieces{0};
bool HadPath = false;   // the last SyzygyPath named a folder

// The first four bytes of a table file, by suffix (little-endian, as Fathom reads them)
struct TableKind {
    const char* suffix;
    uint32_t magic;
};
constexpr TableKind TableKinds[] = {{".rtbw", 0x5d23e871}, {".rtbz", 0xa50c66d7}, {".rtbm", 0x88ac504b}};

const TableKind* KindOf(const fs::path& file) {
    for (const TableKind& kind : TableKinds)
        if (file.extension() == kind.suffix)
            return &kind;
    return nullptr;
}

// Why a table file must not reach Fathom: it stops the engine when it cannot
// map a file, prints its own lines about a file of the wrong size, and reads
// a foreign one as if it were a table. Empty when the file is fine.
std::string FileFault(const fs::path& file, uint32_t magic) {
    std::error_code error;
    if (!fs::is_regular_file(file, error))
        return "not a file";
    const uintmax_t size = fs::file_size(file, error);
    // a table is whole blocks of 64 bytes and a 16-byte checksum
    if (error || size < 80 || size % 64 != 16)
        return "truncated";
    std::ifstream in(file, std::ios::binary);
    unsigned char head[4] = {};
    if (!in.read(reinterpret_cast<char*>(head), 4))
        return "cannot be read";
    const uint32_t found = head[0] | head[1] << 8 | head[2] << 16 | uint32_t(head[3]) << 24;
    return found == magic ? "" : "not a Syzygy table";
}

// A table's name, as Fathom asks for it: the white pieces, "v", the black ones
bool IsTableName(const std::string& stem) {
    const size_t v = stem.find('v');
    auto pieces = [](std::string_view side) {
        return !side.empty() && side[0] == 'K' && side.find_first_not_of("KQRBNP", 1) == std::string_view::npos
            && side.find('K', 1) == std::string_view::npos;
    };
    return v != std::string::npos && pieces(std::string_view(stem).substr(0, v))
        && pieces(std::string_view(stem).substr(v + 1));
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> folders;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(PathListSeparator(), start);
        if (end == std::string::npos)
            end = path.size();
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty() && folder != "<empty>")
            folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

// What the folders hold: the good table files by name (the first folder that
// has one wins, as in Fathom's own search) and whether a bad one was left out
struct FolderScan {
    std::map<std::string, fs::path> goodFiles;
    std::vector<std::string> folders;   // those that exist
    bool leftOut = false;
    std::vector<std::string> lines;
};

void ScanFolder(const std::string& folder, FolderScan& scan) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        scan.lines.push_back("info string SyzygyPath: no folder " + folder);
        return;
    }
    scan.folders.push_back(folder);
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (KindOf(entry.path()) && IsTableName(entry.path().stem().string()))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string fault = FileFault(file, KindOf(file)->magic);
        if (fault.empty())
            scan.goodFiles.emplace(file.filename().string(), file);
        else {
            scan.leftOut = true;
            scan.lines.push_back("info string SyzygyPath: " + file.string() + " left out: " + fault);
        }
    }
}

// When a bad file was left out, Fathom reads a folder of its own: links to the
// good files (copies where the system allows no link), removed on the next
// load and when the engine ends
struct LinkFolder {
    fs::path folder;
    void Remove() {
        std::error_code error;
        if (!folder.empty())
            fs::remove_all(folder, error);
        folder.clear();
    }
    ~LinkFolder() { Remove(); }
};
LinkFolder GoodFilesFolder;

bool LinkGoodFiles(const FolderScan& scan) {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (error)
        return false;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && GoodFilesFolder.folder.empty(); ++attempt) {
        const fs::path candidate = temporary / ("varnok-syzygy-" + std::to_string(random()));
        if (fs::create_directory(candidate, error))
            GoodFilesFolder.folder = candidate;
    }
    if (GoodFilesFolder.folder.empty())
        return false;
    for (const auto& [name, file] : scan.goodFiles) {
        const fs::path link = GoodFilesFolder.folder / name;
        fs::create_symlink(fs::absolute(file, error), link, error);
        if (error)
            fs::copy_file(file, link, error);
        if (error)
            return false;
    }
    return true;
}

int CountTables(const FolderScan& scan) {
    return int(std::count_if(scan.goodFiles.begin(), scan.goodFiles.end(),
                             [](const auto& file) { return fs::path(file.first).extension() == ".rtbw"; }));
}

std::string JoinFolders(const std::vector<std::string>& folders) {
    std::string joined;
    for (const std::string& folder : folders)
        joined += (joined.empty() ? "" : std::string(1, PathListSeparator())) + folder;
    return joined;
}

// This thread's board as Fathom takes it
struct FathomBoard {
    uint64_t white, black, kings, queens, rooks, bishops, knights, pawns;
    unsigned rule50, castling, ep;
    bool whiteToMove;
};

FathomBoard BoardForFathom() {
    const StateRecord& state = CurrentState();
    auto both = [](int type) { return Position.pieces[White][type] | Position.pieces[Black][type]; };
    return {Position.pieces[White][AllPieces], Position.pieces[Black][AllPieces],
            both(King), both(Queen), both(Rook), both(Bishop), both(Knight), both(Pawn),
            unsigned(state.halfmoveClock), unsigned(state.castling[White] | state.castling[Black]),
            unsigned(state.epSquare), Position.sideToMove == White};
}

// Whether Fathom may look at this thread's board at all: its tables hold no
// castling, and it has no table of more pieces (nor room for its name)
bool Probeable(const FathomBoard& board) {
    return board.castling == 0 && PopCount(board.white | board.black) <= TablebasePieces();
}

// The WDL of the board as if its fifty-move counter were 0
unsigned ProbeWdl(const FathomBoard& b) {
    std::lock_guard lock(FathomLock);
    return tb_probe_wdl_impl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns, b.ep,
                             b.whiteToMove);
}

// Fathom's move word: from, to and a promotion (1 queen to 4 knight)
bool SameMove(Move m, TbMove tbMove) {
    static constexpr int PromotionOf[5] = {0, Queen, Rook, Bishop, Knight};
    return MoveFrom(m) == int(TB_MOVE_FROM(tbMove)) && MoveTo(m) == int(TB_MOVE_TO(tbMove))
        && MovePromotion(m) == PromotionOf[TB_MOVE_PROMOTES(tbMove)];
}

// The score a root rank stands for (Fathom ranks a sure win 1000 and a win
// that the fifty-move rule may turn into a draw from 1 to 999)
int RankScore(int rank) {
    const int bound = TableOptions.fiftyMoveRule ? 900 : 1;
    return rank >= bound ? TableWinValue - 1
         : rank > 0      ? TableCursedValue
         : rank == 0     ? 0
         : rank > -bound ? -TableCursedValue
                         : 1 - TableWinValue;
}

constexpr const char* ResultNames[5] = {"Loss", "Blessed loss", "Draw", "Cursed win", "Win"};

}  // namespace

std::vector<std::string> LoadTablebases(const std::string& path) {
    std::lock_guard lock(FathomLock);
    // tb_init with an empty path unmaps the tables; tb_free would also free
    // Fathom's entries without forgetting them, and the next tb_init would
    // write into freed memory
    RunWithoutErrorOutput([] { tb_init(""); });
    LoadedPieces = 0;
    GoodFilesFolder.Remove();

    // an empty path where there was none (a GUI sending every option's default)
    // leaves the output as it has always been
    const std::vector<std::string> folders = SplitPath(path);
    const bool hadPath = HadPath;
    HadPath = !folders.empty();
    if (folders.empty()) {
        if (!hadPath)
            return {};
        return {"info string Syzygy tablebases off: SyzygyPath is empty"};
    }
    FolderScan scan;
    for (const std::string& folder : folders)
        ScanFolder(folder, scan);
    const int tables = CountTables(scan);
    if (tables == 0) {
        scan.lines.push_back("info string No tablebases found in " + path);
        return scan.lines;
    }
    if (scan.leftOut && !LinkGoodFiles(scan)) {
        GoodFilesFolder.Remove();
        scan.lines.push_back("info string No tablebases loaded: no folder for the good files could be made");
        return scan.lines;
    }
    const std::string fathomPath = scan.leftOut ? GoodFilesFolder.folder.string() : JoinFolders(scan.folders);
    if (!tb_init(fathomPath.c_str())) {
        RunWithoutErrorOutput([] { tb_init(""); });
        scan.lines.push_back("info string No tablebases loaded from " + path);
        return scan.lines;
    }
    LoadedPieces = int(TB_LARGEST);
    scan.lines.push_back("info string Found " + std::to_string(tables) + " tablebases");
    return scan.lines;
}

int TablebasePieces() { return LoadedPieces.load(std::memory_order_relaxed); }

int TableProbeLimit() { return std::min(TableOptions.probeLimit, TablebasePieces()); }

bool ProbeTablesInSearch(int depth, TableResult& result) {
    const StateRecord& state = CurrentState();
    if (state.halfmoveClock != 0 || (state.castling[White] | state.castling[Black]))
        return false;
    const int pieces = PopCount(Position.occupied);
    const int limit = TableProbeLimit();
    if (pieces > limit || (pieces == limit && depth < TableOptions.probeDepth))
        return false;
    const unsigned wdl = ProbeWdl(BoardForFathom());
    if (wdl == TB_RESULT_FAILED)
        return false;
    result = TableResult(int(wdl) - 2);
    ThisThread.TableHits.fetch_add(1, std::memory_order_relaxed);
    return true;
}

int TableScore(TableResult result, int ply) {
    switch (result) {
    case TableResult::Win:
        return TableWinValue - ply;
    case TableResult::Loss:
        return ply - TableWinValue;
    case TableResult::CursedWin:
        return TableOptions.fiftyMoveRule ? TableCursedValue : TableWinValue - ply;
    case TableResult::BlessedLoss:
        return TableOptions.fiftyMoveRule ? -TableCursedValue : ply - TableWinValue;
    case TableResult::Draw:
        break;
    }
    return 0;
}

TableRootRanking RankRootMoves(bool repeated, const MoveList& candidates) {
    const FathomBoard b = BoardForFathom();
    if (!Probeable(b))
        return {};
    auto moves = std::make_unique<TbRootMoves>();
    int ranked;
    {
        std::lock_guard lock(FathomLock);
        ranked = tb_probe_root_dtz(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns,
                                   b.rule50, b.castling, b.ep, b.whiteToMove, repeated, TableOptions.fiftyMoveRule,
                                   moves.get());
        if (!ranked)   // a DTZ table is missing
            ranked = tb_probe_root_wdl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns,
                                       b.rule50, b.castling, b.ep, b.whiteToMove, TableOptions.fiftyMoveRule,
                                       moves.get());
    }
    if (!ranked)
        return {};
    ThisThread.TableHits.fetch_add(moves->size, std::memory_order_relaxed);

    // each candidate's rank; a candidate the tables did not rank (none should be) keeps the root unranked
    std::vector<std::pair<Move, int>> ranks;
    for (int i = 1; i <= candidates.count; ++i) {
        const Move m = candidates.moves[i];
        const TbRootMove* found = std::find_if(moves->moves, moves->moves + moves->size,
                                               [&](const TbRootMove& r) { return SameMove(m, r.move); });
        if (found == moves->moves + moves->size)
            return {};
        ranks.emplace_back(m, found->tbRank);
    }
    if (ranks.empty())
        return {};
    const int bestRank = std::max_element(ranks.begin(), ranks.end(),
                                          [](auto& a, auto& b) { return a.second < b.second; })->second;
    TableRootRanking ranking;
    ranking.score = RankScore(bestRank);
    for (const auto& [move, rank] : ranks)
        if (rank == bestRank)
            ranking.bestMoves.push_back(move);
    return ranking;
}

std::vector<std::string> TablebaseLines() {
    if (TablebasePieces() == 0)
        return {};
    const FathomBoard b = BoardForFathom();
    std::string wdlText = "Failed";
    std::string dtzText = "Failed";
    if (Probeable(b)) {
        const unsigned wdl = ProbeWdl(b);
        if (wdl != TB_RESULT_FAILED)
            wdlText = ResultNames[wdl];
        unsigned root;
        {
            std::lock_guard lock(FathomLock);
            root = tb_probe_root_impl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns,
                                      b.rule50, b.ep, b.whiteToMove, nullptr);
        }
        // checkmate and stalemate carry no WDL field of their own: the mate's
        // field reads as a win
        if (root == TB_RESULT_CHECKMATE || root == TB_RESULT_STALEMATE)
            dtzText = "0";
        else if (root != TB_RESULT_FAILED) {
            const int dtz = int(TB_GET_DTZ(root));
            dtzText = std::to_string(TB_GET_WDL(root) < TB_DRAW ? -dtz : dtz);
        }
    }
    return {"Tablebases WDL: " + wdlText, "Tablebases DTZ: " + dtzText};
}
