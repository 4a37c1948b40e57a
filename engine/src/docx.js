// Word documents: equations rewritten to LaTeX, then mammoth to HTML, then
// Markdown with footnotes, tables and images as assets.

import mammoth from 'mammoth';
import { Assets, extensionForType } from './assets.js';
import { ommlToLatex } from './omml.js';
import { collapseWhiteSpace, createTurndown, toMarkdown, MARK_OPEN, MARK_CLOSE } from './markdown.js';
import { documentTitle, EngineError, hasDocumentType, openPackage } from './office.js';

const MATH_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/math';
const WORD_NS = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main';
const MATH_PARTS = ['word/document.xml', 'word/footnotes.xml', 'word/endnotes.xml'];

const STYLE_MAP = [
  "p[style-name='Title'] => h1.morvane-title:fresh",
  "p[style-name='Subtitle'] => p:fresh",
  "r[style-name='Emphasis'] => em",
  "r[style-name='Strong Emphasis'] => strong",
  "r[style-name='Footnote Characters'] =>",
  "r[style-name='Endnote Characters'] =>",
  "r[style-name='Footnote Symbol'] =>",
  "r[style-name='Endnote Symbol'] =>",
  "r[style-name='Internet Link'] =>",
];

function replaceWithMark(document, element, mark) {
  const run = document.createElementNS(WORD_NS, 'w:r');
  const textNode = run.appendChild(document.createElementNS(WORD_NS, 'w:t'));
  textNode.textContent = MARK_OPEN + mark + MARK_CLOSE;
  element.parentNode.replaceChild(run, element);
}

// Replaces each equation by a marked text run and returns the LaTeX by mark.
async function rewriteEquations(zip, env, warnings) {
  const equations = new Map();
  let changed = false;
  for (const path of MATH_PARTS) {
    const file = zip.file(path);
    if (!file) {
      continue;
    }
    const xml = await file.async('string');
    if (!xml.includes(MATH_NS) || hasDocumentType(xml)) {
      continue; // a part with a document type is left to mammoth, which refuses it
    }
    const document = new env.DOMParser().parseFromString(xml, 'application/xml');
    if (document.getElementsByTagName('parsererror').length > 0) {
      continue; // mammoth reports the broken part itself
    }
    const replace = (element, display) => {
      const mark = `${display ? 'D' : 'I'}${equations.size}`;
      try {
        equations.set(mark, { latex: ommlToLatex(element), display });
      } catch (error) {
        warnings.push(`equation ${equations.size + 1}: ${error.message}`);
        equations.set(mark, { latex: '', display });
      }
      replaceWithMark(document, element, mark);
    };
    for (const element of Array.from(document.getElementsByTagNameNS(MATH_NS, 'oMathPara'))) {
      replace(element, true);
    }
    for (const element of Array.from(document.getElementsByTagNameNS(MATH_NS, 'oMath'))) {
      replace(element, false);
    }
    zip.file(path, new env.XMLSerializer().serializeToString(document));
    changed = true;
  }
  return changed ? equations : null;
}

// Footnote and endnote references become [^N], numbered in reading order,
// and the notes themselves Markdown footnote definitions.
function takeNotes(body, service) {
  const labels = new Map();
  for (const anchor of Array.from(body.querySelectorAll('a[href^="#footnote-"], a[href^="#endnote-"]'))) {
    const target = anchor.getAttribute('href').slice(1);
    if (/-ref-/.test(target)) {
      continue;
    }
    if (!labels.has(target)) {
      labels.set(target, labels.size + 1);
    }
    const mark = body.ownerDocument.createTextNode(`${MARK_OPEN}N${labels.get(target)}${MARK_CLOSE}`);
    const holder = anchor.parentNode && anchor.parentNode.nodeName === 'SUP'
      && anchor.parentNode.childNodes.length === 1 ? anchor.parentNode : anchor;
    holder.replaceWith(mark);
  }
  const definitions = [];
  for (const [target, label] of labels) {
    const item = body.querySelector(`li[id="${target}"]`);
    if (!item) {
      continue;
    }
    for (const back of Array.from(item.querySelectorAll('a[href^="#footnote-ref-"], a[href^="#endnote-ref-"]'))) {
      back.remove();
    }
    const text = toMarkdown(item, service).trim();
    const indented = text.split('\n').map((line, i) => (i === 0 || line === '' ? line : `    ${line}`)).join('\n');
    definitions.push(`[^${label}]: ${indented}`);
  }
  // mammoth lists the notes at the end; what is left of those lists goes
  for (const target of labels.keys()) {
    for (const item of Array.from(body.querySelectorAll(`li[id="${target}"]`))) {
      item.remove();
    }
  }
  for (const list of Array.from(body.children)) {
    if ((list.nodeName === 'OL' || list.nodeName === 'DL') && list.children.length === 0) {
      list.remove();
    }
  }
  return definitions;
}

