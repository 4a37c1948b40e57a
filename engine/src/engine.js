// The engine's entry: decodes the transport form, converts by kind and
// answers with the base64 of the result's JSON. It never rejects: every fault
// becomes a result with a short `error`.

import { convertDocx } from './docx.js';
import { convertHtml, convertUrl } from './html.js';
import { convertPptx } from './pptx.js';
import { collapseWhiteSpace, tidyMarkdown } from './markdown.js';
import { EngineError } from './office.js';
import { decodeBase64, decodeUtf8, encodeBase64, encodeUtf8 } from './transport.js';

function fileBytes(text, what) {
  const bytes = decodeBase64(text.trim());
  if (!bytes) {
    throw new EngineError(`${what} is not valid base64`);
  }
  return bytes;
}

async function dispatch(kind, text, name, env) {
  switch (kind) {
  case 'docx':
    return convertDocx(fileBytes(text, 'the Word document'), env);
  case 'pptx':
    return convertPptx(fileBytes(text, 'the presentation'), env);
  case 'html':
    return convertHtml(text, env);
  case 'url':
    return convertUrl(text, name, env);
  default:
    throw new EngineError(`unknown kind: ${String(kind).slice(0, 40)}`);
  }
}

export async function convert(kind, payload, name, env) {
  let result;
  try {
    const bytes = decodeBase64(String(payload));
    if (!bytes) {
      throw new EngineError('payload is not valid base64');
    }
    const text = decodeUtf8(bytes);
    const converted = await dispatch(String(kind), text, String(name), env);
    result = {
      markdown: tidyMarkdown(converted.markdown),
      title: collapseWhiteSpace(converted.title),
      assets: converted.assets,
      warnings: converted.warnings,
    };
  } catch (error) {
    const message = error instanceof EngineError ? error.message
      : `${kind}: ${error && error.message ? error.message : String(error)}`;
    result = { markdown: '', title: '', assets: [], warnings: [], error: message };
  }
  return encodeBase64(encodeUtf8(JSON.stringify(result)));
}
