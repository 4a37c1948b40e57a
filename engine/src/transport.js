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
