import { test } from 'node:test';
import assert from 'node:assert/strict';
import { convert } from '../src/engine.js';
import { call, env, transport } from './support.mjs';

function decode(answer) {
  assert.match(answer, /^[A-Za-z0-9+/]*={0,2}$/);
  return JSON.parse(Buffer.from(answer, 'base64').toString('utf8'));
}

test('the answer is the base64 of a result in JSON', async () => {
  const result = decode(await convert('html', transport('<h2>Menu</h2><p>Crème brûlée</p>'), 'menu.html', env));
  assert.deepEqual(result, { markdown: '## Menu\n\nCrème brûlée\n', title: '', assets: [], warnings: [] });
});

test('faults become results with an error, never a rejection', async (t) => {
  const cases = [
    ['payload not base64', 'html', 'not base64!', 'payload is not valid base64'],
    ['file not base64', 'docx', transport('%%%'), 'the Word document is not valid base64'],
    ['unknown kind', 'pdf', transport('x'), 'unknown kind: pdf'],
  ];
  for (const [name, kind, payload, error] of cases) {
    await t.test(name, async () => {
      const result = decode(await convert(kind, payload, 'x', env));
      assert.deepEqual(result, { markdown: '', title: '', assets: [], warnings: [], error });
    });
  }
});

test('an unexpected fault is told with its kind', async () => {
  const broken = { DOMParser: class { parseFromString() { throw new TypeError('no DOM'); } } };
  const result = decode(await convert('html', transport('<p>x</p>'), 'x', broken));
  assert.equal(result.error, 'html: no DOM');
});

test('titles never hold a line break', async () => {
  const result = await call('html', '<title>\n  Two\n  lines\n</title><p>x</p>');
  assert.equal(result.title, 'Two lines');
});
