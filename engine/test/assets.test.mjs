import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Assets, extensionForPath, extensionForType } from '../src/assets.js';

test('image types and paths give the right extension', async (t) => {
  const types = [['image/png', 'png'], ['image/jpeg', 'jpg'], ['IMAGE/GIF', 'gif'],
    ['image/svg+xml', 'svg'], ['image/x-emf', 'emf'], ['image/png; charset=x', 'png'],
    ['image/heic', 'heic'], ['application/octet-stream', 'bin'], [undefined, 'bin']];
  for (const [type, extension] of types) {
    await t.test(`type ${type}`, () => assert.equal(extensionForType(type), extension));
  }
  const paths = [['ppt/media/image3.JPEG', 'jpg'], ['../media/a.png', 'png'], ['media/noext', 'bin']];
  for (const [path, extension] of paths) {
    await t.test(`path ${path}`, () => assert.equal(extensionForPath(path), extension));
  }
});

test('asset names are plain, numbered and unique; a key reuses its asset', () => {
  const assets = new Assets();
  assert.equal(assets.add('png', 'AAAA'), 'image1.png');
  assert.equal(assets.add('jpg', 'BBBB', 'media/b.jpg'), 'image2.jpg');
  assert.equal(assets.add('jpg', 'BBBB', 'media/b.jpg'), 'image2.jpg');
  assert.equal(assets.add('png', 'AAAA'), 'image3.png');
  assert.deepEqual(assets.list.map((asset) => asset.name), ['image1.png', 'image2.jpg', 'image3.png']);
});
