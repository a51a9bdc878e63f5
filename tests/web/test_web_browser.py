#!/usr/bin/python3
"""The web page in a real browser: Debian's chromium, headless, driven by
chromium-driver through python3-selenium, the page served by tools/serve_web.py
with and without the isolation headers. The right build loads; ten moves against
level 1500, each engine move legal (chess.js, in the page); a FEN loaded and its
analysis read; a mate on the board announced; a page at 360 px with no sideways
scroll; no request to another origin; a missing engine said on the page; no
errors in the console. Prints the time from opening the page to "uciok", and
saves the screenshot the README shows.
Usage: test_web_browser.py path/to/dist/web [screenshot.png]"""
import contextlib
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from uci_engine import run_tests  # noqa: E402

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.common.exceptions import StaleElementReferenceException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select  # noqa: E402

DIST = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else None
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None
SERVER = os.path.join(HERE, "..", "..", "tools", "serve_web.py")
# Without these the browser looks for the network, which this machine's closed one stalls
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
SCHOLAR = "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Site:
    """tools/serve_web.py serving a folder on a free port of this machine"""

    def __init__(self, root, isolation=True):
        self.port = free_port()
        command = [sys.executable, SERVER, "--port", str(self.port), "--root", root, "--quiet"]
        self.process = subprocess.Popen(command + ([] if isolation else ["--no-isolation"]), stdout=subprocess.PIPE)
        self.process.stdout.readline()   # "Serving ...": it listens
        self.url = f"http://localhost:{self.port}/"

    def close(self):
        self.process.terminate()
        self.process.wait(10)


class Browser:
    def __init__(self, width=1200, height=900):
        # the desktop's window; a phone's screen is emulated (with_page)
        self.profile = tempfile.mkdtemp(prefix="varnok-chromium-")
        options = webdriver.ChromeOptions()
        for flag in FLAGS + [f"--user-data-dir={self.profile}", f"--window-size={width},{height}"]:
            options.add_argument(flag)
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                                       options=options)
        self.driver.set_script_timeout(60)
        self.console = []

    def open(self, url):
        self.driver.get(url)

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def wait(self, script, timeout=30, what=None):
        """The first true value of the script within timeout seconds"""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.js(script)
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError(f"{what or script}: not within {timeout} s; status {self.text('status')!r}, "
                             f"failure {self.text('failure')!r}")

    def wait_for_engine(self):
        return self.wait("return window.varnok && varnok.lines.includes('readyok') && varnok.uciokMs", 60,
                         "the engine's uciok and readyok")

    def text(self, element_id):
        return self.js(f"const e = document.getElementById('{element_id}'); return e ? e.textContent : null")

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def choose(self, element_id, value):
        Select(self.driver.find_element(By.ID, element_id)).select_by_value(value)

    def click_square(self, square):
        # at the square's middle; the board may redraw meanwhile, which makes the element a stale one
        for attempt in range(5):
            try:
                target = self.driver.find_element(By.CSS_SELECTOR, f"#board rect[data-square='{square}']")
                ActionChains(self.driver).move_to_element(target).click().perform()
                return
            except StaleElementReferenceException:
                time.sleep(0.2)
        raise AssertionError(f"square {square} could not be clicked")

    def play(self, uci):
        """A move made by two clicks, as a person makes it"""
        self.click_square(uci[:2])
        self.click_square(uci[2:4])

    def errors(self):
        """Console messages of level error or worse since the last look"""
        self.console += self.driver.get_log("browser")
        found = [entry["message"] for entry in self.console if entry["level"] == "SEVERE"]
        self.console.clear()
        return found

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)


def with_page(isolation=True, root=None, phone=False):
    """A browser on the page, served as asked; a phone's is 360 px wide (a window
    cannot be that narrow, so the page is shown as on a phone's screen)"""
    site = Site(root or DIST, isolation)
    browser = Browser()
    browser.site = site
    if phone:
        browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                       {"width": 360, "height": 740, "deviceScaleFactor": 2, "mobile": True})
    browser.open(site.url)
    return browser


def closing(browser):
    browser.close()
    browser.site.close()


@contextlib.contextmanager
def engine_page(**page):
    """A page whose engine has said uciok; the browser's console must stay free
    of errors, and the browser and its server are closed whatever happens"""
    browser = with_page(**page)
    try:
        browser.uciok_ms = browser.wait_for_engine()
        yield browser
        assert browser.errors() == []
    finally:
        closing(browser)


# chess.js of the page, as a referee separate from the page's own game
REPLAY = """
const [fen, moves, done] = arguments;
import('./vendor/chess.js/chess.js').then(({Chess}) => {
    const game = new Chess(fen);
    const legal = [];
    for (const uci of moves) {
        const ok = game.moves({verbose: true}).some(m => m.from + m.to + (m.promotion || '') === uci);
        legal.push(ok);
        if (!ok) break;
        game.move({from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4]});
    }
    const choices = game.moves({verbose: true}).filter(m => !m.promotion).map(m => m.from + m.to);
    done({legal, choices, over: game.isGameOver()});
});
"""


