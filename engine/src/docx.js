// Word documents: equations rewritten to LaTeX, then mammoth to HTML, then
// Markdown with footnotes, tables and images as assets.

import mammoth from 'mammoth';
import { Assets, extensionForType } from './assets.js';
import { ommlToLatex } from './omml.js';
import { collapseWhiteSpace, createTurndown, toMarkdown, MARK_OPEN, MARK_CLOSE } from './markdown.js';
import { packageFile } from './mammoth_unzip.js';
import { documentTitle, EngineError, openPackage, readXml } from './office.js';
import { descendants, elements, first } from './xml.js';

const MATH_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/math';
const WORD_NS = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main';
const MATH_PARTS = ['word/document.xml', 'word/footnotes.xml', 'word/endnotes.xml'];
// Around the number Word shows for a numbered paragraph, carried through
// mammoth, which numbers every list from one.
const NUMBER_OPEN = '\uE003';
const NUMBER_CLOSE = '\uE004';

// The styles word processors give code (the style map matches names in any
// case). Consecutive code paragraphs make one block, a line each.
const CODE_PARAGRAPH_STYLES = ['Preformatted Text', 'HTML Preformatted', 'Source Code', 'Code', 'Macro Text',
  'Plain Text'];
const CODE_RUN_STYLES = ['Source Text', 'HTML Code', 'Code Char', 'Verbatim Char'];

