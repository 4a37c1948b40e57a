// The same engine code and npm libraries in plain node (jsdom for the DOM),
// called the way the host calls the page. Prints the lines engine_bench does.
//
//   node node_peer.mjs [--repeats N] FILE...

import { readFileSync } from 'node:fs';
import { basename, extname } from 'node:path';
import { performance } from 'node:perf_hooks';

const start = performance.now();
const { convert } = await import('../../engine/src/engine.js');
const { decodeAnswer, env } = await import('../../engine/test/support.mjs');
console.log(`ready ${(performance.now() - start).toFixed(1)}`);

let args = process.argv.slice(2);
let repeats = 3;
if (args[0] === '--repeats') {
  repeats = Math.max(1, Number(args[1]) || 1);
  args = args.slice(2);
}
for (const path of args) {
  const kind = extname(path).slice(1).toLowerCase().replace('htm', 'html').replace('htmll', 'html');
  const bytes = new Uint8Array(readFileSync(path));
  let best = Infinity;
  let result = null;
  for (let i = 0; i < repeats; i++) {
    const begin = performance.now();
    result = decodeAnswer(await convert(kind, bytes, basename(path), env));
    best = Math.min(best, performance.now() - begin);
  }
  if (result.error) {
    console.log(`convert ${path} failed ${result.error}`);
  } else {
    console.log(`convert ${path} ${best.toFixed(1)} ${result.markdown.length} ${result.assets.length}`);
  }
}
console.log(`memory ${process.resourceUsage().maxRSS}`);
