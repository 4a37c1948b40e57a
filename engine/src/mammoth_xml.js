// Stands in for mammoth's XML parsing in the page's bundle (build.mjs): the
// page's own parser, native, in place of the script one mammoth brings,
// which took most of a long document's conversion.

import { hasDocumentType } from './office.js';

export const Node = { ELEMENT_NODE: 1, TEXT_NODE: 3 };

export function parseFromString(string) {
  // A document type is there to declare entities, which the page's parser
  // would expand; mammoth's own parser refused them too.
  if (hasDocumentType(string)) {
    throw new Error('error: a document type in a part');
  }
  const document = new DOMParser().parseFromString(string, 'application/xml');
  const error = document.getElementsByTagName('parsererror')[0];
  if (error) {
    throw new Error(`error: ${error.textContent.split('\n').find((line) => line.trim() !== '') || 'not XML'}`);
  }
  return document;
}