def test_isolated_page_runs_the_threaded_build_and_the_other_the_single_threaded():
    for isolation, build in [(True, "threads"), (False, "single")]:
        with engine_page(isolation=isolation) as browser:
            assert browser.js("return [varnok.build, self.crossOriginIsolated]") == [build, isolation]
            print(f"  page open to uciok, {build} build: {browser.uciok_ms:.0f} ms")
            browser.js("varnok.send('go depth 6')")
            browser.wait("return varnok.lines.some(l => l.startsWith('bestmove'))", 30)


def test_ten_moves_against_level_1500_are_legal():
    with engine_page() as browser:
        browser.choose("level", "1500")
        browser.choose("colour", "w")
        browser.choose("time", "move:1000")
        browser.click("new-game")
        start = browser.js("return varnok.lines.length")
        browser.wait("return varnokPage.status() === 'White to move'", 10)
        for ply in range(0, 20, 2):
            history = browser.js("return varnokPage.history()")
            assert len(history) == ply, history
            check = browser.driver.execute_async_script(REPLAY, START, history)
            if check["over"]:
                break
            browser.play(check["choices"][(ply * 7) % len(check["choices"])])
            browser.wait(f"return varnokPage.history().length === {ply + 2} || varnokPage.status().includes('mate')",
                         30, f"the engine's answer to move {ply // 2 + 1}")
        history = browser.js("return varnokPage.history()")
        answers = browser.js(f"return varnok.lines.slice({start}).filter(l => l.startsWith('bestmove'))"
                             ".map(l => l.split(' ')[1])")
        check = browser.driver.execute_async_script(REPLAY, START, history)
        assert len(history) >= 20 and all(check["legal"]), (history, check)
        # every engine move is the engine's own answer, played as it gave it
        assert history[1::2] == answers[-len(history[1::2]):], (history, answers)
        assert browser.js("return varnok.lines").count("info string") == 0
        if SCREENSHOT:
            browser.click("tab-analyse")
            browser.wait("return document.querySelectorAll('#lines li').length >= 3", 30)
            time.sleep(2)
            browser.driver.save_screenshot(SCREENSHOT)


def load_fen(browser, fen):
    browser.js("document.querySelector('details').open = true")
    field = browser.driver.find_element(By.ID, "fen")
    field.clear()
    field.send_keys(fen)
    browser.click("load-fen")


def test_a_loaded_fen_is_analysed():
    with engine_page(isolation=False) as browser:
        browser.click("tab-analyse")
        browser.choose("multipv", "2")
        load_fen(browser, SCHOLAR)
        first = browser.wait("const l = document.querySelector('#lines li'); return l && l.textContent", 30)
        assert first.startswith("#1") and "Qxf7#" in first, first
        browser.wait("return document.querySelectorAll('#lines li').length === 2", 30)
        assert browser.text("depth").startswith("depth ") and browser.text("nps").endswith("kn/s")
        assert browser.text("eval-text") == "#1"
        load_fen(browser, "not a position")
        assert browser.text("fen-error").startswith("Not a position"), browser.text("fen-error")
        assert browser.js("return varnokPage.fen()") == SCHOLAR


def test_a_mate_on_the_board_is_announced_and_exported():
    with engine_page() as browser:
        browser.choose("colour", "w")
        load_fen(browser, SCHOLAR)
        browser.wait("return varnokPage.status() === 'White to move'", 10)
        browser.play("h5f7")
        browser.wait("return varnokPage.status() === 'Checkmate: White wins'", 10)
        browser.click("export-pgn")
        pgn = browser.js("return document.getElementById('pgn').value")
        assert '[Result "1-0"]' in pgn and f'[FEN "{SCHOLAR}"]' in pgn and "4. Qxf7# 1-0" in pgn, pgn


def test_a_phone_sized_page_and_no_request_leaves_the_origin():
    with engine_page(phone=True) as browser:
        width = browser.js("return [document.documentElement.scrollWidth, window.innerWidth]")
        assert width[0] <= width[1] == 360, width
        board = browser.js("const r = document.getElementById('board').getBoundingClientRect(); return r.width")
        assert board >= 250, board
        origin = browser.site.url.rstrip("/")
        elsewhere = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                               ".filter(n => !n.startsWith(location.origin + '/'))")
        assert elsewhere == [], (origin, elsewhere)


def test_an_engine_that_cannot_load_is_said_on_the_page():
    broken = tempfile.mkdtemp(prefix="varnok-broken-")
    try:
        shutil.copytree(DIST, broken, dirs_exist_ok=True)
        for name in os.listdir(broken):
            if name.endswith(".wasm"):
                os.remove(os.path.join(broken, name))
        browser = with_page(isolation=False, root=broken)
        try:
            text = browser.wait("const f = document.getElementById('failure'); return !f.hidden && f.textContent",
                                40, "the failure on the page")
            assert text.startswith("Varnok cannot play:"), text
            browser.errors()   # the missing file is an error the console shows, as it should
        finally:
            closing(browser)
    finally:
        shutil.rmtree(broken)


if __name__ == "__main__":
    run_tests(globals())
