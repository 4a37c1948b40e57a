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
// mammoth's browser build opens only a buffer (its node build also takes an
// opened package, as the engine gives it), and parses XML with a parser
// written in script; the page has its own.
const standIns = [
  [/^\.\/unzip$/, /[\\/]mammoth[\\/]lib$/, 'mammoth_unzip.js'],
  [/^\.\/xmldom$/, /[\\/]mammoth[\\/]lib[\\/]xml$/, 'mammoth_xml.js'],
];
const mammothStandIns = {
  name: 'mammoth-stand-ins',
  setup(build) {
    for (const [request, folder, file] of standIns) {
      build.onResolve({ filter: request }, (args) => (folder.test(args.resolveDir)
        ? { path: join(here, 'src', file) } : undefined));
    }
  },
};
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
  plugins: [mammothStandIns],
});
copyFileSync(join(here, 'src', 'host.html'), join(out, 'host.html'));
