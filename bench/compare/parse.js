// SPDX-License-Identifier: MIT
// The anchor of the parse rows: node's RegExp over the same answer, reading the same fields.
// usage: node parse.js FILE RUNS SUFFIX
'use strict';
const fs = require('fs');
const [file, runs, suffix] = process.argv.slice(2);
const bytes = fs.readFileSync(file);
const source = 'songname:"([\\s\\S]{1,200})",singerid:\\d+,singername:"([\\s\\S]{1,200})",' +
    'albumid:\\d+,albumname:"([\\s\\S]{1,200})",songurl:"(http://stream\\d+\\.' +
    suffix.replace(/\./g, '\\.') + '/\\d+\\.wma)"';
function parseOnce() {
    const text = new TextDecoder('gbk').decode(bytes);
    const pattern = new RegExp(source, 'gim');
    let total = 0;
    for (const m of text.matchAll(pattern)) {
        total += m[1].length + m[2].length + m[3].length + m[4].length;
    }
    return total;
}
parseOnce();
const times = [];
for (let i = 0; i < Number(runs); ++i) {
    const start = process.hrtime.bigint();
    parseOnce();
    times.push(Number(process.hrtime.bigint() - start) / 1000);
}
times.sort((a, b) => a - b);
console.log(times[times.length >> 1].toFixed(1));
