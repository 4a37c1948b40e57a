// Makes the benchmark inputs, runs the engine through its host (engine_bench
// of the build) and the same engine in plain node on the same files, and
// prints the figures side by side.
//
//   node bench/engine/run.mjs [BUILD_DIR]       (default: build)

import { execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { mkdirSync, statSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '..', '..');
const build = resolve(process.argv[2] || join(root, 'build'));
const require = createRequire(join(root, 'engine', 'package.json'));
const JSZip = require('jszip');
const { makeFixtures } = await import('../../engine/test/fixtures/make-fixtures.mjs');

const out = join(build, 'bench', 'engine');
mkdirSync(out, { recursive: true });
makeFixtures(out);

async function load(name) {
  const { readFileSync } = await import('node:fs');
  return JSZip.loadAsync(readFileSync(join(out, name)));
}

// The sample document's body repeated `times` times.
async function longDocument(times) {
  const zip = await load('sample.docx');
  const xml = await zip.file('word/document.xml').async('string');
  const open = xml.indexOf('<w:body>') + '<w:body>'.length;
  const close = xml.includes('<w:sectPr') ? xml.lastIndexOf('<w:sectPr') : xml.lastIndexOf('</w:body>');
  const body = xml.slice(open, close);
  zip.file('word/document.xml', xml.slice(0, open) + body.repeat(times) + xml.slice(close));
  return zip.generateAsync({ type: 'nodebuffer', compression: 'DEFLATE' });
}

// The sample presentation with slides added: `copies` rounds of its slides,
// and one slide per big picture (random bytes, stored uncompressed).
async function longPresentation(copies, bigPictures = 0, pictureBytes = 0) {
  const zip = await load('sample.pptx');
  let types = await zip.file('[Content_Types].xml').async('string');
  let rels = await zip.file('ppt/_rels/presentation.xml.rels').async('string');
  let presentation = await zip.file('ppt/presentation.xml').async('string');
  const originals = Object.keys(zip.files).filter((path) => /^ppt\/slides\/slide\d+\.xml$/.test(path));
  let next = originals.length + 1;
  let id = 1000;
  const add = async (source, change = (text) => text) => {
    const number = next++;
    zip.file(`ppt/slides/slide${number}.xml`, await zip.file(source).async('string'));
    const sourceRels = source.replace('slides/', 'slides/_rels/') + '.rels';
    zip.file(`ppt/slides/_rels/slide${number}.xml.rels`, change(await zip.file(sourceRels).async('string')));
    types = types.replace('</Types>', `<Override PartName="/ppt/slides/slide${number}.xml" `
      + 'ContentType="application/vnd.openxmlformats-officedocument.presentationml.slide+xml"/></Types>');
    rels = rels.replace('</Relationships>', `<Relationship Id="rIdBench${number}" `
      + 'Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" '
      + `Target="slides/slide${number}.xml"/></Relationships>`);
    presentation = presentation.replace('</p:sldIdLst>', `<p:sldId id="${id++}" r:id="rIdBench${number}"/></p:sldIdLst>`);
  };
  for (let round = 0; round < copies; round++) {
    for (const source of originals) {
      await add(source);
    }
  }
  for (let k = 0; k < bigPictures; k++) {
    zip.file(`ppt/media/big${k}.png`, randomBytes(pictureBytes), { compression: 'STORE' });
    await add('ppt/slides/slide3.xml', (text) => text.replace(/media\/image\d+\.png/, `media/big${k}.png`));
  }
  zip.file('[Content_Types].xml', types);
  zip.file('ppt/_rels/presentation.xml.rels', rels);
  zip.file('ppt/presentation.xml', presentation);
  return zip.generateAsync({ type: 'nodebuffer', compression: 'DEFLATE' });
}

const inputs = [
  ['sample.docx', null],
  ['long.docx', await longDocument(300)],
  ['sample.pptx', null],
  ['long.pptx', await longPresentation(60)],
];
for (const [name, bytes] of inputs) {
  if (bytes) {
    writeFileSync(join(out, name), bytes);
  }
}
const huge = join(out, 'huge.pptx');
writeFileSync(huge, await longPresentation(0, 10, 5 * 1024 * 1024));

function figures(command, args) {
  const lines = execFileSync(command, args, {
    encoding: 'utf8', maxBuffer: 1 << 26,
    env: { QT_QPA_PLATFORM: 'offscreen', QTWEBENGINE_DISABLE_SANDBOX: '1', ...process.env },
  }).split('\n');
  const result = { convert: new Map() };
  for (const line of lines) {
    const [what, ...rest] = line.trim().split(' ');
    if (what === 'ready') {
      result.ready = Number(rest[0]);
    } else if (what === 'convert') {
      result.convert.set(rest[0], rest[1] === 'failed' ? `failed: ${rest.slice(2).join(' ')}` : Number(rest[1]));
    } else if (what === 'memory') {
      result.memory = rest.map(Number);
    }
  }
  return result;
}

const files = inputs.map(([name]) => join(out, name));
const bench = join(build, 'bin', 'engine_bench');
const peer = join(here, 'node_peer.mjs');
const host = figures(bench, ['--repeats', '3', ...files]);
const node = figures(process.execPath, [peer, '--repeats', '3', ...files]);
const hostHuge = figures(bench, ['--repeats', '1', huge]);
const nodeHuge = figures(process.execPath, ['--max-old-space-size=4096', peer, '--repeats', '1', huge]);

const mb = (bytes) => `${(bytes / 1048576).toFixed(2)} MB`;
const ms = (value) => (typeof value === 'number' ? `${value.toFixed(0)} ms` : value);
const rows = [['figure', 'input size', 'host (web engine)', 'plain node', 'host / node']];
rows.push(['ready after start', '', ms(host.ready), ms(node.ready), (host.ready / node.ready).toFixed(2)]);
for (const file of files) {
  const a = host.convert.get(file);
  const b = node.convert.get(file);
  rows.push([file.replace(/^.*\//, ''), mb(statSync(file).size), ms(a), ms(b),
    typeof a === 'number' && typeof b === 'number' ? (a / b).toFixed(2) : '']);
}
const a = hostHuge.convert.get(huge);
const b = nodeHuge.convert.get(huge);
rows.push(['huge.pptx (once)', mb(statSync(huge).size), ms(a), ms(b),
  typeof a === 'number' && typeof b === 'number' ? (a / b).toFixed(2) : '']);
rows.push(['peak memory, huge.pptx', '', `host ${mb(hostHuge.memory[0] * 1024)} + engine ${mb(hostHuge.memory[1] * 1024)}`,
  mb(nodeHuge.memory[0] * 1024), '']);
const widths = rows[0].map((_, c) => Math.max(...rows.map((row) => row[c].length)));
for (const row of rows) {
  console.log(`| ${row.map((cell, c) => cell.padEnd(widths[c])).join(' | ')} |`);
}
