import { test } from 'node:test';
import assert from 'node:assert/strict';
import JSZip from 'jszip';
import { deflateRawSync } from 'node:zlib';
import { EngineError, openPackage, TOO_LARGE } from '../src/office.js';
import { callFile, fixture } from './support.mjs';

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
  const name = Buffer.from('word/document.xml');
  const data = deflateRawSync(Buffer.alloc(actual, 0x20));
  const local = Buffer.alloc(30);
  local.writeUInt32LE(0x04034b50, 0);
  local.writeUInt16LE(20, 4);
  local.writeUInt16LE(8, 8);
  local.writeUInt32LE(data.length, 18);
  local.writeUInt32LE(claimed, 22);
  local.writeUInt16LE(name.length, 26);
  const central = Buffer.alloc(46);
  central.writeUInt32LE(0x02014b50, 0);
  central.writeUInt16LE(20, 4);
  central.writeUInt16LE(20, 6);
  central.writeUInt16LE(8, 10);
  central.writeUInt32LE(data.length, 20);
  central.writeUInt32LE(claimed, 24);
  central.writeUInt16LE(name.length, 28);
  const centralStart = local.length + name.length + data.length;
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(1, 8);
  end.writeUInt16LE(1, 10);
  end.writeUInt32LE(central.length + name.length, 12);
  end.writeUInt32LE(centralStart, 16);
  return Buffer.concat([local, name, data, central, name, end]);
}

test('packages that unpack past the limit are refused', async (t) => {
  await t.test('by the sizes they declare', async () => {
    const bomb = await zipOf({ 'a.xml': Buffer.alloc(3 * MB), 'b.xml': Buffer.alloc(3 * MB) });
    assert.ok(bomb.length < 100 * 1024);
    await assert.rejects(openPackage(bomb, 'not a Word document', 5 * MB),
      (error) => error instanceof EngineError && error.message === TOO_LARGE);
  });
  await t.test('by what they inflate to when they claim less', async () => {
    await assert.rejects(openPackage(lyingZip(8 * MB, 1000), 'not a Word document', 5 * MB),
      (error) => error instanceof EngineError && error.message === TOO_LARGE);
  });
  await t.test('a part that inflates to other than its claim is damaged, not read', async () => {
    await assert.rejects(openPackage(lyingZip(4000, 1000), 'not a Word document', 5 * MB),
      (error) => error instanceof EngineError && /damaged/.test(error.message));
  });
  await t.test('while a package just under it opens', async () => {
    const zip = await openPackage(await zipOf({ 'a.xml': Buffer.alloc(4 * MB) }), 'no', 5 * MB);
    assert.ok(zip.file('a.xml'));
  });
});

test('the real limit lets real documents through and stops a bomb with its error', async () => {
  const normal = await callFile('docx', fixture('sample.docx'));
  assert.equal(normal.error, undefined);
  const bomb = lyingZip(600 * MB, 600 * MB);
  const result = await callFile('docx', bomb);
  assert.equal(result.error, TOO_LARGE);
  assert.equal(result.markdown, '');
  const slides = await callFile('pptx', bomb, 'bomb.pptx');
  assert.equal(slides.error, TOO_LARGE);
});

test('parts that declare a document type are refused before any parser sees them', async (t) => {
  const { parseXml } = await import('../src/office.js');
  const { env } = await import('./support.mjs');
  await t.test('an entity declaration', () => {
    assert.throws(() => parseXml(env, '<?xml version="1.0"?><!DOCTYPE a [<!ENTITY x "y">]><a>&x;</a>', 'slide 1'),
      (error) => error instanceof EngineError && error.message === 'slide 1: unreadable XML');
  });
  await t.test('in any case', () => {
    assert.throws(() => parseXml(env, '<!doctype a><a/>', 'slide 1'), EngineError);
  });
  await t.test('while a plain part parses', () => {
    assert.equal(parseXml(env, '<a><b/></a>', 'slide 1').documentElement.localName, 'a');
  });
});
