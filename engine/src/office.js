// What Word and PowerPoint files share: the title property and the engine's
// own error for a bad document.

import JSZip from 'jszip';
import { collapseWhiteSpace } from './markdown.js';

// A fault of the document, told to the user as it is.
export class EngineError extends Error {}

// Real documents with large pictures stay far below this; a zip bomb of a few
// kilobytes would otherwise unpack into all of the page's memory.
export const MAX_EXPANDED_BYTES = 512 * 1024 * 1024;

export const TOO_LARGE = 'the document is too large once unpacked (over 512 MB)';

// Inflates one part without keeping it, stopping as soon as it passes its
// allowance: a part may claim a small size and inflate to far more.
function countExpanded(file, allowance) {
  return new Promise((resolve, reject) => {
    let total = 0;
    const stream = file.internalStream('uint8array');
    stream.on('data', (chunk) => {
      total += chunk.length;
      if (total > allowance) {
        stream.pause();
        reject(new EngineError(TOO_LARGE));
      }
    });
    stream.on('error', () => reject(new EngineError('a part of the document is damaged')));
    stream.on('end', () => resolve(total));
    stream.resume();
  });
}

// The package of a Word or PowerPoint file; `notA` is the error for a file
// that is not a zip at all. Refused before any part is read when its parts
// together would unpack past the limit.
export async function openPackage(bytes, notA, limit = MAX_EXPANDED_BYTES) {
  let zip;
  try {
    zip = await JSZip.loadAsync(bytes);
  } catch {
    throw new EngineError(notA);
  }
  const files = Object.values(zip.files).filter((file) => !file.dir);
  let declared = 0;
  for (const file of files) {
    declared += file._data && file._data.uncompressedSize > 0 ? file._data.uncompressedSize : 0;
  }
  if (declared > limit) {
    throw new EngineError(TOO_LARGE);
  }
  let expanded = 0;
  for (const file of files) {
    // A stored part is its own bytes and cannot unpack to more; inflating the
    // pictures only to count them took a tenth of a second in a large report.
    const stored = file._data && file._data.compression && file._data.compression.magic === '\x00\x00';
    expanded += stored ? file._data.compressedSize : await countExpanded(file, limit - expanded);
    if (expanded > limit) {
      throw new EngineError(TOO_LARGE);
    }
  }
  return zip;
}

// Office parts never carry a document type; one that does is there to declare
// entities, and the browser's parser would expand them without end.
export function hasDocumentType(xml) {
  return /<!DOCTYPE/i.test(xml);
}

// The part's document, or null where it has a document type or does not parse.
export function readXml(env, xml) {
  if (hasDocumentType(xml)) {
    return null;
  }
  const document = new env.DOMParser().parseFromString(xml, 'application/xml');
  if (!document.documentElement || document.getElementsByTagName('parsererror').length > 0) {
    return null;
  }
  return document;
}

export function parseXml(env, xml, what) {
  const document = readXml(env, xml);
  if (!document) {
    throw new EngineError(`${what}: unreadable XML`);
  }
  return document;
}

// dc:title of docProps/core.xml, white space collapsed; empty when absent.
export async function documentTitle(zip, env) {
  const file = zip.file('docProps/core.xml');
  if (!file) {
    return '';
  }
  try {
    const document = parseXml(env, await file.async('string'), 'docProps/core.xml');
    const element = Array.from(document.getElementsByTagName('*'))
      .find((node) => node.localName === 'title');
    return element ? collapseWhiteSpace(element.textContent) : '';
  } catch {
    return ''; // a broken property part leaves the title to the body
  }
}
