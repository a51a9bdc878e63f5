// The page: a game against Varnok, or an analysis by it, of the position on the
// board. chess.js keeps the rules (legal moves, SAN, FEN, PGN, the end of the
// game); cm-chessboard draws the board and takes the moves; the engine runs in a
// worker (engine.js) and hears the same UCI lines a desktop GUI would send.
import {Chess, validateFen} from './vendor/chess.js/chess.js';
import {Chessboard, COLOR, INPUT_EVENT_TYPE} from './vendor/cm-chessboard/src/Chessboard.js';
import {Markers, MARKER_TYPE} from './vendor/cm-chessboard/src/extensions/markers/Markers.js';
import {PromotionDialog, PROMOTION_DIALOG_RESULT_TYPE} from './vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import {startEngine} from './engine.js';

const StartFen = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';
const $ = id => document.getElementById(id);

// ---------------------------------------------------------------------------
// State

const state = {
    mode: 'play',          // 'play' against the engine, or 'analyse'
    game: new Chess(),
    startFen: StartFen,
    human: 'w',            // the side the person plays in 'play'
    level: 'full',         // 'full' or an Elo
    time: {kind: 'move', moveMs: 3000},
    clocks: null,          // {w, b, increment, since}: ms left, while a clock runs
    over: null,            // the end of the game in words, or null
    position: 0,           // counts changes of the board: an answer for an older one is dropped
    ready: false,          // "uciok" came
    eloRange: null,        // [min, max] of UCI_Elo as the engine announces it
};

// Every "go" sent, in order: the engine answers each with one "bestmove"
const searches = [];
let engine;
let board;

// ---------------------------------------------------------------------------
// The engine

function send(line) {
    engine.send(line);
}

function onEngineLine(line) {
    if (line.startsWith('option name UCI_Elo ')) {
        const words = line.split(' ');
        state.eloRange = [Number(words[words.indexOf('min') + 1]), Number(words[words.indexOf('max') + 1])];
    } else if (line === 'uciok') {
        state.ready = true;
        fillLevels();
        $('engine-state').textContent = `engine ready (${engine.build === 'threads' ? 'threaded' : 'single-threaded'} build, table ${engine.tableMb} MB)`;
        send(`setoption name Hash value ${engine.tableMb}`);
        send('isready');
        newGame();
    } else if (line.startsWith('bestmove')) {
        onBestMove(line.split(' ')[1]);
    } else if (line.startsWith('info ') && searches.length && searches[0].kind === 'analyse' && !searches[0].stale) {
        showAnalysis(line, searches[0]);
    } else if (line.startsWith('info string')) {
        console.info('varnok:', line);
    }
}

function onEngineFailure(reason) {
    const box = $('failure');
    box.textContent = `Varnok cannot play: ${reason}.`;
    box.hidden = false;
    $('engine-state').textContent = 'engine not running';
    state.ready = false;
}

// Drops the answers of the searches under way: the board has changed under them
function cancelSearches() {
    if (searches.some(search => !search.stale)) {
        searches.forEach(search => { search.stale = true; });
        send('stop');
    }
}

function positionCommand(game = state.game) {
    const moves = game.history({verbose: true}).map(move => move.from + move.to + (move.promotion || ''));
    const base = state.startFen === StartFen ? 'position startpos' : `position fen ${state.startFen}`;
    return moves.length ? `${base} moves ${moves.join(' ')}` : base;
}

function levelOptions() {
    if (state.mode === 'analyse' || state.level === 'full')
        return ['setoption name UCI_LimitStrength value false'];
    return ['setoption name UCI_LimitStrength value true', `setoption name UCI_Elo value ${state.level}`];
}

function goCommand() {
    if (state.time.kind === 'move')
        return `go movetime ${state.time.moveMs}`;
    const clocks = state.clocks;
    const spent = Date.now() - clocks.since;
    const left = side => Math.max(1, Math.round(clocks[side] - (state.game.turn() === side ? spent : 0)));
    return `go wtime ${left('w')} btime ${left('b')} winc ${clocks.increment} binc ${clocks.increment}`;
}

function startEngineMove() {
    levelOptions().forEach(send);
    send(positionCommand());
    send(goCommand());
    searches.push({kind: 'move', position: state.position, stale: false});
    setStatus('Varnok is thinking…');
}

function startAnalysis() {
    const analysed = new Chess(state.game.fen());
    send('setoption name UCI_LimitStrength value false');
    send(`setoption name MultiPV value ${$('multipv').value}`);
    send(positionCommand());
    send('go infinite');
    const search = {kind: 'analyse', position: state.position, stale: false, fen: analysed.fen(), lines: []};
    searches.push(search);
    $('lines').replaceChildren();
    $('depth').textContent = 'depth –';
    $('nps').textContent = '– kn/s';
    if (state.game.isGameOver())
        showGameOverAnalysis();
}

