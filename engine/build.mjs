// Bundles the engine into one script beside host.html in the given folder.
import { build } from 'esbuild';
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2];
if (!out) {
  console.error('usage: node build.mjs OUTPUT_FOLDER');
  process.exit(2);
}
mkdirSync(out, { recursive: true });
await build({
  entryPoints: [join(here, 'src', 'main.js')],
  outfile: join(out, 'engine.js'),
  bundle: true,
  format: 'iife',
  platform: 'browser',
  target: 'chrome102', // the Chromium of Qt WebEngine 6.4
  minify: true,
  legalComments: 'eof',
  logLevel: 'warning',
});
copyFileSync(join(here, 'src', 'host.html'), join(out, 'host.html'));
