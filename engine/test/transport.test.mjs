import { test } from 'node:test';
import assert from 'node:assert/strict';
import { encodeAnswer } from '../src/transport.js';
import { decodeAnswer } from './support.mjs';

test('pictures leave as bytes after the JSON, pictures given as text stay in it', () => {
  const parts = encodeAnswer({
    markdown: 'é', title: '', warnings: [],
    assets: [{ name: 'a.png', bytes: new Uint8Array([137, 80, 78, 71]) }, { name: 'b.gif', base64: 'R0lG' }],
  });
  // the frame, the JSON, one picture's bytes
  assert.equal(parts.length, 3);
  assert.deepEqual(decodeAnswer(parts), {
    markdown: 'é', title: '', warnings: [], assets: [{ name: 'a.png', base64: 'iVBORw==' }, { name: 'b.gif', base64: 'R0lG' }],
  });
});