function onBestMove(uci) {
    const search = searches.shift();
    if (!search || search.stale || search.kind !== 'move' || search.position !== state.position)
        return;
    let move = null;
    try {
        move = state.game.move({from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4]});
    } catch (error) {
        move = null;
    }
    if (!move) {
        showFailure(`the engine answered with a move that is not legal here: ${uci}`);
        return;
    }
    chargeClock(move.color);
    afterMove(move);
}

// ---------------------------------------------------------------------------
// Analysis

function scoreText(kind, value) {
    if (kind === 'mate')
        return value > 0 ? `#${value}` : `#-${-value}`;
    return (value > 0 ? '+' : '') + (value / 100).toFixed(2);
}

// A pv of UCI moves as SAN from the analysed position; stops at the first move it cannot play
function pvToSan(fen, pv) {
    const game = new Chess(fen);
    const san = [];
    for (const uci of pv) {
        try {
            san.push(game.move({from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4]}).san);
        } catch (error) {
            break;
        }
    }
    return san;
}

function parseInfo(line) {
    const words = line.split(' ');
    const info = {};
    for (let i = 1; i < words.length; i++) {
        const word = words[i];
        if (word === 'pv') {
            info.pv = words.slice(i + 1).filter(Boolean);
            break;
        }
        if (word === 'score') {
            info.scoreKind = words[i + 1];
            info.score = Number(words[i + 2]);
            i += 2;
        } else if (['depth', 'multipv', 'nps', 'nodes', 'time'].includes(word)) {
            info[word] = Number(words[++i]);
        }
    }
    return info;
}

function showAnalysis(line, search) {
    const info = parseInfo(line);
    if (info.depth !== undefined)
        $('depth').textContent = `depth ${info.depth}`;
    if (info.nps !== undefined)
        $('nps').textContent = `${Math.round(info.nps / 1000)} kn/s`;
    if (!info.pv || info.scoreKind === undefined)
        return;
    const index = (info.multipv || 1) - 1;
    const whiteToMove = search.fen.split(' ')[1] === 'w';
    // Scores are the side to move's; the bar and the text show White's
    const white = whiteToMove ? info.score : -info.score;
    search.lines[index] = {text: scoreText(info.scoreKind, white), san: pvToSan(search.fen, info.pv), depth: info.depth};
    renderLines(search);
    if (index === 0)
        setEvalBar(info.scoreKind, white);
}

function renderLines(search) {
    const items = search.lines.filter(Boolean).map(line => {
        const item = document.createElement('li');
        const score = document.createElement('span');
        score.className = 'score';
        score.textContent = line.text;
        item.append(score, line.san.join(' '));
        return item;
    });
    $('lines').replaceChildren(...items);
}

function setEvalBar(kind, whiteScore) {
    let share;
    if (kind === 'mate')
        share = whiteScore > 0 ? 1 : 0;
    else
        share = 1 / (1 + Math.exp(-whiteScore / 250));   // 2.5 pawns ahead fill about three quarters
    $('eval-white').style.height = `${(share * 100).toFixed(1)}%`;
    $('eval-text').textContent = scoreText(kind, whiteScore);
}

function showGameOverAnalysis() {
    const item = document.createElement('li');
    item.textContent = state.over || 'the game is over';
    $('lines').replaceChildren(item);
    if (state.game.isCheckmate()) {
        const whiteWon = state.game.turn() === 'b';
        setEvalBar('mate', whiteWon ? 1 : -1);
        $('eval-text').textContent = whiteWon ? '1-0' : '0-1';
    }
}

// ---------------------------------------------------------------------------
// The clocks

function chargeClock(side) {
    const clocks = state.clocks;
    if (!clocks)
        return;
    clocks[side] += clocks.increment - (Date.now() - clocks.since);
    clocks.since = Date.now();
}

