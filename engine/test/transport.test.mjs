import { test } from 'node:test';
import assert from 'node:assert/strict';
import { decodeBase64, decodeUtf8, encodeBase64, encodeUtf8 } from '../src/transport.js';

test('base64 decoding is strict', async (t) => {
  const cases = [
    ['padded', 'aGVsbG8=', 'hello'],
    ['empty', '', ''],
    ['two pads', 'aGk=', 'hi'],
    ['no padding where needed', 'aGVsbG8', null],
    ['three characters', 'abc', null],
    ['line break', 'aGVs\nbG8=', null],
    ['space', 'aGVs bG8=', null],
    ['padding inside', 'aG==bG8=', null],
    ['url alphabet', 'aGVsbG8_', null],
  ];
  for (const [name, text, expected] of cases) {
    await t.test(name, () => {
      const bytes = decodeBase64(text);
      assert.equal(bytes === null ? null : Buffer.from(bytes).toString('latin1'), expected);
    });
  }
});

test('base64 round trips across slice boundaries', () => {
  for (const length of [0, 1, 2, 3, 98303, 98304, 98305, 786431, 786432, 786433]) {
    const bytes = new Uint8Array(length);
    for (let i = 0; i < length; i++) {
      bytes[i] = (i * 7919) & 0xff;
    }
    const text = encodeBase64(bytes);
    assert.equal(text, Buffer.from(bytes).toString('base64'), `encoding ${length} bytes`);
    assert.deepEqual(decodeBase64(text), bytes, `decoding ${length} bytes`);
  }
});

test('a large payload decodes without overflowing the stack', () => {
  const bytes = Buffer.alloc(24 * 1024 * 1024, 'Morvane ');
  const decoded = decodeBase64(bytes.toString('base64'));
  assert.equal(decoded.length, bytes.length);
  assert.equal(Buffer.from(decoded.subarray(-8)).toString(), 'Morvane ');
  assert.equal(encodeBase64(decoded).length, Math.ceil(bytes.length / 3) * 4);
});

test('UTF-8 round trips text outside ASCII', () => {
  const text = 'é ß 漢字 🚢';
  assert.deepEqual(Array.from(encodeUtf8('é')), [0xc3, 0xa9]);
  assert.equal(decodeUtf8(encodeUtf8(text)), text);
});
