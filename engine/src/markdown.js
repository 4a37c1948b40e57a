// Turning a DOM into tidy Markdown: ATX headings, "-" bullets, fenced code,
// GFM tables, one blank line between blocks and no trailing spaces.

import TurndownService from 'turndown';
import { gfm } from '@joplin/turndown-plugin-gfm';
import { flattenTables } from './tables.js';

// Private-use characters mark spots that are filled in after turndown, so
// their text (LaTeX, footnote labels) escapes Markdown escaping.
export const MARK_OPEN = '\uE000';
export const MARK_CLOSE = '\uE001';

const LANGUAGE_CLASS = /(?:^|\s)(?:language|lang|highlight-source|highlight-text|highlight)-([A-Za-z0-9_+#.-]+)/;

function codeLanguage(pre) {
  const code = pre.firstElementChild && pre.firstElementChild.nodeName === 'CODE'
    ? pre.firstElementChild : null;
  for (const node of [code, pre, pre.parentNode]) {
    const className = node && node.getAttribute ? node.getAttribute('class') || '' : '';
    const match = LANGUAGE_CLASS.exec(className);
    if (match) {
      return match[1];
    }
  }
  return '';
}

function fence(text) {
  const longest = Math.max(2, ...(text.match(/`+/g) || []).map((run) => run.length));
  return '`'.repeat(longest + 1);
}

export function collapseWhiteSpace(text) {
  return (text || '').replace(/\s+/g, ' ').trim();
}

export function createTurndown() {
  const service = new TurndownService({
    headingStyle: 'atx',
    bulletListMarker: '-',
    codeBlockStyle: 'fenced',
    emDelimiter: '*',
    strongDelimiter: '**',
    br: '\\',
  });
  service.use(gfm);
  service.remove(['script', 'style', 'template', 'noscript', 'head', 'title']);

  service.addRule('fencedCode', {
    filter: (node) => node.nodeName === 'PRE',
    replacement: (content, node) => {
      const text = node.textContent.replace(/\n$/, '');
      const marks = fence(text);
      return `\n\n${marks}${codeLanguage(node)}\n${text}\n${marks}\n\n`;
    },
  });

  service.addRule('tidyListItem', {
    filter: 'li',
    replacement: (content, node) => {
      let prefix = '- ';
      const parent = node.parentNode;
      if (parent && parent.nodeName === 'OL') {
        const start = parseInt(parent.getAttribute('start') || '1', 10);
        const index = Array.prototype.indexOf.call(parent.children, node);
        prefix = `${(Number.isFinite(start) ? start : 1) + index}. `;
      }
      const stripped = content.replace(/^\n+/, '');
      const body = (trimEnd(stripped, '\n') + (stripped.endsWith('\n') ? '\n' : ''))
        .replace(/\n(?!\n|$)/g, '\n' + ' '.repeat(prefix.length));
      return prefix + body + (node.nextSibling && !/\n$/.test(body) ? '\n' : '');
    },
  });

  // Links inside the document (bookmarks, tables of contents) lead nowhere
  // once the document is Markdown: keep their text.
  service.addRule('internalLink', {
    filter: (node) => node.nodeName === 'A' && (node.getAttribute('href') || '').startsWith('#'),
    replacement: (content) => content,
  });

  // The plugin turns line breaks in cells into <br>; cells are flattened
  // before, so anything left is joined with a space instead.
  service.addRule('tidyTableCell', {
    filter: (node) => (node.nodeName === 'TD' || node.nodeName === 'TH')
      && node.closest && node.closest('table') && node.closest('table').rows.length > 0
      && !(node.closest('table').rows.length === 1 && node.parentNode.children.length <= 1),
    replacement: (content, node) => {
      const index = Array.prototype.indexOf.call(node.parentNode.children, node);
      const text = content.trim().replace(/\s+/g, (run) => (run.includes('\n') ? ' ' : run))
        .replace(/\|/g, '\\|');
      return (index === 0 ? '| ' : ' ') + text + ' |';
    },
  });
  return service;
}

// Splits long white space runs with a mark removed after turndown, whose
// final trim (/[\t\r\n\s]+$/) is quadratic in the length of a run followed
// by text. Runs in <pre> are kept and only split; elsewhere white space other
// than the four turndown collapses becomes a plain space, so it collapses too.
const SPLIT = '\uE002';

function splitWhiteSpaceRuns(node) {
  const document = node.ownerDocument || node;
  const walker = document.createTreeWalker(node, 4 /* text */);
  for (let text = walker.nextNode(); text; text = walker.nextNode()) {
    const inPre = text.parentNode && text.parentNode.closest && text.parentNode.closest('pre');
    const data = inPre ? text.data.replace(/\s{32}/g, `$&${SPLIT}`) : text.data.replace(/[^\S\t\n\r ]/g, ' ');
    if (data !== text.data) {
      text.data = data;
    }
  }
}

// Turns a DOM node (element or document) into tidy Markdown.
export function toMarkdown(node, service = createTurndown()) {
  flattenTables(node);
  splitWhiteSpaceRuns(node);
  return tidyMarkdown(service.turndown(node).replace(/\uE002/g, ''));
}

// The text without the given characters at its end. A regular expression
// such as /[ \t]+$/ would retry from every character of a long run of
// spaces followed by text, quadratic in the run's length.
export function trimEnd(text, characters) {
  let end = text.length;
  while (end > 0 && characters.includes(text[end - 1])) {
    end--;
  }
  return end === text.length ? text : text.slice(0, end);
}

// One blank line between blocks, none leading or trailing, no trailing
// spaces, and the text ending with one line feed (or empty). Lines inside
// fenced code keep their blank lines.
export function tidyMarkdown(text) {
  const lines = text.replace(/\r\n?/g, '\n').split('\n');
  const out = [];
  let fenceMarks = null;
  for (const raw of lines) {
    const line = trimEnd(raw, ' \t');
    const opening = /^ *(`{3,}|~{3,})/.exec(line);
    if (fenceMarks) {
      out.push(line);
      if (opening && opening[1][0] === fenceMarks[0] && opening[1].length >= fenceMarks.length
          && line.trim() === opening[1]) {
        fenceMarks = null;
      }
      continue;
    }
    if (opening) {
      fenceMarks = opening[1];
    }
    if (line === '' && (out.length === 0 || out[out.length - 1] === '')) {
      continue;
    }
    out.push(line);
  }
  while (out.length > 0 && out[out.length - 1] === '') {
    out.pop();
  }
  return out.length === 0 ? '' : out.join('\n') + '\n';
}

// Escapes text written straight into Markdown (not through turndown).
export function escapeMarkdown(text) {
  return text
    .replace(/\\/g, '\\\\')
    .replace(/([*_`[\]<>|])/g, '\\$1')
    .replace(/^(\s*)([#>+-])(?=\s|$)/, '$1\\$2')
    .replace(/^(\s*\d+)([.)])(?=\s|$)/, '$1\\$2');
}
