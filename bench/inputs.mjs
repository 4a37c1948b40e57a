// Makes the benchmarks' inputs, so that no large file is kept in the
// repository: text PDFs of any length, scanned PDFs with their page images,
// and long Word documents and presentations grown from the engine's samples.
//
//   node bench/inputs.mjs text-pdf OUT.pdf PAGES [LINES]
//   node bench/inputs.mjs scanned-pdf OUT.pdf PAGES IMAGE_FOLDER

import { execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'node:zlib';
import { chunk } from '../engine/test/fixtures/make-fixtures.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '..', 'engine', 'package.json'));
const JSZip = require('jszip');

const words = ['alpha', 'bravo', 'charlie', 'delta', 'echo', 'foxtrot', 'golf', 'hotel', 'india',
  'juliet', 'kilo', 'lima', 'mike', 'november', 'oscar', 'papa', 'quebec', 'romeo', 'sierra', 'tango',
  'uniform', 'victor', 'whiskey', 'xray', 'yankee', 'zulu', 'information', 'between', 'paragraph',
  'however', 'structure', 'measured', 'columns'];

// A4 pages of 11 pt body text under one 18 pt heading each, drawn by mutool.
export function textPdf(path, pages, lines = 45) {
  const work = mkdtempSync(join(tmpdir(), 'morvane-pdf-'));
  try {
    const sources = [];
    for (let p = 1; p <= pages; p++) {
      const content = ['%%MediaBox 0 0 595 842', '%%Font F1 Helvetica',
        `BT 72 790 Td /F1 18 Tf (Section ${p} of the benchmark) Tj ET`];
      for (let l = 1; l <= lines; l++) {
        let text = '';
        for (let w = 0; w <= 10; w++) {
          text += `${words[(p * 7 + l * 3 + w * 5) % words.length]} `;
        }
        content.push(`BT 72 ${770 - 16 * l} Td /F1 11 Tf (${text}${p}.${l}) Tj ET`);
      }
      const source = join(work, `page-${p}.txt`);
      writeFileSync(source, `${content.join('\n')}\n`);
      sources.push(source);
    }
    execFileSync('mutool', ['create', '-o', resolve(path), ...sources], { stdio: 'pipe' });
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
  return path;
}

// A PDF of page images only, as a scanner makes: text pages rendered at
// 144 dpi (2 px/pt) in grey, kept as page-NN.png in `images` for the peers.
export function scannedPdf(path, pages, images) {
  mkdirSync(images, { recursive: true });
  const source = join(images, 'source.pdf');
  textPdf(source, pages, 24);
  execFileSync('mutool', ['draw', '-q', '-r', '144', '-c', 'gray', '-o', join(images, 'page-%02d.png'), source],
    { stdio: 'pipe' });
  rmSync(source);
  const pictures = readdirSync(images).filter((name) => /^page-\d+\.png$/.test(name)).sort();
  const scripts = pictures.map((name) => {
    const script = join(images, name.replace('.png', '.txt'));
    writeFileSync(script, ['%%MediaBox 0 0 595 842', `%%Image Im1 ${join(images, name)}`,
      'q 595 0 0 842 0 0 cm /Im1 Do Q', ''].join('\n'));
    return script;
  });
  execFileSync('mutool', ['create', '-o', resolve(path), ...scripts], { stdio: 'pipe' });
  for (const script of scripts) {
    rmSync(script);
  }
  return pictures.map((name) => join(images, name));
}

// A real RGB PNG of random pixels, about `bytes` long: it does not compress,
// so the file size is what the picture weighs.
export function noisePng(bytes) {
  const side = Math.max(1, Math.round(Math.sqrt(bytes / 3)));
  const header = Buffer.alloc(13);
  header.writeUInt32BE(side, 0);
  header.writeUInt32BE(side, 4);
  header.set([8, 2, 0, 0, 0], 8);
  const rows = [];
  for (let y = 0; y < side; y++) {
    rows.push(Buffer.from([0]), randomBytes(side * 3));
  }
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header), chunk('IDAT', deflateSync(Buffer.concat(rows), { level: 0 })),
    chunk('IEND', Buffer.alloc(0))]);
}

// The sample document's body `times` times over. With `pictureBytes`, each
// copy's first picture is a picture of its own of that size.
export async function longDocument(sample, times, pictureBytes = 0) {
  const zip = await JSZip.loadAsync(readFileSync(sample));
  const xml = await zip.file('word/document.xml').async('string');
  const open = xml.indexOf('<w:body>') + '<w:body>'.length;
  const close = xml.includes('<w:sectPr') ? xml.lastIndexOf('<w:sectPr') : xml.lastIndexOf('</w:body>');
  const body = xml.slice(open, close);
  const embed = body.match(/r:embed="([^"]+)"/)?.[1];
  let rels = await zip.file('word/_rels/document.xml.rels').async('string');
  let copies = '';
  for (let k = 0; k < times; k++) {
    if (pictureBytes > 0 && embed) {
      const id = `rIdBench${k}`;
      zip.file(`word/media/bench${k}.png`, noisePng(pictureBytes), { compression: 'STORE' });
      rels = rels.replace('</Relationships>', `<Relationship Id="${id}" `
        + 'Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" '
        + `Target="media/bench${k}.png"/></Relationships>`);
      copies += body.replace(`r:embed="${embed}"`, `r:embed="${id}"`);
    } else {
      copies += body;
    }
  }
  zip.file('word/document.xml', xml.slice(0, open) + copies + xml.slice(close));
  zip.file('word/_rels/document.xml.rels', rels);
  return zip.generateAsync({ type: 'nodebuffer', compression: 'DEFLATE' });
}

// A Word document of about `megabytes` MB: copies of the sample's body, each
// with a 256 KiB picture of its own, so text and pictures grow together.
export function documentOfSize(sample, megabytes) {
  return longDocument(sample, Math.max(1, Math.round(megabytes * 4 * 0.97)), 256 * 1024);
}

// The sample presentation with slides added: `copies` rounds of its slides,
// then `pictureSlides` copies of its picture slide, each showing a picture of
// its own of `pictureBytes` (random bytes when `noise` is false, as a real
// PNG otherwise).
export async function longPresentation(sample, copies, pictureSlides = 0, pictureBytes = 0, noise = false) {
  const zip = await JSZip.loadAsync(readFileSync(sample));
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
  for (let k = 0; k < pictureSlides; k++) {
    zip.file(`ppt/media/big${k}.png`, noise ? noisePng(pictureBytes) : randomBytes(pictureBytes),
      { compression: 'STORE' });
    await add('ppt/slides/slide3.xml', (text) => text.replace(/media\/image\d+\.png/, `media/big${k}.png`));
  }
  zip.file('[Content_Types].xml', types);
  zip.file('ppt/_rels/presentation.xml.rels', rels);
  zip.file('ppt/presentation.xml', presentation);
  return zip.generateAsync({ type: 'nodebuffer', compression: 'DEFLATE' });
}

if (process.argv[1] && fileURLToPath(import.meta.url) === process.argv[1]) {
  const [what, out, count, extra] = process.argv.slice(2);
  if (what === 'text-pdf' && out && Number(count) > 0) {
    textPdf(out, Number(count), extra ? Number(extra) : undefined);
  } else if (what === 'scanned-pdf' && out && Number(count) > 0 && extra) {
    scannedPdf(out, Number(count), extra);
  } else {
    console.error('usage: node inputs.mjs text-pdf OUT.pdf PAGES [LINES]\n'
      + '       node inputs.mjs scanned-pdf OUT.pdf PAGES IMAGE_FOLDER');
    process.exit(2);
  }
}
