// HTML files and fetched web pages.

import { Readability } from '@mozilla/readability';
import { Assets, extensionForType } from './assets.js';
import { collapseWhiteSpace, createTurndown, toMarkdown } from './markdown.js';

const DROPPED = 'script, style, template, noscript';

function parse(env, html) {
  return new env.DOMParser().parseFromString(html, 'text/html');
}

// data: images become assets; other addresses stay as they are. The address
// is read by hand: a pattern over its parameters would backtrack on many.
function takeDataImages(root, assets) {
  for (const image of Array.from(root.querySelectorAll('img[src^="data:"], img[src^="DATA:"]'))) {
    const source = image.getAttribute('src').trim();
    const comma = source.indexOf(',');
    const header = comma < 0 ? '' : source.slice(5, comma);
    if (!/;base64$/i.test(header)) {
      image.removeAttribute('src');
      continue;
    }
    const base64 = source.slice(comma + 1).replace(/\s+/g, '');
    image.setAttribute('src', assets.add(extensionForType(header.split(';')[0]), base64, base64));
  }
}

// The width and height of a PNG or GIF in a data: address, from its header.
function dataImageSize(address) {
  const match = /^data:image\/(png|gif)[^,]*;base64,([A-Za-z0-9+/=\s]{0,64})/i.exec(address);
  if (!match) {
    return null;
  }
  let bytes;
  try {
    bytes = atob(match[2].replace(/\s+/g, '').slice(0, 32)); // 24 bytes hold both headers
  } catch {
    return null;
  }
  const at = (i) => bytes.charCodeAt(i);
  if (match[1].toLowerCase() === 'png' && bytes.length >= 24) {
    return { width: (at(16) << 24 | at(17) << 16 | at(18) << 8 | at(19)) >>> 0,
      height: (at(20) << 24 | at(21) << 16 | at(22) << 8 | at(23)) >>> 0 };
  }
  if (match[1].toLowerCase() === 'gif' && bytes.length >= 10) {
    return { width: at(6) | at(7) << 8, height: at(8) | at(9) << 8 };
  }
  return null;
}

// A stand-in that lazy loading replaces later: a one-pixel picture, or a
// tiny data: image.
function isPlaceholder(address) {
  if (!/^data:/i.test(address)) {
    return false;
  }
  const size = dataImageSize(address);
  return size ? size.width <= 2 && size.height <= 2 : address.length < 200;
}

// The largest picture a srcset offers.
function largestOf(srcset) {
  let best = null;
  let bestSize = -1;
  for (const candidate of srcset.split(/,\s+/)) {
    const [url, descriptor = '1x'] = candidate.trim().split(/\s+/);
    const size = parseFloat(descriptor) * (/w$/i.test(descriptor) ? 1 : 1000);
    if (url && (Number.isFinite(size) ? size : 0) > bestSize) {
      best = url.replace(/,$/, '');
      bestSize = Number.isFinite(size) ? size : 0;
    }
  }
  return best;
}

// Pictures keep one address: their own, or when that is missing or a
// placeholder, the one lazy loading or a srcset would have shown. A picture
// that is only a placeholder goes.
function settleImages(document) {
  for (const image of Array.from(document.querySelectorAll('img'))) {
    const source = (image.getAttribute('src') || '').trim();
    if (source === '' || isPlaceholder(source)) {
      const picture = image.parentNode && image.parentNode.nodeName === 'PICTURE'
        ? image.parentNode.querySelector('source[srcset]') : null;
      const sets = [image.getAttribute('data-srcset'), image.getAttribute('srcset'),
        picture && picture.getAttribute('srcset')].filter((set) => set && set.trim() !== '');
      const lazy = ['data-src', 'data-original', 'data-lazy-src', 'data-url']
        .map((name) => (image.getAttribute(name) || '').trim()).find((value) => value !== '');
      const chosen = lazy || (sets.length > 0 ? largestOf(sets[0]) : null);
      if (chosen && !isPlaceholder(chosen)) {
        image.setAttribute('src', chosen);
      } else if (source !== '') {
        image.remove();
        continue;
      }
    } else if (image.getAttribute('width') === '1' && image.getAttribute('height') === '1') {
      image.remove(); // a tracking pixel
      continue;
    }
    image.removeAttribute('srcset');
  }
}

function titleOf(document) {
  const title = collapseWhiteSpace(document.title || (document.querySelector('title') || {}).textContent);
  if (title) {
    return title;
  }
  const heading = document.querySelector('h1');
  return heading ? collapseWhiteSpace(heading.textContent) : '';
}

// The saver puts the title above the body as a heading: a first heading that
// says the same is dropped so it does not appear twice.
function dropLeadingTitle(root, title) {
  if (!title) {
    return;
  }
  let node = root.firstElementChild;
  // a few wrappers deep at most: each step reads the text below it
  for (let depth = 0; depth < 32 && node && !/^H[1-6]$/.test(node.nodeName) && node.children.length > 0
         && collapseWhiteSpace(node.textContent).startsWith(collapseWhiteSpace(node.firstElementChild.textContent))
         && collapseWhiteSpace(node.firstElementChild.textContent) !== ''; depth++) {
    node = node.firstElementChild;
  }
  const first = node && /^H[1-6]$/.test(node.nodeName) ? node : null;
  if (first && collapseWhiteSpace(first.textContent) === title) {
    first.remove();
  }
}

