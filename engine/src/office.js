// What Word and PowerPoint files share: the title property and the engine's
// own error for a bad document.

import JSZip from 'jszip';
import { collapseWhiteSpace } from './markdown.js';

// A fault of the document, told to the user as it is.
export class EngineError extends Error {}

// The package of a Word or PowerPoint file; `notA` is the error for a file
// that is not a zip at all.
export async function openPackage(bytes, notA) {
  try {
    return await JSZip.loadAsync(bytes);
  } catch {
    throw new EngineError(notA);
  }
}

export function parseXml(env, xml, what) {
  const document = new env.DOMParser().parseFromString(xml, 'application/xml');
  if (!document.documentElement || document.getElementsByTagName('parsererror').length > 0) {
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
