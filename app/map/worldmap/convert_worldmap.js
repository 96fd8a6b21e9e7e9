#!/usr/bin/env node
// Converts Natural Earth 1:50m land and country borders into the compact file
// that the map widget embeds as its built-in world map (worldmap.bin).
//
// Source: the npm package world-atlas 2.0.2 (ISC; the Natural Earth data in it
// is public domain), file countries-50m.json, TopoJSON holding the objects
// "land" and "countries". To rebuild:
//
//   npm pack world-atlas@2.0.2 && tar xzf world-atlas-2.0.2.tgz
//   node convert_worldmap.js package/countries-50m.json worldmap.bin
//
// Output layout (all integers little-endian or varints, then compressed):
//   4 bytes big-endian length of the uncompressed data, then a zlib stream
//   (the form qUncompress reads) of:
//     "TBWM", version byte 1,
//     land rings:   varint count, then per ring: varint point count and the points,
//     border lines: the same.
//   A point is latitude then longitude in 1/3 600 000 degree, each a zigzag
//   varint of the difference from the previous point of the same line (the
//   first point of a line is relative to 0, 0).
'use strict';
const fs = require('fs');
const zlib = require('zlib');

function decodeArcs(topo) {
    const [sx, sy] = topo.transform.scale;
    const [tx, ty] = topo.transform.translate;
    return topo.arcs.map((arc) => {
        let x = 0, y = 0;
        return arc.map(([dx, dy]) => {
            x += dx;
            y += dy;
            // map units: degrees x 3 600 000, rounded to the nearest unit
            return [Math.round((y * sy + ty) * 3600000), Math.round((x * sx + tx) * 3600000)];
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
        // values stay below 2^33 so plain arithmetic is exact
        while (v >= 128) {
            bytes.push((v % 128) | 128);
            v = Math.floor(v / 128);
        }
        bytes.push(v);
    };
    const lines = (list) => {
        varint(list.length);
        for (const line of list) {
            varint(line.length);
            let plat = 0, plon = 0;
            for (const [lat, lon] of line) {
                varint(zigzag(lat - plat));
                varint(zigzag(lon - plon));
                plat = lat;
                plon = lon;
            }
        }
    };
    return { bytes, varint, lines };
}

function main() {
    const [input, output] = process.argv.slice(2);
    if (!input || !output) {
        console.error('usage: convert_worldmap.js countries-50m.json worldmap.bin');
        process.exit(2);
    }
    const topo = JSON.parse(fs.readFileSync(input, 'utf8'));
    const arcs = decodeArcs(topo);

    const land = [];
    for (const g of topo.objects.land.geometries) {
        for (const ring of ringsOf(g)) land.push(stitch(arcs, ring));
    }

    // An arc used by two different countries is a border between them; an
    // arc used once is coast, which the land rings already draw.
    const users = new Map();
    topo.objects.countries.geometries.forEach((g, gi) => {
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
        if (set.size > 1) borders.push(arcs[a]);
    }

    const w = writer();
    w.bytes.push(...Buffer.from('TBWM'), 1);
    w.lines(land);
    w.lines(borders);
    const raw = Buffer.from(w.bytes);
    const header = Buffer.alloc(4);
    header.writeUInt32BE(raw.length, 0);
    fs.writeFileSync(output, Buffer.concat([header, zlib.deflateSync(raw, { level: 9 })]));
    const points = (l) => l.reduce((n, x) => n + x.length, 0);
    console.log(`land rings ${land.length} (${points(land)} points), ` +
                `borders ${borders.length} (${points(borders)} points), ` +
                `${raw.length} bytes raw`);
}

main();
