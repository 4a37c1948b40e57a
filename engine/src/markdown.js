// Turning a DOM into tidy Markdown: ATX headings, "-" bullets, fenced code,
// GFM tables, one blank line between blocks and no trailing spaces.

import TurndownService from 'turndown';
import { gfm } from '@joplin/turndown-plugin-gfm';
import { escapeText } from './escape.js';
import { flattenTables } from './tables.js';

// Private-use characters mark spots that are filled in after turndown, so
// their text (LaTeX, footnote labels) escapes Markdown escaping.
export const MARK_OPEN = '\uE000';
export const MARK_CLOSE = '\uE001';

const LANGUAGE_CLASS = /(?:^|\s)(?:language|lang|highlight-source|highlight-text|highlight)-([A-Za-z0-9_+#.-]+)/;

// Words that name no language in the classes of highlighting tools.
const NO_LANGUAGE = new Set(['default', 'none', 'plain', 'text', 'nohighlight', 'notranslate']);

// The language from the code element, the <pre>, or the wrappers that
// documentation tools put around it.
function codeLanguage(pre) {
  const code = pre.firstElementChild && pre.firstElementChild.nodeName === 'CODE'
    ? pre.firstElementChild : null;
  const nodes = [code, pre];
  for (let node = pre.parentNode, depth = 0; node && node.getAttribute && depth < 3; node = node.parentNode, depth++) {
    nodes.push(node);
  }
  for (const node of nodes) {
    if (!node || !node.getAttribute) {
      continue;
    }
    const match = LANGUAGE_CLASS.exec(node.getAttribute('class') || '');
    const language = match ? match[1] : (node.getAttribute('data-lang') || node.getAttribute('data-language') || '').trim();
    if (/^[A-Za-z0-9_+#.-]+$/.test(language)) {
      return NO_LANGUAGE.has(language.toLowerCase()) ? '' : language;
    }
  }
  return '';
}

function fence(text) {
  const longest = (text.match(/`+/g) || []).reduce((most, run) => Math.max(most, run.length), 2);
  return '`'.repeat(longest + 1);
}

export function collapseWhiteSpace(text) {
  return (text || '').replace(/\s+/g, ' ').trim();
}

// `samePageLinks`: "#part" links stay links; otherwise (a Word document's
// bookmarks) they become their text.
export function createTurndown({ samePageLinks = false } = {}) {
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
  // Text is escaped beforehand, knowing where it stands (escapeTextNodes).
  service.escape = (text) => text;

  service.addRule('image', {
    filter: 'img',
    replacement: (content, node) => {
      const source = (node.getAttribute('src') || '').trim();
      if (source === '') {
        return '';
      }
      const text = collapseWhiteSpace(node.getAttribute('alt'));
      const alt = escapeText(text, { before: '[', after: ']', inLink: !balanced(text, '[', ']') });
      const title = collapseWhiteSpace(node.getAttribute('title')).replace(/["\\]/g, '\\$&');
      return `![${alt}](${linkDestination(source)}${title ? ` "${title}"` : ''})`;
    },
  });

  service.addRule('link', {
    filter: (node) => node.nodeName === 'A' && (node.getAttribute('href') || '').trim() !== '',
    replacement: (content, node) => {
      const title = collapseWhiteSpace(node.getAttribute('title')).replace(/["\\]/g, '\\$&');
      return `[${content}](${linkDestination(node.getAttribute('href').trim())}${title ? ` "${title}"` : ''})`;
    },
  });

  // Beside a strong run, an emphasis run's "*" would join the other's "**"
  // into one run that pairs up wrongly; "_" keeps them apart where nothing
  // but the strong run, white space or punctuation stands around it.
  service.addRule('emphasis', {
    filter: ['em', 'i'],
    replacement: (content, node) => {
      if (content.trim() === '') {
        return '';
      }
      const text = node.textContent;
      const previous = node.previousSibling;
      const next = node.nextSibling;
      const touchesBefore = isStrong(previous) && !/^\s/.test(text) && !/\s$/.test(previous.textContent);
      const touchesAfter = isStrong(next) && !/\s$/.test(text) && !/^\s/.test(next.textContent);
      const clear = (touches, neighbour, at) => touches || !neighbour
        || !/[\p{L}\p{N}]/u.test(neighbour.textContent.at(at) || '');
      const mark = (touchesBefore || touchesAfter) && clear(touchesBefore, previous, -1) && clear(touchesAfter, next, 0)
        ? '_' : '*';
      return mark + content + mark;
    },
  });

  // x<sup>2</sup> must not read as x2.
  service.addRule('superAndSubscript', {
    filter: ['sup', 'sub'],
    replacement: (content, node) => {
      const name = node.nodeName.toLowerCase();
      return content.trim() === '' ? content : `<${name}>${content}</${name}>`;
    },
  });

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
        const value = parseInt(node.getAttribute('value') || '', 10);
        const start = parseInt(parent.getAttribute('start') || '1', 10);
        const index = Array.prototype.indexOf.call(parent.children, node);
        prefix = `${Number.isFinite(value) ? value : (Number.isFinite(start) ? start : 1) + index}. `;
      }
      const stripped = content.replace(/^\n+/, '');
      const body = (trimEnd(stripped, '\n') + (stripped.endsWith('\n') ? '\n' : ''))
        .replace(/\n(?!\n|$)/g, '\n' + ' '.repeat(prefix.length));
      return prefix + body + (node.nextSibling && !/\n$/.test(body) ? '\n' : '');
    },
  });

  // A Word document's bookmarks lead nowhere once it is Markdown: their
  // links keep only their text.
  if (!samePageLinks) {
    service.addRule('internalLink', {
      filter: (node) => node.nodeName === 'A' && (node.getAttribute('href') || '').startsWith('#'),
      replacement: (content) => content,
    });
  }

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

function isStrong(node) {
  return Boolean(node) && (node.nodeName === 'STRONG' || node.nodeName === 'B') && node.textContent.trim() !== '';
}

const EMPHASIS_KIND = { EM: 'EM', I: 'EM', STRONG: 'STRONG', B: 'STRONG' };

// Emphasis runs of one kind side by side are one run: written apart, their
// marks would meet and pair up wrongly. Each run takes in those after it, so
// every child moves once.
function joinEmphasisRuns(root) {
  for (const run of Array.from(root.querySelectorAll('em, i, strong, b'))) {
    if (!run.parentNode) {
      continue; // taken into the run before it
    }
    for (let next = run.nextSibling; next && next.nodeType === 1
         && EMPHASIS_KIND[next.nodeName] === EMPHASIS_KIND[run.nodeName]; next = run.nextSibling) {
      while (next.firstChild) {
        run.appendChild(next.firstChild);
      }
      next.remove();
    }
  }
}

// Inline code shows its text only: marks of emphasis or links inside it
// would be read literally. A link around all of its text goes outside it.
function plainInlineCode(root) {
  for (const code of Array.from(root.querySelectorAll('code'))) {
    if (code.firstElementChild === null || code.closest('pre')) {
      continue;
    }
    for (const lineBreak of Array.from(code.querySelectorAll('br'))) {
      lineBreak.replaceWith(' ');
    }
    const text = code.textContent;
    const links = code.querySelectorAll('a[href]');
    code.textContent = text;
    if (links.length === 1 && collapseWhiteSpace(links[0].textContent) === collapseWhiteSpace(text)) {
      const link = links[0].cloneNode(false);
      code.replaceWith(link);
      link.appendChild(code);
    }
  }
}

function balanced(text, open, close) {
  let depth = 0;
  for (const c of text) {
    depth += c === open ? 1 : c === close ? -1 : 0;
    if (depth < 0) {
      return false;
    }
  }
  return depth === 0;
}

// Parentheses need escaping in an address only when they do not pair up.
function linkDestination(address) {
  const escaped = address.replace(balanced(address, '(', ')') ? /\\/g : /[()\\]/g, '\\$&');
  return /[\s<>]/.test(escaped) ? `<${escaped.replace(/[<>\n]/g, encodeURIComponent)}>` : escaped;
}

// Elements turndown writes as blocks: their text starts a line.
const BLOCKS = new Set(['ADDRESS', 'ARTICLE', 'ASIDE', 'AUDIO', 'BLOCKQUOTE', 'BODY', 'CANVAS', 'CENTER',
  'DD', 'DIR', 'DIV', 'DL', 'DT', 'FIELDSET', 'FIGCAPTION', 'FIGURE', 'FOOTER', 'FORM', 'FRAMESET', 'H1',
  'H2', 'H3', 'H4', 'H5', 'H6', 'HEADER', 'HGROUP', 'HR', 'HTML', 'ISINDEX', 'LI', 'MAIN', 'MENU', 'NAV',
  'NOFRAMES', 'NOSCRIPT', 'OL', 'OUTPUT', 'P', 'PRE', 'SECTION', 'TABLE', 'TBODY', 'TD', 'TFOOT', 'TH',
  'THEAD', 'TR', 'UL']);
// Blocks whose text follows a marker on its line ("## ", "| "): nothing in
// them starts a block of its own.
const INLINE_BLOCKS = new Set(['H1', 'H2', 'H3', 'H4', 'H5', 'H6', 'TD', 'TH', 'CAPTION']);
// The characters turndown writes around an element's content.
const AROUND = {
  A: ['[', ')'], B: ['*', '*'], STRONG: ['*', '*'], I: ['*', '*'], EM: ['*', '*'], CODE: ['`', '`'],
  DEL: ['~', '~'], S: ['~', '~'], STRIKE: ['~', '~'], SUP: ['<', '>'], SUB: ['<', '>'], IMG: ['!', ')'],
};

// Escapes every text node for where it will stand in the Markdown: what
// comes before and after it, and whether it starts a line. Code keeps its
// text as it is.
function escapeTextNodes(root) {
  const items = [];
  const visit = (node, rules, inLink) => {
    for (const child of Array.from(node.childNodes)) {
      if (child.nodeType === 3) {
        if (child.data !== '') {
          items.push({ node: child, inLink });
        }
        continue;
      }
      if (child.nodeType !== 1) {
        continue;
      }
      const name = child.nodeName;
      if (name === 'BR' || name === 'HR' || name === 'PRE') {
        items.push({ line: true, rules });
        continue;
      }
      if (BLOCKS.has(name)) {
        const inner = !INLINE_BLOCKS.has(name);
        items.push({ line: true, rules: inner });
        visit(child, inner, false);
        items.push({ line: true, rules });
        continue;
      }
      const around = name === 'A' && !child.hasAttribute('href') ? null : AROUND[name];
      if (around) {
        items.push({ mark: around[0] });
      }
      if (name !== 'CODE' && name !== 'IMG') {
        visit(child, rules, inLink || name === 'A');
      }
      if (around) {
        items.push({ mark: around[1] });
      }
    }
  };
  visit(root, !INLINE_BLOCKS.has(root.nodeName), false);

  const edge = (item, first) => {
    if (item.line) {
      return undefined;
    }
    if (item.mark) {
      return item.mark;
    }
    const text = item.node.data;
    return /^\s*$/.test(text) ? ' ' : text[first ? 0 : text.length - 1];
  };
  const after = new Array(items.length);
  let next = undefined;
  for (let i = items.length - 1; i >= 0; i--) {
    after[i] = next;
    next = edge(items[i], true);
  }
  let before = undefined;
  let lineStart = !INLINE_BLOCKS.has(root.nodeName);
  items.forEach((item, i) => {
    if (item.line) {
      lineStart = item.rules;
    } else if (item.mark) {
      lineStart = false;
    } else if (!/^\s*$/.test(item.node.data)) {
      const escaped = escapeText(item.node.data, { before, after: after[i], lineStart, inLink: item.inLink });
      lineStart = false;
      before = edge(item, false);
      if (escaped !== item.node.data) {
        item.node.data = escaped;
      }
      return;
    }
    before = edge(item, false);
  });
}

// Turns a DOM node (element or document) into tidy Markdown.
export function toMarkdown(node, service = createTurndown()) {
  // a break in preformatted text is one of its lines
  for (const lineBreak of Array.from(node.querySelectorAll('pre br'))) {
    lineBreak.replaceWith('\n');
  }
  plainInlineCode(node);
  joinEmphasisRuns(node);
  flattenTables(node);
  splitWhiteSpaceRuns(node);
  escapeTextNodes(node.body || node);
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

function endsWithBreak(line) {
  let count = 0;
  while (count < line.length && line[line.length - 1 - count] === '\\') {
    count++;
  }
  return count % 2 === 1;
}

// One blank line between blocks, none leading or trailing, no trailing
// spaces, and the text ending with one line feed (or empty). Lines inside
// fenced code keep their blank lines. A hard line break with nothing after
// it in its block would show as a lone "\": it goes.
export function tidyMarkdown(text) {
  const lines = text.replace(/\r\n?/g, '\n').split('\n').map((raw) => trimEnd(raw, ' \t'));
  const code = lines.map(() => false);
  let fenceMarks = null;
  lines.forEach((line, i) => {
    const opening = /^ *(`{3,}|~{3,})/.exec(line);
    if (fenceMarks) {
      code[i] = true;
      if (opening && opening[1][0] === fenceMarks[0] && opening[1].length >= fenceMarks.length
          && line.trim() === opening[1]) {
        fenceMarks = null;
      }
    } else if (opening) {
      fenceMarks = opening[1];
      code[i] = true;
    }
  });
  for (let i = 0; i < lines.length; i++) {
    if (!code[i] && lines[i].trim() === '\\') {
      lines[i] = '';
    }
  }
  for (let i = 0; i < lines.length; i++) {
    if (!code[i] && endsWithBreak(lines[i])
        && (i + 1 === lines.length || lines[i + 1].trim() === '' || code[i + 1])) {
      lines[i] = trimEnd(lines[i].slice(0, -1), ' \t');
    }
  }
  const out = [];
  lines.forEach((line, i) => {
    if (!code[i] && line === '' && (out.length === 0 || out[out.length - 1] === '')) {
      return;
    }
    out.push(line);
  });
  while (out.length > 0 && out[out.length - 1] === '') {
    out.pop();
  }
  return out.length === 0 ? '' : out.join('\n') + '\n';
}
