// Runs one Varnok engine in a worker: a Web Worker in the browser
// (engine-worker.js?build=threads or ?build=single), a worker_threads Worker in
// Node (workerData: {build, tableLimitMb}). The table of the engine takes at most
// tablemb (tableLimitMb) megabytes, when given.
//
// In:  one UCI command line per message, a string.
// Out: one message per line the engine writes, a string; and events as objects:
//      {event: 'started', build}    the engine runs and reads its input
//      {event: 'failed', reason}    it could not start, or it stopped by a fault
//      {event: 'exited', code}      it ended ("quit")
//      {event: 'stderr', text}      a message of the WebAssembly runtime
'use strict';

const inNode = typeof importScripts !== 'function';
const host = inNode ? nodeHost() : browserHost();
const factoryNames = {threads: 'VarnokThreads', single: 'VarnokSingle'};

function nodeHost() {
    const {parentPort, workerData} = require('worker_threads');
    const fs = require('fs');
    const path = require('path');
    const build = workerData && workerData.build;
    const tableLimitMb = (workerData && workerData.tableLimitMb) || 0;
    const script = path.join(__dirname, 'varnok-' + build + '.js');
    return {
        build,
        tableLimitMb,
        post: message => parentPort.postMessage(message),
        listen: handler => parentPort.on('message', handler),
        // Node's fetch() cannot read a file path: the module gets its bytes here
        load: () => ({factory: require(script), script,
                      wasmBinary: fs.readFileSync(script.replace(/\.js$/, '.wasm'))}),
    };
}

function browserHost() {
    const query = new URLSearchParams(self.location.search);
    const build = query.get('build');
    const script = new URL('varnok-' + build + '.js', self.location.href).href;
    return {
        build,
        tableLimitMb: Number(query.get('tablemb')) || 0,
        post: message => self.postMessage(message),
        listen: handler => { self.onmessage = event => handler(event.data); },
        load: () => {
            importScripts(script);
            return {factory: self[factoryNames[build]], script};
        },
    };
}

// Lines that arrive before the engine runs wait here; the single-threaded build
// reads its lines from this queue all the time, since calling into it while a
// search is paused would break it
const waiting = [];
let engine = null;
let stopped = false;

function fail(reason) {
    if (stopped)
        return;
    stopped = true;
    host.post({event: 'failed', reason: String(reason)});
}

function sendToEngine(line) {
    if (host.build === 'threads' && engine)
        engine.ccall('varnok_input', null, ['string'], [line]);
    else
        waiting.push(line);
}

function start() {
    if (!factoryNames[host.build])
        return fail('no engine build named "' + host.build + '"');
    if (typeof WebAssembly !== 'object')
        return fail('this browser has no WebAssembly');
    const loaded = host.load();
    const settings = {
        varnokInput: waiting,
        varnokTableLimitMb: host.tableLimitMb,
        varnokOutput: text => {
            for (const line of text.split('\n').slice(0, -1))
                host.post(line);
        },
        // the pthreads load the engine's script, not this worker's
        mainScriptUrlOrBlob: loaded.script,
        print: text => host.post({event: 'stderr', text}),
        printErr: text => host.post({event: 'stderr', text}),
        onAbort: reason => fail(reason || 'the engine stopped on a fault'),
        onExit: code => { stopped = true; host.post({event: 'exited', code}); },
    };
    if (loaded.wasmBinary)
        settings.wasmBinary = loaded.wasmBinary;
    loaded.factory(settings).then(module => {
        engine = module;
        if (host.build === 'threads')
            for (const line of waiting.splice(0))
                sendToEngine(line);
        host.post({event: 'started', build: host.build});
    }, fail);
}

host.listen(line => sendToEngine(String(line)));
try {
    start();
} catch (error) {
    fail(error && error.message ? error.message : error);
}
