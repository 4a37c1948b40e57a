// The engine's answer as the host reads it: a short frame, the result's JSON
// and then each picture's bytes, so that no picture is turned into text on
// its way out. The answer stays a list of parts; the host takes them in
// turn, so they are never copied into one buffer here. Numbers in the frame
// are 32-bit little-endian:
//
//   JSON length, asset count, each asset's byte length (-1 when the JSON
//   holds the asset's base64 itself), the JSON, the assets' bytes in order
//
// An asset whose bytes follow has an empty "base64" in the JSON.

export function encodeAnswer(result) {
  const lengths = [];
  const bodies = [];
  const assets = result.assets.map(({ name, base64, bytes }) => {
    if (bytes) {
      lengths.push(bytes.length);
      bodies.push(bytes);
      return { name, base64: '' };
    }
    lengths.push(-1);
    return { name, base64 };
  });
  const json = new TextEncoder().encode(JSON.stringify({ ...result, assets }));
  const frame = new DataView(new ArrayBuffer(8 + 4 * lengths.length));
  frame.setUint32(0, json.length, true);
  frame.setUint32(4, lengths.length, true);
  lengths.forEach((length, i) => frame.setInt32(8 + 4 * i, length, true));
  return [new Uint8Array(frame.buffer), json, ...bodies];
}

// The entry function's contract in text: the payload comes as the base64 of
// its UTF-8 (for Word and PowerPoint, that text is the file's own base64),
// and the answer goes back as the base64 of the result's JSON. Base64 is
// made in slices: one atob or fromCharCode over a 100 MB document would
// overflow the stack or double the peak memory.

const SLICE_CHARS = 1 << 20; // a multiple of 4, so every slice decodes alone
const SLICE_BYTES = 3 * (1 << 15); // a multiple of 3, so every slice encodes alone
const STRICT = /^[A-Za-z0-9+/]*={0,2}$/;

function decodeBase64(text) {
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

function encodeBase64(bytes) {
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

// The payload's bytes, or null when either base64 layer is broken.
export function fromTransport(kind, text) {
  const utf8 = decodeBase64(text);
  if (!utf8 || (kind !== 'docx' && kind !== 'pptx')) {
    return utf8;
  }
  return decodeBase64(new TextDecoder('utf-8').decode(utf8));
}

export function answerAsText(result) {
  const assets = result.assets.map(({ name, base64, bytes }) =>
    ({ name, base64: bytes ? encodeBase64(bytes) : base64 }));
  return encodeBase64(new TextEncoder().encode(JSON.stringify({ ...result, assets })));
}
