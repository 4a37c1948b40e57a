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
// mammoth's browser build opens only a buffer; its node build also takes an
// opened package, as the engine gives it.
const mammothOpensOurPackage = {
  name: 'mammoth-opens-our-package',
  setup(build) {
    build.onResolve({ filter: /^\.\/unzip$/ }, (args) => (/[\\/]mammoth[\\/]lib$/.test(args.resolveDir)
      ? { path: join(here, 'src', 'mammoth_unzip.js') } : undefined));
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
  plugins: [mammothOpensOurPackage],
});
copyFileSync(join(here, 'src', 'host.html'), join(out, 'host.html'));
