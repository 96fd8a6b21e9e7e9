#!/usr/bin/env node
// Converts Natural Earth 1:10m land and country borders into the compact file
// that the map widget embeds as its built-in world map (worldmap.bin).
//
// Source: the npm package world-atlas 2.0.2 (ISC; the Natural Earth data in it
// is public domain): land-10m.json (TopoJSON, object "land", the physical land
// polygons, so the coast follows the real coastline) and countries-10m.json
// (object "countries", for the borders between countries). To rebuild:
//
//   npm pack world-atlas@2.0.2 && tar xzf world-atlas-2.0.2.tgz
//   node convert_worldmap.js package/land-10m.json package/countries-10m.json worldmap.bin
//
// Output layout (then compressed):
//   4 bytes big-endian length of the uncompressed data, then a zlib stream
//   (the form qUncompress reads) of:
//     "TBWM", version byte 2,
//     the grid: four little-endian doubles, latitude step, longitude step,
//       latitude origin, longitude origin, in degrees (a point on grid row r,
//       column c lies at origin + step * r or c),
//     land rings:   varint count, then per ring: varint point count and the points,
//     border lines: the same.
//   A point is its grid row then its grid column, each a zigzag varint of the
//   difference from the previous point of the same line (the first point of a
//   line is relative to 0, 0). Both files share one grid, which the data keeps
//   exactly, so nothing is rounded here and the file stays small.
'use strict';
const fs = require('fs');
const zlib = require('zlib');

function decodeArcs(topo) {
    return topo.arcs.map((arc) => {
        let x = 0, y = 0;
        return arc.map(([dx, dy]) => {
            x += dx;
            y += dy;
            return [y, x];  // grid row (latitude) first
        });
    });
}

function arcPoints(arcs, index) {
    return index >= 0 ? arcs[index] : arcs[~index].slice().reverse();
}

function stitch(arcs, indices) {
    const out = [];
    indices.forEach((i, k) => {
        const pts = arcPoints(arcs, i);
        out.push(...(k === 0 ? pts : pts.slice(1)));
    });
    return out;
}

function ringsOf(geometry) {
    if (geometry.type === 'Polygon') return geometry.arcs;
    if (geometry.type === 'MultiPolygon') return geometry.arcs.flat();
    return [];
}

const zigzag = (v) => (v < 0 ? -2 * v - 1 : 2 * v);

function writer() {
    const bytes = [];
    const varint = (v) => {
        // values stay far below 2^53 so plain arithmetic is exact
        while (v >= 128) {
            bytes.push((v % 128) | 128);
            v = Math.floor(v / 128);
        }
        bytes.push(v);
    };
    const double = (v) => {
        const b = Buffer.alloc(8);
        b.writeDoubleLE(v, 0);
        bytes.push(...b);
    };
    const lines = (list) => {
        varint(list.length);
        for (const line of list) {
            varint(line.length);
            let prow = 0, pcol = 0;
            for (const [row, col] of line) {
                varint(zigzag(row - prow));
                varint(zigzag(col - pcol));
                prow = row;
                pcol = col;
            }
        }
    };
    return { bytes, varint, double, lines };
}

// Drops points equal to the one before (left by merging arcs).
function dedupe(line) {
    return line.filter((p, i) => i === 0 || p[0] !== line[i - 1][0] || p[1] !== line[i - 1][1]);
}

function sameGrid(a, b) {
    return a.transform.scale.every((v, i) => v === b.transform.scale[i]) &&
           a.transform.translate.every((v, i) => v === b.transform.translate[i]);
}

function main() {
    const [landInput, countriesInput, output] = process.argv.slice(2);
    if (!landInput || !countriesInput || !output) {
        console.error('usage: convert_worldmap.js land-10m.json countries-10m.json worldmap.bin');
        process.exit(2);
    }
    const landTopo = JSON.parse(fs.readFileSync(landInput, 'utf8'));
    const countryTopo = JSON.parse(fs.readFileSync(countriesInput, 'utf8'));
    if (!sameGrid(landTopo, countryTopo)) {
        console.error('the two files are quantized differently');
        process.exit(1);
    }

    const landArcs = decodeArcs(landTopo);
    const land = [];
    for (const g of landTopo.objects.land.geometries) {
        for (const ring of ringsOf(g)) {
            const r = dedupe(stitch(landArcs, ring));
            if (r.length >= 4) land.push(r);
        }
    }

    // An arc used by two different countries is a border between them; an
    // arc used once is coast, which the land rings already draw.
    const countryArcs = decodeArcs(countryTopo);
    const users = new Map();
    countryTopo.objects.countries.geometries.forEach((g, gi) => {
        for (const ring of ringsOf(g)) {
            for (const i of ring) {
                const a = i >= 0 ? i : ~i;
                if (!users.has(a)) users.set(a, new Set());
                users.get(a).add(gi);
            }
        }
    });
    const borders = [];
    for (const [a, set] of [...users.entries()].sort((p, q) => p[0] - q[0])) {
        if (set.size > 1) {
            const line = dedupe(countryArcs[a]);
            if (line.length >= 2) borders.push(line);
        }
    }

    const [sx, sy] = landTopo.transform.scale;
    const [tx, ty] = landTopo.transform.translate;
    const w = writer();
    w.bytes.push(...Buffer.from('TBWM'), 2);
    w.double(sy);
    w.double(sx);
    w.double(ty);
    w.double(tx);
    w.lines(land);
    w.lines(borders);
    const raw = Buffer.from(w.bytes);
    const header = Buffer.alloc(4);
    header.writeUInt32BE(raw.length, 0);
    const packed = Buffer.concat([header, zlib.deflateSync(raw, { level: 9 })]);
    fs.writeFileSync(output, packed);
    const points = (l) => l.reduce((n, x) => n + x.length, 0);
    console.log(`land rings ${land.length} (${points(land)} points), ` +
                `borders ${borders.length} (${points(borders)} points), ` +
                `${raw.length} bytes raw, ${packed.length} bytes written`);
}

main();