const STYLE_MAP = [
  "p[style-name='Title'] => h1.morvane-title:fresh",
  ...CODE_PARAGRAPH_STYLES.map((name) => `p[style-name='${name}'] => pre:separator('\\n')`),
  ...CODE_RUN_STYLES.map((name) => `r[style-name='${name}'] => code`),
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
async function rewriteEquations(parts, env, warnings) {
  const equations = new Map();
  let changed = false;
  for (const path of MATH_PARTS) {
    if (!parts.exists(path)) {
      continue;
    }
    const xml = await parts.text(path);
    // A part with a document type, or broken, is left to mammoth, which
    // reports it itself.
    const document = xml.includes(MATH_NS) ? readXml(env, xml) : null;
    if (!document) {
      continue;
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
    parts.setText(path, new env.XMLSerializer().serializeToString(document));
    changed = true;
  }
  return changed ? equations : null;
}

function wordValue(node, name) {
  const child = first(node, name);
  return child ? child.getAttributeNS(WORD_NS, 'val') || child.getAttribute('w:val') : null;
}

// For each list of numbering.xml: its abstract list, and the levels it
// restarts; for each abstract list, each level's start and whether it counts.
function readNumbering(document) {
  const abstracts = new Map();
  for (const abstract of Array.from(document.getElementsByTagNameNS(WORD_NS, 'abstractNum'))) {
    const levels = new Map();
    for (const level of elements(abstract, 'lvl')) {
      levels.set(level.getAttributeNS(WORD_NS, 'ilvl') || '0', {
        start: parseInt(wordValue(level, 'start') || '1', 10),
        counts: !['bullet', 'none'].includes(wordValue(level, 'numFmt') || 'decimal'),
      });
    }
    abstracts.set(abstract.getAttributeNS(WORD_NS, 'abstractNumId'), levels);
  }
  const lists = new Map();
  for (const num of Array.from(document.getElementsByTagNameNS(WORD_NS, 'num'))) {
    const restarts = new Map();
    for (const override of elements(num, 'lvlOverride')) {
      const start = wordValue(override, 'startOverride');
      if (start !== null) {
        restarts.set(override.getAttributeNS(WORD_NS, 'ilvl') || '0', parseInt(start, 10));
      }
    }
    lists.set(num.getAttributeNS(WORD_NS, 'numId'), { abstract: wordValue(num, 'abstractNumId'), restarts });
  }
  return { abstracts, lists };
}

// Marks every numbered paragraph of the body with the number Word shows:
// counted per list and level across the paragraphs between its items, a
// level restarting under each new item above it and where a list says so.
async function markListNumbers(parts, env) {
  if (!parts.exists('word/numbering.xml') || !parts.exists('word/document.xml')) {
    return false;
  }
  const numberingDocument = readXml(env, await parts.text('word/numbering.xml'));
  const document = readXml(env, await parts.text('word/document.xml'));
  if (!numberingDocument || !document) {
    return false;
  }
  const { abstracts, lists } = readNumbering(numberingDocument);
  const counters = new Map(); // abstract list -> number by level
  const restarted = new Set(); // lists whose restarts have been applied
  let marked = false;
  for (const paragraph of Array.from(document.getElementsByTagNameNS(WORD_NS, 'p'))) {
    const properties = first(paragraph, 'pPr');
    const numbering = first(properties, 'numPr');
    const numId = numbering && wordValue(numbering, 'numId');
    const list = numId && lists.get(numId);
    const levels = list && abstracts.get(list.abstract);
    const level = (numbering && wordValue(numbering, 'ilvl')) || '0';
    const definition = levels && levels.get(level);
    if (!definition) {
      continue;
    }
    if (!counters.has(list.abstract)) {
      counters.set(list.abstract, new Map());
    }
    const numbers = counters.get(list.abstract);
    if (!restarted.has(numId)) {
      restarted.add(numId);
      for (const [restartLevel, start] of list.restarts) {
        numbers.set(restartLevel, (Number.isFinite(start) ? start : 1) - 1);
      }
    }
    const number = numbers.has(level) ? numbers.get(level) + 1
      : (Number.isFinite(definition.start) ? definition.start : 1);
    numbers.set(level, number);
    for (const other of Array.from(numbers.keys())) {
      if (Number(other) > Number(level)) {
        numbers.delete(other);
      }
    }
    if (!definition.counts) {
      continue;
    }
    const run = document.createElementNS(WORD_NS, 'w:r');
    run.appendChild(document.createElementNS(WORD_NS, 'w:t')).textContent = `${NUMBER_OPEN}${number}${NUMBER_CLOSE}`;
    properties.after(run);
    marked = true;
  }
  if (marked) {
    parts.setText('word/document.xml', new env.XMLSerializer().serializeToString(document));
  }
  return marked;
}

// List items take the number their paragraph showed; the marks go.
function applyListNumbers(body) {
  const mark = new RegExp(`${NUMBER_OPEN}(\\d+)${NUMBER_CLOSE}`, 'g');
  const walker = body.ownerDocument.createTreeWalker(body, 4 /* text */);
  const texts = [];
  for (let text = walker.nextNode(); text; text = walker.nextNode()) {
    if (text.data.includes(NUMBER_OPEN)) {
      texts.push(text);
    }
  }
  for (const text of texts) {
    const match = /\uE003(\d+)\uE004/.exec(text.data);
    const item = text.parentNode && text.parentNode.closest && text.parentNode.closest('li');
    if (match && item && item.parentNode && item.parentNode.nodeName === 'OL' && !item.hasAttribute('value')) {
      item.setAttribute('value', match[1]);
    }
    text.data = text.data.replace(mark, '');
  }
}

// mammoth leaves out empty paragraphs, which in code are blank lines: each
// gets a space, which the tidy Markdown trims.
async function keepBlankCodeLines(parts, env) {
  if (!parts.exists('word/styles.xml') || !parts.exists('word/document.xml')) {
    return;
  }
  const styles = readXml(env, await parts.text('word/styles.xml'));
  const names = new Set(CODE_PARAGRAPH_STYLES.map((name) => name.toLowerCase()));
  const codeStyles = new Set(styles ? Array.from(styles.getElementsByTagNameNS(WORD_NS, 'style'))
    .filter((style) => names.has((wordValue(style, 'name') || '').toLowerCase()))
    .map((style) => style.getAttributeNS(WORD_NS, 'styleId')) : []);
  if (codeStyles.size === 0) {
    return;
  }
  const document = readXml(env, await parts.text('word/document.xml'));
  if (!document) {
    return;
  }
  let changed = false;
  for (const paragraph of Array.from(document.getElementsByTagNameNS(WORD_NS, 'p'))) {
    if (codeStyles.has(wordValue(first(paragraph, 'pPr'), 'pStyle'))
        && descendants(paragraph, 't').every((text) => text.textContent === '')
        && descendants(paragraph, 'tab').length === 0 && descendants(paragraph, 'br').length === 0) {
      const run = paragraph.appendChild(document.createElementNS(WORD_NS, 'w:r'));
      const text = run.appendChild(document.createElementNS(WORD_NS, 'w:t'));
      text.setAttributeNS('http://www.w3.org/XML/1998/namespace', 'xml:space', 'preserve');
      text.textContent = ' ';
      changed = true;
    }
  }
  if (changed) {
    parts.setText('word/document.xml', new env.XMLSerializer().serializeToString(document));
  }
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
  const parts = packageFile(zip);
  const equations = await rewriteEquations(parts, env, warnings);
  await markListNumbers(parts, env).catch(() => false);
  await keepBlankCodeLines(parts, env).catch(() => {});

  const assets = new Assets();
  let converted;
  try {
    converted = await mammoth.convertToHtml({ file: parts }, {
      styleMap: STYLE_MAP,
      convertImage: mammoth.images.imgElement(async (image) => {
        const bytes = new Uint8Array(await image.readAsArrayBuffer());
        return { src: assets.add(extensionForType(image.contentType), bytes) };
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
  applyListNumbers(body);
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
