// Shared by the engine's tests: a DOM for node, calls through the real entry
// point as the host makes them, the fixtures LibreOffice makes and the
// golden files of whole conversions.

import { JSDOM } from 'jsdom';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { convert } from '../src/engine.js';
import { toMarkdown } from '../src/markdown.js';
import { makeFixtures } from './fixtures/make-fixtures.mjs';

const window = new JSDOM('').window;
export const env = { DOMParser: window.DOMParser, XMLSerializer: window.XMLSerializer };

// The Markdown of an HTML fragment, as the engine makes it from a body.
export function markdownOf(html) {
  const document = new env.DOMParser().parseFromString(`<!DOCTYPE html><body>${html}</body>`, 'text/html');
  return toMarkdown(document.body);
}

// The answer's parts read back as the host reads them: the result with
// every asset in base64.
export function decodeAnswer(parts) {
  const answer = Buffer.concat(parts);
  const jsonLength = answer.readUInt32LE(0);
  const count = answer.readUInt32LE(4);
  let offset = 8 + 4 * count + jsonLength;
  const result = JSON.parse(answer.subarray(8 + 4 * count, offset).toString('utf8'));
  assert.equal(result.assets.length, count);
  result.assets.forEach((asset, i) => {
    const length = answer.readInt32LE(8 + 4 * i);
    if (length >= 0) {
      asset.base64 = answer.subarray(offset, offset += length).toString('base64');
    }
  });
  assert.equal(offset, answer.length);
  return result;
}

// One call as the host makes it, text sent as its UTF-8; the answer decoded
// back into an object.
export async function call(kind, input, name = 'input') {
  const bytes = typeof input === 'string' ? Buffer.from(input, 'utf8') : input;
  return decodeAnswer(await convert(kind, new Uint8Array(bytes), name, env));
}

let fixtures = null;

// The folder of generated fixtures: MORVANE_ENGINE_FIXTURES when the build
// made them, otherwise made now in a temporary folder.
export function fixture(name) {
  if (!fixtures) {
    const given = process.env.MORVANE_ENGINE_FIXTURES;
    if (given && existsSync(join(given, 'sample.docx'))) {
      fixtures = given;
    } else {
      fixtures = makeFixtures(mkdtempSync(join(tmpdir(), 'morvane-engine-fixtures-')));
      process.on('exit', () => rmSync(fixtures, { recursive: true, force: true }));
    }
  }
  return readFileSync(join(fixtures, name));
}

// The same package with some parts changed: each change maps a path to new
// text, to a function of the old text, or to null to remove the part.
export async function rezip(bytes, changes) {
  const JSZip = (await import('jszip')).default;
  const zip = await JSZip.loadAsync(bytes);
  for (const [path, change] of Object.entries(changes)) {
    if (change === null) {
      zip.remove(path);
    } else if (typeof change === 'function') {
      zip.file(path, change(await zip.file(path).async('string')));
    } else {
      zip.file(path, change);
    }
  }
  return zip.generateAsync({ type: 'uint8array' });
}

// A whole conversion against its expected Markdown in golden/; with
// MORVANE_REGENERATE_GOLDEN=1 the file is written anew, for review in the diff.
export function expectGolden(name, markdown) {
  const path = new URL(`golden/${name}`, import.meta.url);
  if (process.env.MORVANE_REGENERATE_GOLDEN) {
    writeFileSync(path, markdown);
  }
  assert.equal(markdown, readFileSync(path, 'utf8'));
}

// The names of a result's pictures, each checked to be a PNG.
export function pngAssetNames(result) {
  for (const asset of result.assets) {
    assert.equal(Buffer.from(asset.base64, 'base64').subarray(1, 4).toString(), 'PNG', asset.name);
  }
  return result.assets.map((asset) => asset.name);
}

// A case table: one subtest per row [name, ...values], checked by `check`.
export async function eachCase(t, rows, check) {
  for (const [name, ...values] of rows) {
    await t.test(name, () => check(...values));
  }
}
