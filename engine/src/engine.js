// The engine's entry: converts the payload's bytes (the file's for Word and
// PowerPoint, the UTF-8 text's for pages) by kind and answers with the parts
// of transport.js. It never rejects: every fault becomes a result with a
// short `error`.

import { convertDocx } from './docx.js';
import { convertHtml, convertUrl } from './html.js';
import { convertPptx } from './pptx.js';
import { collapseWhiteSpace, tidyMarkdown } from './markdown.js';
import { EngineError } from './office.js';
import { encodeAnswer } from './transport.js';

const text = (bytes) => new TextDecoder('utf-8').decode(bytes);

async function dispatch(kind, bytes, name, env) {
  switch (kind) {
  case 'docx':
    return convertDocx(bytes, env);
  case 'pptx':
    return convertPptx(bytes, env);
  case 'html':
    return convertHtml(text(bytes), env);
  case 'url':
    return convertUrl(text(bytes), name, env);
  default:
    throw new EngineError(`unknown kind: ${String(kind).slice(0, 40)}`);
  }
}

// The result object itself, its pictures as bytes or base64.
export async function convertToResult(kind, payload, name, env) {
  try {
    if (!(payload instanceof Uint8Array)) {
      throw new EngineError('payload is not bytes');
    }
    const converted = await dispatch(String(kind), payload, String(name), env);
    return {
      markdown: tidyMarkdown(converted.markdown),
      title: collapseWhiteSpace(converted.title),
      assets: converted.assets,
      warnings: converted.warnings,
    };
  } catch (error) {
    const message = error instanceof EngineError ? error.message
      : `${kind}: ${error && error.message ? error.message : String(error)}`;
    return { markdown: '', title: '', assets: [], warnings: [], error: message };
  }
}

export async function convert(kind, payload, name, env) {
  return encodeAnswer(await convertToResult(kind, payload, name, env));
}
