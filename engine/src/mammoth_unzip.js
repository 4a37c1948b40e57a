// Stands in for mammoth's own opening of the package in the page's bundle
// (build.mjs): mammoth reads the package the engine has already opened and
// changed, instead of a new zip written from it and opened again, which
// cost a tenth of a second and a copy of every picture.

// The package as mammoth reads it, from an open JSZip, and as the engine
// reads and changes its XML parts first: a part is unpacked and decoded
// once, and a changed part reaches mammoth as the text it is, not turned
// back into bytes.
export function packageFile(zip) {
  const texts = new Map();
  const text = async (name) => {
    if (!texts.has(name)) {
      texts.set(name, new TextDecoder('utf-8').decode(await zip.file(name).async('uint8array')));
    }
    return texts.get(name);
  };
  return {
    exists: (name) => zip.file(name) !== null,
    text,
    setText: (name, xml) => {
      texts.set(name, xml);
      zip.file(name, xml);
    },
    read: async (name, encoding) => {
      if (encoding === 'base64') {
        return zip.file(name).async('base64');
      }
      if (texts.has(name) && /^utf-?8$/i.test(encoding || '')) {
        return texts.get(name);
      }
      const bytes = await zip.file(name).async('uint8array');
      return encoding ? new TextDecoder(encoding).decode(bytes) : bytes;
    },
    write: (name, contents) => {
      texts.delete(name);
      zip.file(name, contents);
    },
    toArrayBuffer: () => zip.generateAsync({ type: 'arraybuffer' }),
  };
}

export function openZip(options) {
  return options.file ? Promise.resolve(options.file) : Promise.reject(new Error('Could not find file in options'));
}