// A same-page link without a letter or digit, in a heading or a term or
// leading to where it stands, is a permalink: a mark, an icon font's
// character or nothing at all.
function dropPermalinks(root) {
  for (const link of Array.from(root.querySelectorAll('a[href^="#"]'))) {
    if (/[\p{L}\p{N}]/u.test(link.textContent) || link.querySelector('img')) {
      continue;
    }
    const target = link.getAttribute('href').slice(1);
    let place = link.parentNode;
    while (place && place.getAttribute && !/^(?:H[1-6]|DT)$/.test(place.nodeName)
           && (target === '' || place.getAttribute('id') !== target)) {
      place = place.parentNode;
    }
    if (place && place.getAttribute) {
      link.remove();
    }
  }
}

function bodyMarkdown(body, assets, title) {
  for (const node of Array.from(body.querySelectorAll(DROPPED))) {
    node.remove();
  }
  dropPermalinks(body);
  takeDataImages(body, assets);
  dropLeadingTitle(body, title);
  // a rule that opens or closes the text separates nothing (the page's
  // navigation around it has gone)
  return toMarkdown(body, createTurndown({ samePageLinks: true }))
    .replace(/^(?:\* \* \*\n\n?)+/, '').replace(/(?:\n\n\* \* \*)+\n$/, '\n');
}

function absolute(address, base) {
  try {
    return new URL(address, base).href;
  } catch {
    return address;
  }
}

// Links and images relative to the page's address become absolute, also
// through a <base> element of the page. Same-page links stay as they are.
function makeAbsolute(document, address) {
  const declared = document.querySelector('base[href]');
  const base = declared ? absolute(declared.getAttribute('href'), address) : address;
  for (const [selector, attribute] of [['a[href]', 'href'], ['img[src]', 'src'],
    ['source[src]', 'src'], ['video[poster]', 'poster']]) {
    for (const element of Array.from(document.querySelectorAll(selector))) {
      const value = element.getAttribute(attribute).trim();
      if (value.startsWith('#') || /^(data|javascript|mailto|tel):/i.test(value)) {
        continue;
      }
      element.setAttribute(attribute, absolute(value, base));
    }
  }
  let element = document.querySelector('base');
  if (!element) {
    element = document.createElement('base');
    (document.head || document.documentElement).prepend(element);
  }
  element.setAttribute('href', base);
}

// Readability makes "#part" links absolute: a link to this very page
// becomes "#part" again.
function keepSamePageLinks(root, address) {
  let page;
  try {
    page = new URL(address);
  } catch {
    return;
  }
  page.hash = '';
  for (const link of Array.from(root.querySelectorAll('a[href]'))) {
    let target;
    try {
      target = new URL(link.getAttribute('href'), page);
    } catch {
      continue;
    }
    if (target.hash.length > 1) {
      const fragment = target.hash;
      target.hash = '';
      if (target.href === page.href) {
        link.setAttribute('href', fragment);
      }
    }
  }
}

// Words outside links: what a page says rather than where it leads.
function textWords(root) {
  const walker = (root.ownerDocument || root).createTreeWalker(root, 4 /* text */);
  let count = 0;
  for (let text = walker.nextNode(); text; text = walker.nextNode()) {
    if (!text.parentNode.closest('a')) {
      count += (text.data.match(/[\p{L}\p{N}_]+/gu) || []).length;
    }
  }
  return count;
}

function linkShare(element) {
  const all = collapseWhiteSpace(element.textContent).length;
  if (all === 0) {
    return 1;
  }
  let linked = 0;
  for (const link of Array.from(element.querySelectorAll('a'))) {
    linked += collapseWhiteSpace(link.textContent).length;
  }
  return linked / all;
}

// What is never the article: navigation, forms and their controls, menus,
// and hidden parts. Headers, footers, asides and blocks named like page
// furniture go only when they are mostly links, so a footnote in an <aside>
// or a section in a block named "header" stays.
const CHROME = 'nav, form, button, select, input, textarea, label, dialog, menu, iframe, svg, '
  + '[role=navigation], [role=banner], [role=contentinfo], [role=search], [role=dialog], [role=menu], '
  + '[role=menubar], [role=toolbar], [role=tablist], [hidden], [aria-hidden=true]';
const FURNITURE = /(?:^|[\s_-])(?:nav\w*|menu\w*|sidebar|toolbar|breadcrumbs?|masthead|banner|header|footer|cookies?|share|social|related|skip|jump|languages?)(?:$|[\s_-])/i;

// Readers' comments follow an article but are not part of it, however few
// links they hold.
const DISCUSSION = /(?:^|[\s_-])(?:comments|comment-?(?:list|section|thread)s?|discussion|disqus|respond|replies)(?:$|[\s_-])/i;

