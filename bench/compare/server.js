// SPDX-License-Identifier: MIT
// A loopback server for the end-to-end rows: every search request gets the answer file.
// usage: node server.js PORT FILE
'use strict';
const http = require('http');
const fs = require('fs');
const [port, file] = process.argv.slice(2);
const answer = fs.readFileSync(file);
http.createServer((request, response) => {
    response.writeHead(200, {'Content-Type': 'application/x-javascript; charset=GBK',
                             'Content-Length': answer.length});
    response.end(answer);
}).listen(Number(port), '127.0.0.1', () => console.log('ready'));
