// Starts Varnok in a worker and exposes it as window.varnok:
//   varnok.send(line)   sends one UCI command line
//   varnok.lines        every line the engine wrote, in order
//   varnok.build        "threads" or "single"
//   varnok.failure      why the engine is not running, or null
//   varnok.uciokMs      when the first "uciok" came, in ms from the page's opening
// A page that is cross-origin isolated runs the threaded build; any other page
// the single-threaded one, which needs no SharedArrayBuffer.

const StartTimeoutMs = 30000;

// A small share of the device's memory for the table, in MB: memory the engine's
// module has grown to is never given back
export function tableLimitMegabytes(deviceGigabytes = navigator.deviceMemory) {
    const share = (deviceGigabytes || 2) * 1024 / 16;
    let megabytes = 16;
    while (megabytes * 2 <= Math.min(share, 256))
        megabytes *= 2;
    return megabytes;
}

export function chooseBuild() {
    return self.crossOriginIsolated && typeof SharedArrayBuffer === 'function' ? 'threads' : 'single';
}

// listener: {line(text), failed(reason), started(build)}
export function startEngine(listener) {
    const build = chooseBuild();
    const tableMb = tableLimitMegabytes();
    const engine = {build, tableMb, lines: [], failure: null, send: line => worker.postMessage(String(line))};
    let worker = null;

    const fail = reason => {
        if (engine.failure)
            return;
        engine.failure = reason;
        listener.failed(reason);
    };
    if (typeof WebAssembly !== 'object' || typeof Worker !== 'function') {
        engine.send = () => {};
        fail('this browser cannot run the engine: it has no WebAssembly or no Web Workers');
        return engine;
    }
    worker = new Worker(`engine-worker.js?build=${build}&tablemb=${tableMb}`);
    const startTimer = setTimeout(() => fail('the engine did not answer within 30 seconds'), StartTimeoutMs);
    worker.onmessage = event => {
        const message = event.data;
        if (typeof message === 'string') {
            engine.lines.push(message);
            if (message === 'uciok') {
                clearTimeout(startTimer);
                engine.uciokMs = engine.uciokMs || performance.now();   // from the page's opening
            }
            listener.line(message);
        } else if (message.event === 'failed') {
            clearTimeout(startTimer);
            fail(`the engine stopped: ${message.reason}`);
        } else if (message.event === 'exited') {
            fail('the engine has ended (quit); reload the page to start it again');
        } else if (message.event === 'started') {
            listener.started(build);
        } else if (message.event === 'stderr') {
            console.info('varnok:', message.text);
        }
    };
    worker.onerror = event => {
        event.preventDefault();
        clearTimeout(startTimer);
        fail(`the engine's worker failed: ${event.message || 'it could not be loaded'}`);
    };
    return engine;
}
