// The page's entry points, called by the host.
import { convert, convertToResult } from './engine.js';
import { answerAsText, fromTransport } from './transport.js';

const env = { DOMParser: window.DOMParser, XMLSerializer: window.XMLSerializer };

// The call contract: three strings, the payload in its transport form, and
// the base64 text of the result's JSON back.
window.ombrixConvert = async (kind, payload, name) => {
  const bytes = fromTransport(String(kind), payload);
  const result = bytes ? await convertToResult(kind, bytes, name, env)
    : { markdown: '', title: '', assets: [], warnings: [], error: 'payload is not valid base64' };
  return answerAsText(result);
};

// The host's own way, when it can: bytes in, and the answer's parts out, so
// that no document or picture is turned into text on the way.
window.ombrixConvertBytes = (kind, payload, name) => convert(kind, payload, name, env);
