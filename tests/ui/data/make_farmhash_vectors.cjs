// Writes farmhash_vectors.json: fingerprints of byte strings (every length
// branch, random and ill-formed UTF-8 bytes) and widget ids through the id
// cascade, from independent implementations. Run by hand:
//   npm install farmhash-modern farmhash && node make_farmhash_vectors.cjs
// Neither package is needed to build or test; the output is committed.
//
// farmhash-modern (a WebAssembly build of a Rust port) disagrees with the
// reference C++ code (the farmhash package's native build) for inputs longer
// than 64 bytes whose length is a multiple of 64: its loop takes one block
// too many. "fp" is the reference value; "fp_modern" records the other where
// the two differ.
const { fingerprint64: modern64 } = require('farmhash-modern');
const { fingerprint64: native64 } = require('farmhash');
const fingerprint64 = (bytes) => BigInt(native64(Buffer.from(bytes)));
const fs = require('fs');

let seed = 0x12345678;
function rand() {
    seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
    return seed >>> 16;
}
function hex(bytes) {
    return Buffer.from(bytes).toString('hex');
}

const vectors = [];
for (let len = 0; len <= 300; ++len) {
    const bytes = new Uint8Array(len);
    for (let i = 0; i < len; ++i) bytes[i] = rand() & 0xff;
    const row = { bytes: hex(bytes), fp: fingerprint64(bytes).toString() };
    const other = modern64(bytes).toString();
    if (other !== row.fp) row.fp_modern = other;
    vectors.push(row);
}
// Ill-formed UTF-8: lone continuation bytes, cut sequences, overlongs, surrogates.
for (const s of ['80', 'c3', 'e2 82', 'c0 af', 'ed a0 80', 'f4 90 80 80', 'ff fe', '41 80 42 c3',
                 'e2 80 a6 e2 80', 'f0 9f 98']) {
    const bytes = Uint8Array.from(s.split(' ').map((b) => parseInt(b, 16)));
    vectors.push({ bytes: hex(bytes), fp: fingerprint64(bytes).toString() });
}

// The id cascade: seed from the parent (or the golden ratio constant),
// a 32-bit mix, read back as a signed 32-bit value.
function widgetId(parent, label) {
    const s = Number(modern64(new TextEncoder().encode(label)) & 0xffffffffn);
    let h = (parent === null ? 0x9e3779b9 : Number(BigInt.asUintN(32, BigInt(parent)))) >>> 0;
    h = (h + s) >>> 0;
    h = (h + (h << 10)) >>> 0;
    h = (h ^ (h >>> 6)) >>> 0;
    h = (h + (h << 3)) >>> 0;
    h = (h ^ (h >>> 11)) >>> 0;
    h = (h + (h << 15)) >>> 0;
    return h | 0;
}
const ids = [];
for (const label of ['', 'OK', 'Save', 'row#0', 'row#1', 'scrollmain', 'Übersicht', 'winSettings',
                     'a label long enough to take the longest branch of the fingerprint, over sixty-four bytes']) {
    const top = widgetId(null, label);
    ids.push({ parent: null, label, id: top });
    ids.push({ parent: top, label: 'child', id: widgetId(top, 'child') });
}
fs.writeFileSync(__dirname + '/farmhash_vectors.json', JSON.stringify({ vectors, ids }, null, 1) + '\n');