function formatClock(ms) {
    const seconds = Math.max(0, Math.ceil(ms / 1000));
    return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function showClocks() {
    const clocks = state.clocks;
    $('clock-top').hidden = $('clock-bottom').hidden = !clocks;
    if (!clocks)
        return;
    const bottom = board.getOrientation() === COLOR.white ? 'w' : 'b';
    const top = bottom === 'w' ? 'b' : 'w';
    const running = state.over ? null : state.game.turn();
    const left = side => clocks[side] - (side === running ? Date.now() - clocks.since : 0);
    for (const [id, side] of [['clock-top', top], ['clock-bottom', bottom]]) {
        $(id).textContent = `${side === 'w' ? 'White' : 'Black'} ${formatClock(left(side))}`;
        $(id).classList.toggle('running', side === running);
    }
    if (running && left(running) <= 0) {
        state.over = `${running === 'w' ? 'White' : 'Black'} lost on time`;
        cancelSearches();
        refresh();
    }
}

// ---------------------------------------------------------------------------
// The game

function gameEndText(game) {
    if (game.isCheckmate())
        return `Checkmate: ${game.turn() === 'w' ? 'Black' : 'White'} wins`;
    if (game.isStalemate())
        return 'Stalemate: a draw';
    if (game.isInsufficientMaterial())
        return 'Draw: neither side has enough material to mate';
    if (game.isThreefoldRepetition())
        return 'Draw by threefold repetition';
    if (game.isDrawByFiftyMoves())
        return 'Draw by the fifty-move rule';
    return null;
}

function setStatus(text, over = false) {
    $('status').textContent = text;
    $('status').classList.toggle('over', over);
}

function showFailure(text) {
    const box = $('failure');
    box.textContent = `Varnok: ${text}.`;
    box.hidden = false;
}

function engineToMove() {
    return state.mode === 'play' && !state.over && state.game.turn() !== state.human;
}

// After any change of the board: redraw, then let the engine move or analyse
function refresh() {
    state.over = state.over || gameEndText(state.game);
    board.setPosition(state.game.fen(), true);
    renderMoves();
    $('fen').value = state.game.fen();
    showClocks();
    board.disableMoveInput();
    if (state.over)
        setStatus(state.over, true);
    else if (state.mode === 'analyse' || !engineToMove())
        setStatus(`${state.game.turn() === 'w' ? 'White' : 'Black'} to move`);
    if (!state.ready)
        return;
    if (state.mode === 'analyse')
        startAnalysis();
    else if (engineToMove())
        startEngineMove();
    if (!state.over && (state.mode === 'analyse' || !engineToMove()))
        board.enableMoveInput(onMoveInput, state.mode === 'analyse' ? undefined : state.human);
    $('take-back').disabled = state.game.history().length === 0;
}

function boardChanged() {
    state.position += 1;
    cancelSearches();
    refresh();
}

function afterMove(move) {
    board.removeMarkers(MARKER_TYPE.square);
    board.addMarker(MARKER_TYPE.square, move.from);
    board.addMarker(MARKER_TYPE.square, move.to);
    boardChanged();
}

function renderMoves() {
    const history = state.game.history();
    const firstNumber = Number(state.startFen.split(' ')[5]) || 1;
    const blackFirst = state.startFen.split(' ')[1] === 'b';
    const plies = blackFirst ? ['…', ...history] : history;
    const items = [];
    for (let i = 0; i < plies.length; i += 2) {
        const item = document.createElement('li');
        item.value = firstNumber + i / 2;
        for (const san of plies.slice(i, i + 2)) {
            const span = document.createElement('span');
            span.textContent = san;
            item.append(span);
        }
        items.push(item);
    }
    $('moves').replaceChildren(...items);
    $('moves').scrollTop = $('moves').scrollHeight;
}

function onMoveInput(event) {
    const game = state.game;
    switch (event.type) {
    case INPUT_EVENT_TYPE.moveInputStarted:
        return game.moves({square: event.squareFrom}).length > 0;
    case INPUT_EVENT_TYPE.validateMoveInput: {
        const candidates = game.moves({square: event.squareFrom, verbose: true}).filter(move => move.to === event.squareTo);
        if (candidates.length === 0)
            return false;
        if (candidates.some(move => move.promotion)) {
            board.showPromotionDialog(event.squareTo, game.turn() === 'w' ? COLOR.white : COLOR.black, result => {
                if (result && result.type === PROMOTION_DIALOG_RESULT_TYPE.pieceSelected)
                    playHumanMove(event.squareFrom, event.squareTo, result.piece.charAt(1));
                else
                    board.setPosition(game.fen(), true);
            });
            return true;
        }
        playHumanMove(event.squareFrom, event.squareTo);
        return true;
    }
    default:
        return true;
    }
}

function playHumanMove(from, to, promotion) {
    const move = state.game.move({from, to, promotion});
    chargeClock(move.color);
    afterMove(move);
}

// ---------------------------------------------------------------------------
// Buttons

function readPlaySettings() {
    const colour = $('colour').value;
    state.human = colour === 'random' ? (Math.random() < 0.5 ? 'w' : 'b') : colour;
    state.level = $('level').value;
    const [kind, first, second] = $('time').value.split(':');
    state.time = kind === 'move' ? {kind, moveMs: Number(first)} : {kind, baseMs: Number(first), incrementMs: Number(second)};
}

function newGame(fen = StartFen) {
    readPlaySettings();
    state.startFen = fen;
    state.game = new Chess(fen);
    state.over = null;
    state.clocks = state.time.kind === 'clock' && state.mode === 'play'
        ? {w: state.time.baseMs, b: state.time.baseMs, increment: state.time.incrementMs, since: Date.now()}
        : null;
    cancelSearches();
    send('ucinewgame');
    board.removeMarkers();
    board.setOrientation(state.mode === 'play' && state.human === 'b' ? COLOR.black : COLOR.white);
    setEvalBar('cp', 0);
    boardChanged();
}

function takeBack() {
    const game = state.game;
    if (game.history().length === 0)
        return;
    game.undo();
    // Against the engine, back to the person's own move
    while (state.mode === 'play' && game.turn() !== state.human && game.history().length > 0)
        game.undo();
    state.over = null;
    if (state.clocks)
        state.clocks.since = Date.now();
    board.removeMarkers();
    boardChanged();
}

function loadFen() {
    const fen = $('fen').value.trim();
    const check = validateFen(fen);
    if (!check.ok) {
        $('fen-error').textContent = `Not a position: ${check.error}`;
        return;
    }
    $('fen-error').textContent = '';
    newGame(fen);
}

function exportPgn() {
    const game = state.game;
    const result = game.isCheckmate() ? (game.turn() === 'w' ? '0-1' : '1-0') : game.isDraw() ? '1/2-1/2' : '*';
    const engineName = state.level === 'full' ? 'Varnok' : `Varnok (level ${state.level})`;
    const headers = {
        Event: state.mode === 'play' ? 'Game against Varnok' : 'Analysis with Varnok',
        Site: 'Varnok web page',
        Date: new Date().toISOString().slice(0, 10).replace(/-/g, '.'),
        White: state.mode !== 'play' ? '?' : state.human === 'w' ? 'You' : engineName,
        Black: state.mode !== 'play' ? '?' : state.human === 'b' ? 'You' : engineName,
        Result: result,
    };
    const copy = new Chess(state.startFen);
    for (const [key, value] of Object.entries(headers))
        copy.setHeader(key, value);
    if (state.startFen !== StartFen) {
        copy.setHeader('SetUp', '1');
        copy.setHeader('FEN', state.startFen);
    }
    for (const move of game.history({verbose: true}))
        copy.move(move.san);
    const pgn = copy.pgn() + '\n';
    $('pgn').value = pgn;
    $('pgn').hidden = false;
    const link = $('pgn-download');
    URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(new Blob([pgn], {type: 'application/x-chess-pgn'}));
    link.hidden = false;
}

function setMode(mode) {
    state.mode = mode;
    $('tab-play').setAttribute('aria-selected', String(mode === 'play'));
    $('tab-analyse').setAttribute('aria-selected', String(mode === 'analyse'));
    $('play-settings').hidden = mode !== 'play';
    $('analyse-settings').hidden = mode !== 'analyse';
    $('analysis').hidden = mode !== 'analyse';
    if (mode === 'analyse') {
        state.clocks = null;
        state.over = null;
        if (state.ready)
            send('setoption name MultiPV value 1');
        boardChanged();
    } else {
        send('setoption name MultiPV value 1');
        newGame(state.game.fen());
    }
}

function fillLevels() {
    const select = $('level');
    if (!state.eloRange || select.options.length > 1)
        return;
    const [min, max] = state.eloRange;
    for (let elo = min; elo <= max; elo += 50) {
        const option = new Option(`${elo} Elo`, String(elo));
        select.add(option);
    }
    select.value = String(Math.min(max, Math.max(min, 1500)));
}

// ---------------------------------------------------------------------------

function main() {
    board = new Chessboard($('board'), {
        position: StartFen,
        assetsUrl: './vendor/cm-chessboard/assets/',
        style: {pieces: {file: 'pieces/standard.svg'}, animationDuration: 150},
        extensions: [{class: Markers, props: {autoMarkers: MARKER_TYPE.frame}}, {class: PromotionDialog}],
    });
    $('new-game').onclick = () => newGame();
    $('take-back').onclick = takeBack;
    $('flip').onclick = () => {
        board.setOrientation(board.getOrientation() === COLOR.white ? COLOR.black : COLOR.white);
        showClocks();
    };
    $('load-fen').onclick = loadFen;
    $('export-pgn').onclick = exportPgn;
    $('tab-play').onclick = () => setMode('play');
    $('tab-analyse').onclick = () => setMode('analyse');
    $('multipv').onchange = () => { if (state.mode === 'analyse') boardChanged(); };
    setInterval(showClocks, 250);

    engine = startEngine({line: onEngineLine, failed: onEngineFailure, started: () => {}});
    window.varnok = engine;
    // For scripts: the game as the page holds it
    window.varnokPage = {
        fen: () => state.game.fen(),
        history: () => state.game.history({verbose: true}).map(move => move.lan),
        status: () => $('status').textContent,
        mode: () => state.mode,
        humanColour: () => state.human,
    };
    send('uci');
}

main();
