import { test } from 'node:test';
import assert from 'node:assert/strict';
import JSZip from 'jszip';
import { deflateRawSync } from 'node:zlib';
import { EngineError, openPackage, parseXml, TOO_LARGE } from '../src/office.js';
import { oneEntryZip } from './fixtures/raw-zip.mjs';
import { call, eachCase, env } from './support.mjs';

const MB = 1024 * 1024;

async function zipOf(parts) {
  const zip = new JSZip();
  for (const [name, bytes] of Object.entries(parts)) {
    zip.file(name, bytes);
  }
  return zip.generateAsync({ type: 'uint8array', compression: 'DEFLATE' });
}

// A one-part zip whose headers claim `claimed` bytes for a part that
// inflates to `actual`: the sizes are the zip's word, not a fact.
function lyingZip(actual, claimed) {
  return oneEntryZip('word/document.xml', deflateRawSync(Buffer.alloc(actual, 0x20)), { size: claimed });
}

test('packages that unpack past the limit are refused', async (t) => {
  const cases = [
    ['by the sizes they declare', () => zipOf({ 'a.xml': Buffer.alloc(3 * MB), 'b.xml': Buffer.alloc(3 * MB) }),
      TOO_LARGE],
    ['by what they inflate to when they claim less', () => lyingZip(8 * MB, 1000), TOO_LARGE],
    ['a part that inflates to other than its claim is damaged, not read', () => lyingZip(4000, 1000),
      'a part of the document is damaged'],
  ];
  await eachCase(t, cases, async (make, message) => {
    await assert.rejects(openPackage(await make(), 'not a Word document', 5 * MB),
      (error) => error instanceof EngineError && error.message === message);
  });
  await t.test('while a package just under it opens', async () => {
    const zip = await openPackage(await zipOf({ 'a.xml': Buffer.alloc(4 * MB) }), 'no', 5 * MB);
    assert.ok(zip.file('a.xml'));
  });
});
// Real documents pass the real limit: see the golden tests.
test('the real limit stops a bomb with its error', async () => {
  const bomb = lyingZip(600 * MB, 600 * MB);
  const result = await call('docx', bomb);
  assert.equal(result.error, TOO_LARGE);
  assert.equal(result.markdown, '');
  const slides = await call('pptx', bomb, 'bomb.pptx');
  assert.equal(slides.error, TOO_LARGE);
});

// In any case, while a plain part parses.
test('parts that declare a document type are refused before any parser sees them', () => {
  for (const xml of ['<?xml version="1.0"?><!DOCTYPE a [<!ENTITY x "y">]><a>&x;</a>', '<!doctype a><a/>']) {
    assert.throws(() => parseXml(env, xml, 'slide 1'),
      (error) => error instanceof EngineError && error.message === 'slide 1: unreadable XML');
  }
  assert.equal(parseXml(env, '<a><b/></a>', 'slide 1').documentElement.localName, 'a');
});
