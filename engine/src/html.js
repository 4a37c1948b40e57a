// HTML files and fetched web pages.

import { Readability } from '@mozilla/readability';
import { Assets, extensionForType } from './assets.js';
import { collapseWhiteSpace, toMarkdown } from './markdown.js';

const DROPPED = 'script, style, template, noscript';

function parse(env, html) {
  return new env.DOMParser().parseFromString(html, 'text/html');
}

// data: images become assets; other addresses stay as they are.
function takeDataImages(root, assets) {
  for (const image of Array.from(root.querySelectorAll('img[src^="data:"], img[src^="DATA:"]'))) {
    const match = /^data:([^;,]*)((?:;[^;,]*)*?);base64,(.*)$/is.exec(image.getAttribute('src').trim());
    if (!match) {
      image.removeAttribute('src');
      continue;
    }
    const base64 = match[3].replace(/\s+/g, '');
    image.setAttribute('src', assets.add(extensionForType(match[1]), base64, base64));
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
  while (node && !/^H[1-6]$/.test(node.nodeName) && node.children.length > 0
         && collapseWhiteSpace(node.textContent).startsWith(collapseWhiteSpace(node.firstElementChild.textContent))
         && collapseWhiteSpace(node.firstElementChild.textContent) !== '') {
    node = node.firstElementChild;
  }
  const first = node && /^H[1-6]$/.test(node.nodeName) ? node : null;
  if (first && collapseWhiteSpace(first.textContent) === title) {
    first.remove();
  }
}

function bodyMarkdown(document, assets, title) {
  const body = document.body || document.documentElement;
  for (const node of Array.from(body.querySelectorAll(DROPPED))) {
    node.remove();
  }
  takeDataImages(body, assets);
  dropLeadingTitle(body, title);
  return toMarkdown(body);
}

export function convertHtml(text, env) {
  const document = parse(env, text);
  const assets = new Assets();
  const title = titleOf(document);
  const markdown = bodyMarkdown(document, assets, title);
  return { markdown, title, assets: assets.list, warnings: [] };
}

function absolute(address, base) {
  try {
    return new URL(address, base).href;
  } catch {
    return address;
  }
}

// Links and images relative to the page's address become absolute, also
// through a <base> element of the page.
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
  for (const image of Array.from(document.querySelectorAll('img[srcset]'))) {
    image.removeAttribute('srcset');
  }
  let element = document.querySelector('base');
  if (!element) {
    element = document.createElement('base');
    (document.head || document.documentElement).prepend(element);
  }
  element.setAttribute('href', base);
}

export function convertUrl(text, address, env) {
  const document = parse(env, text);
  makeAbsolute(document, address);
  const assets = new Assets();
  const fallback = document.cloneNode(true);
  let article = null;
  try {
    article = new Readability(document, { keepClasses: true }).parse();
  } catch {
    article = null; // the whole page is converted instead
  }
  if (article && article.content && collapseWhiteSpace(article.textContent) !== '') {
    const content = parse(env, `<!DOCTYPE html><html><head><base href="${address.replace(/"/g, '&quot;')}"></head>`
      + `<body>${article.content}</body></html>`);
    const title = collapseWhiteSpace(article.title) || titleOf(fallback);
    return { markdown: bodyMarkdown(content, assets, title), title, assets: assets.list, warnings: [] };
  }
  const title = titleOf(fallback);
  return { markdown: bodyMarkdown(fallback, assets, title), title, assets: assets.list, warnings: [] };
}
