// The node programs bench/run measures Morvane against, each a whole command
// as a user would run it: read the file, convert it, write the Markdown.
//
//   node bench/peers.mjs pdf2md FILE.pdf OUT.md        (@opendocsg/pdf2md)
//   node bench/peers.mjs mammoth FILE.docx OUT.md      (mammoth, turndown + GFM)
//   node bench/peers.mjs readability FILE.html OUT.md  (jsdom, Readability, turndown + GFM)

import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const fromEngine = createRequire(join(here, '..', 'engine', 'package.json'));
const fromBench = createRequire(join(here, 'package.json'));

// pdf.js as pdf2md brings it calls two methods that node 20 lacks; without
// them pdf2md waits for ever on the first font.
if (!ArrayBuffer.prototype.transferToFixedLength) {
  Object.defineProperty(ArrayBuffer.prototype, 'transferToFixedLength', {
    value(length = this.byteLength) {
      const copy = new Uint8Array(length);
      copy.set(new Uint8Array(this, 0, Math.min(length, this.byteLength)));
      return copy.buffer;
    },
  });
}
if (!Map.prototype.getOrInsertComputed) {
  Object.defineProperty(Map.prototype, 'getOrInsertComputed', {
    value(key, compute) {
      if (!this.has(key)) {
        this.set(key, compute(key));
      }
      return this.get(key);
    },
  });
}

function turndown() {
  const TurndownService = fromEngine('turndown');
  const { gfm } = fromEngine('@joplin/turndown-plugin-gfm');
  const service = new TurndownService({ headingStyle: 'atx', codeBlockStyle: 'fenced', bulletListMarker: '-' });
  service.use(gfm);
  return service;
}

const peers = {
  async pdf2md(path) {
    const pdf2md = fromBench('@opendocsg/pdf2md');
    return pdf2md(new Uint8Array(readFileSync(path)));
  },
  async mammoth(path) {
    const mammoth = fromEngine('mammoth');
    const { value } = await mammoth.convertToHtml({ buffer: readFileSync(path) });
    return turndown().turndown(value);
  },
  async readability(path) {
    const { JSDOM } = fromEngine('jsdom');
    const { Readability } = fromEngine('@mozilla/readability');
    const dom = new JSDOM(readFileSync(path, 'utf8'), { url: 'https://example.org/article' });
    const article = new Readability(dom.window.document).parse();
    if (!article) {
      throw new Error('no article found');
    }
    return `# ${article.title}\n\n${turndown().turndown(article.content)}`;
  },
};

const [name, path, out] = process.argv.slice(2);
if (!peers[name] || !path || !out) {
  console.error(`usage: node peers.mjs ${Object.keys(peers).join('|')} FILE OUT.md`);
  process.exit(2);
}
writeFileSync(out, await peers[name](path));
