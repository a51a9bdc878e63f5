// Runs a WebAssembly build of Varnok in a worker_threads Worker, the way the page
// runs it in a Web Worker, and makes it a console engine: each line of standard
// input is one message to the worker, each line the engine sends back goes to
// standard output. So the end-to-end tests drive it as a GUI drives the desktop
// engine.
//   node uci_bridge.js DIST_WEB_FOLDER threads|single [TABLE_LIMIT_MB]
// The engine's exit code is the bridge's; a failure or a message of the runtime goes
// to standard error, and a failure ends the bridge with code 2.
'use strict';

const path = require('path');
const readline = require('readline');
const {Worker} = require('worker_threads');

const [folder, build, tableLimit] = process.argv.slice(2);
if (!folder || !build) {
    process.stderr.write('usage: node uci_bridge.js DIST_WEB_FOLDER threads|single [TABLE_LIMIT_MB]\n');
    process.exit(1);
}

const worker = new Worker(path.resolve(folder, 'engine-worker.js'),
                          {workerData: {build, tableLimitMb: Number(tableLimit) || 0}});
worker.on('message', message => {
    if (typeof message === 'string') {
        process.stdout.write(message + '\n');
        return;
    }
    if (message.event === 'exited')
        process.exit(message.code);
    if (message.event === 'started')
        return;
    process.stderr.write(JSON.stringify(message) + '\n');
    if (message.event === 'failed')
        process.exit(2);
});
worker.on('error', error => {
    process.stderr.write(`worker error: ${error && error.stack || error}\n`);
    process.exit(2);
});

const input = readline.createInterface({input: process.stdin, terminal: false});
input.on('line', line => worker.postMessage(line));
// End of input ends the engine as on the desktop
input.on('close', () => worker.postMessage('quit'));