function removeChrome(root) {
  for (const element of Array.from(root.querySelectorAll(CHROME))) {
    element.remove();
  }
  for (const element of Array.from(root.querySelectorAll('section, div, aside, ol, ul'))) {
    if (root.contains(element)
      && DISCUSSION.test(`${element.getAttribute('id') || ''} ${element.getAttribute('class') || ''}`)) {
      element.remove();
    }
  }
  for (const element of Array.from(root.querySelectorAll('header, footer, aside, div, section, ul, ol, table'))) {
    if (!root.contains(element)) {
      continue; // went with a removed ancestor
    }
    const named = /^(HEADER|FOOTER|ASIDE)$/.test(element.nodeName)
      || FURNITURE.test(`${element.getAttribute('id') || ''} ${element.getAttribute('class') || ''}`);
    if (named && linkShare(element) > 0.5) {
      element.remove();
    }
  }
}

// The page's own word for where its content is, else the whole page, each
// cleaned of its chrome. A block merely named "content" is taken only when
// what lies outside it is mostly links, as a manual page's name section is not.
function mainCandidate(document) {
  const body = document.body || document.documentElement;
  removeChrome(body);
  const articles = document.querySelectorAll('article');
  let marked = document.querySelector('main') || document.querySelector('[role=main]')
    || (articles.length === 1 ? articles[0] : null);
  if (!marked) {
    const content = document.querySelector('#content');
    if (content && content !== body) {
      const outside = body.cloneNode(true);
      outside.querySelector('#content').remove();
      marked = textWords(outside) === 0 || linkShare(outside) > 0.5 ? content : null;
    }
  }
  if (marked && textWords(marked) * 2 >= textWords(body)) {
    return marked;
  }
  return body;
}

// Readability's article when it kept the content; the main candidate when
// it kept clearly less of what the page says.
function articleRoot(env, document, address) {
  const page = document.cloneNode(true);
  let article;
  try {
    article = new Readability(document, { keepClasses: true }).parse();
  } catch {
    article = null; // the main candidate is converted instead
  }
  const candidate = mainCandidate(page);
  if (article && article.content) {
    const content = parse(env, `<!DOCTYPE html><html><head><base href="${address.replace(/"/g, '&quot;')}"></head>`
      + `<body>${article.content}</body></html>`);
    const kept = textWords(content.body);
    if (kept > 0 && kept >= 0.95 * textWords(candidate)) {
      return { root: content.body, title: collapseWhiteSpace(article.title) || titleOf(page) };
    }
  }
  // Readability's title leaves out the site's name the page title carries.
  const title = (article && collapseWhiteSpace(article.title || '')) || titleOf(page);
  return { root: candidate, title };
}

// Links that only mark where they are (a pilcrow after a heading) say
// nothing in Markdown.
const MARKS = /^[¶#§†‡⁋🔗⚓]$/u;

function dropMarkLinks(root) {
  for (const link of Array.from(root.querySelectorAll('a[href]'))) {
    if (MARKS.test(collapseWhiteSpace(link.textContent)) && !link.querySelector('img')) {
      link.remove();
    }
  }
}

// Anchors without an address only name a spot. Written self-closing, as
// XHTML pages do, the HTML parser leaves them open around what follows,
// and Readability then takes headings for links.
function closeEmptyAnchors(text) {
  return text.replace(/<a(\s[^<>]*?)?\/>/gi, (whole, attributes = '') => (
    /\shref\s*=/i.test(attributes) ? whole : `<a${attributes}></a>`));
}

// Puts an element's children in its place, one by one: a spread of many
// thousands of them would overflow the call.
function unwrap(element) {
  const parent = element.parentNode;
  while (element.firstChild) {
    parent.insertBefore(element.firstChild, element);
  }
  element.remove();
}

function unwrapAnchors(root) {
  for (const anchor of Array.from(root.querySelectorAll('a:not([href])'))) {
    unwrap(anchor);
  }
}

// Readability drops every <aside>; one that holds a note is content.
function keepNotes(document) {
  for (const aside of Array.from(document.querySelectorAll('aside'))) {
    const named = `${aside.getAttribute('class') || ''} ${aside.getAttribute('id') || ''} ${aside.getAttribute('role') || ''}`;
    if (/note/i.test(named)) {
      const block = document.createElement('div');
      aside.replaceWith(block);
      block.appendChild(aside);
      unwrap(aside);
    }
  }
}

export function convertUrl(text, address, env) {
  const document = parse(env, closeEmptyAnchors(text));
  unwrapAnchors(document);
  keepNotes(document);
  settleImages(document);
  makeAbsolute(document, address);
  dropMarkLinks(document);
  const assets = new Assets();
  const { root, title } = articleRoot(env, document, address);
  keepSamePageLinks(root, address);
  return { markdown: bodyMarkdown(root, assets, title), title, assets: assets.list, warnings: [] };
}

export function convertHtml(text, env) {
  const document = parse(env, closeEmptyAnchors(text));
  settleImages(document);
  dropMarkLinks(document);
  const assets = new Assets();
  const title = titleOf(document);
  const markdown = bodyMarkdown(document.body || document.documentElement, assets, title);
  return { markdown, title, assets: assets.list, warnings: [] };
}
