// Images handed back as assets, each under a plain unique name such as
// image1.png that the Markdown refers to.

const EXTENSIONS = {
  'image/png': 'png',
  'image/jpeg': 'jpg',
  'image/jpg': 'jpg',
  'image/gif': 'gif',
  'image/bmp': 'bmp',
  'image/x-bmp': 'bmp',
  'image/tiff': 'tiff',
  'image/webp': 'webp',
  'image/svg+xml': 'svg',
  'image/x-emf': 'emf',
  'image/emf': 'emf',
  'image/x-wmf': 'wmf',
  'image/wmf': 'wmf',
  'image/x-icon': 'ico',
  'image/vnd.microsoft.icon': 'ico',
  'image/avif': 'avif',
};

export function extensionForType(contentType) {
  const type = (contentType || '').split(';')[0].trim().toLowerCase();
  return EXTENSIONS[type] || (/^image\/([a-z0-9]+)$/.exec(type) || [null, 'bin'])[1];
}

export function extensionForPath(path) {
  const match = /\.([A-Za-z0-9]{1,8})$/.exec(path || '');
  const extension = match ? match[1].toLowerCase() : 'bin';
  return extension === 'jpeg' ? 'jpg' : extension;
}

export class Assets {
  constructor() {
    this.list = [];
    this.byKey = new Map();
  }

  // Adds one file, given as bytes or as base64 text, and returns its name;
  // the same key gives the same asset.
  add(extension, data, key = null) {
    if (key !== null && this.byKey.has(key)) {
      return this.byKey.get(key);
    }
    const name = `image${this.list.length + 1}.${extension}`;
    this.list.push(typeof data === 'string' ? { name, base64: data } : { name, bytes: data });
    if (key !== null) {
      this.byKey.set(key, name);
    }
    return name;
  }
}
