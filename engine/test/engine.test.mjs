import { test } from 'node:test';
import assert from 'node:assert/strict';
import { convert, convertToResult } from '../src/engine.js';
import { answerAsText, fromTransport } from '../src/transport.js';
import { call, decodeAnswer as decode, eachCase, env, fixture } from './support.mjs';

const bytes = (text) => new TextEncoder().encode(text);

test('the answer is the result, read from the UTF-8 of a page', async () => {
  const result = decode(await convert('html', bytes('<h2>Menu</h2><p>Crème brûlée</p>'), 'menu.html', env));
  assert.deepEqual(result, { markdown: '## Menu\n\nCrème brûlée\n', title: '', assets: [], warnings: [] });
});

test('the text contract: the payload under two base64 layers in, the base64 of the whole JSON out', async () => {
  const base64 = (data) => Buffer.from(data).toString('base64');
  const docx = fixture('sample.docx');
  const bytes = fromTransport('docx', base64(base64(docx)));
  assert.deepEqual(Buffer.from(bytes), docx);
  assert.equal(fromTransport('docx', base64('not base64!')), null);
  assert.equal(fromTransport('html', 'w6k'), null);
  const answer = JSON.parse(Buffer.from(answerAsText(await convertToResult('docx', bytes, 'a.docx', env)), 'base64'));
  assert.deepEqual(answer, await call('docx', docx, 'a.docx'));
});

test('faults become results with an error, never a rejection; unexpected ones tell their kind', async (t) => {
  const broken = { DOMParser: class { parseFromString() { throw new TypeError('no DOM'); } } };
  const cases = [
    ['payload not bytes', 'html', 'text', 'payload is not bytes'],
    ['unknown kind', 'pdf', bytes('x'), 'unknown kind: pdf'],
    ['a fault of the DOM', 'html', bytes('<p>x</p>'), 'html: no DOM', broken],
  ];
  await eachCase(t, cases, async (kind, payload, error, dom = env) => {
    const result = decode(await convert(kind, payload, 'x', dom));
    assert.deepEqual(result, { markdown: '', title: '', assets: [], warnings: [], error });
  });
});
