// Base64 and UTF-8 in slices: a 100 MB document arrives as one string, and
// building it through a single call (String.fromCharCode.apply, one atob of
// everything) would overflow the stack or double the peak memory.

const SLICE_CHARS = 1 << 20; // a multiple of 4, so every slice decodes alone
const SLICE_BYTES = 3 * (1 << 15); // a multiple of 3, so every slice encodes alone
const STRICT = /^[A-Za-z0-9+/]*={0,2}$/;

export function decodeBase64(text) {
  if (typeof text !== 'string' || text.length % 4 !== 0 || !STRICT.test(text)) {
    return null;
  }
  const padding = text.endsWith('==') ? 2 : text.endsWith('=') ? 1 : 0;
  const bytes = new Uint8Array((text.length / 4) * 3 - padding);
  let offset = 0;
  for (let start = 0; start < text.length; start += SLICE_CHARS) {
    let binary;
    try {
      binary = atob(text.slice(start, start + SLICE_CHARS));
    } catch {
      return null; // "=" inside the text
    }
    for (let i = 0; i < binary.length; i++) {
      bytes[offset++] = binary.charCodeAt(i);
    }
  }
  return bytes;
}

export function encodeBase64(bytes) {
  const parts = [];
  for (let start = 0; start < bytes.length; start += SLICE_BYTES) {
    const slice = bytes.subarray(start, start + SLICE_BYTES);
    let binary = '';
    for (let i = 0; i < slice.length; i += 4096) {
      binary += String.fromCharCode.apply(null, slice.subarray(i, i + 4096));
    }
    parts.push(btoa(binary));
  }
  return parts.join('');
}

export function decodeUtf8(bytes) {
  return new TextDecoder('utf-8').decode(bytes);
}

export function encodeUtf8(text) {
  return new TextEncoder().encode(text);
}
