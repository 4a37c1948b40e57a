// Stands in for mammoth's own opening of the package in the page's bundle
// (build.mjs): mammoth reads the package the engine has already opened and
// changed, instead of a new zip written from it and opened again, which
// cost a tenth of a second and a copy of every picture.

// The package as mammoth reads it, from an open JSZip.
export function packageFile(zip) {
  return {
    exists: (name) => zip.file(name) !== null,
    read: async (name, encoding) => {
      if (encoding === 'base64') {
        return zip.file(name).async('base64');
      }
      const bytes = await zip.file(name).async('uint8array');
      return encoding ? new TextDecoder(encoding).decode(bytes) : bytes;
    },
    write: (name, contents) => zip.file(name, contents),
    toArrayBuffer: () => zip.generateAsync({ type: 'arraybuffer' }),
  };
}

export function openZip(options) {
  return options.file ? Promise.resolve(options.file) : Promise.reject(new Error('Could not find file in options'));
}