function fillMarks(markdown, equations, definitions) {
  const filled = markdown.replace(new RegExp(`${MARK_OPEN}([DIN])(\\d+)${MARK_CLOSE}`, 'g'),
    (whole, type, number) => {
      if (type === 'N') {
        return `[^${number}]`;
      }
      const equation = equations && equations.get(type + number);
      if (!equation || equation.latex === '') {
        return '';
      }
      return equation.display ? `$$${equation.latex}$$` : `$${equation.latex}$`;
    });
  return definitions.length > 0 ? `${filled.replace(/\n*$/, '')}\n\n${definitions.join('\n\n')}\n` : filled;
}

export async function convertDocx(bytes, env) {
  const zip = await openPackage(bytes, 'not a Word document');
  if (!zip.file('word/document.xml') && !zip.file('[Content_Types].xml')) {
    throw new EngineError('not a Word document');
  }
  const warnings = [];
  const equations = await rewriteEquations(zip, env, warnings);
  const input = equations
    ? await zip.generateAsync({ type: 'uint8array', compression: 'STORE' }) : bytes;

  const assets = new Assets();
  let converted;
  try {
    const buffer = input.byteOffset === 0 && input.buffer.byteLength === input.length
      ? input.buffer : input.slice().buffer;
    // the browser build of mammoth reads `arrayBuffer`, the node one `buffer`
    converted = await mammoth.convertToHtml({ arrayBuffer: buffer, buffer }, {
      styleMap: STYLE_MAP,
      convertImage: mammoth.images.imgElement(async (image) => {
        const base64 = await image.readAsBase64String();
        return { src: assets.add(extensionForType(image.contentType), base64) };
      }),
    });
  } catch (error) {
    const message = String(error && error.message || error);
    if (/main document part|body element|Could not find file in options|Can't find end of central directory/i.test(message)) {
      throw new EngineError('not a Word document');
    }
    throw new EngineError(`unreadable Word document: ${message.split('\n')[0].slice(0, 160)}`);
  }
  for (const message of converted.messages) {
    warnings.push(message.message);
  }

  const document = new env.DOMParser().parseFromString(
    `<!DOCTYPE html><html><head></head><body>${converted.value}</body></html>`, 'text/html');
  const body = document.body;
  // The title: the title property, else the paragraph styled Title, else
  // the first level-one heading. Such a paragraph or heading at the top
  // leaves the body, which the saver heads with the title.
  let title = await documentTitle(zip, env);
  const first = body.firstElementChild;
  if (first && first.nodeName === 'H1' && first.classList.contains('morvane-title')) {
    const text = collapseWhiteSpace(first.textContent);
    if (title === '' || text === title) {
      title = title || text;
      first.remove();
    }
  }
  if (title === '') {
    const heading = Array.from(body.querySelectorAll('h1')).find((h1) => collapseWhiteSpace(h1.textContent) !== '');
    if (heading) {
      title = collapseWhiteSpace(heading.textContent);
      if (heading === body.firstElementChild) {
        heading.remove();
      }
    }
  }
  for (const leftover of Array.from(body.querySelectorAll('h1.morvane-title'))) {
    leftover.removeAttribute('class');
  }
  const service = createTurndown();
  const definitions = takeNotes(body, service);
  const markdown = fillMarks(toMarkdown(body, service), equations, definitions);
  return { markdown, title, assets: assets.list, warnings };
}
