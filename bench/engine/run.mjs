// Makes the benchmark inputs, runs the engine through its host (engine_bench
// of the build) and the same engine in plain node on the same files, and
// prints the figures side by side.
//
//   node bench/engine/run.mjs [BUILD_DIR]       (default: build)

import { execFileSync } from 'node:child_process';
import { mkdirSync, statSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '..', '..');
const build = resolve(process.argv[2] || join(root, 'build'));
const { makeFixtures } = await import('../../engine/test/fixtures/make-fixtures.mjs');
const { longDocument, longPresentation } = await import('../inputs.mjs');

const out = join(build, 'bench', 'engine');
mkdirSync(out, { recursive: true });
makeFixtures(out);

const inputs = [
  ['sample.docx', null],
  ['long.docx', await longDocument(join(out, 'sample.docx'), 300)],
  ['sample.pptx', null],
  ['long.pptx', await longPresentation(join(out, 'sample.pptx'), 60)],
];
for (const [name, bytes] of inputs) {
  if (bytes) {
    writeFileSync(join(out, name), bytes);
  }
}
const huge = join(out, 'huge.pptx');
writeFileSync(huge, await longPresentation(join(out, 'sample.pptx'), 0, 10, 5 * 1024 * 1024));

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
