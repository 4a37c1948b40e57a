// PowerPoint presentations: slides in presentation order, each a "## "
// heading with its text boxes in reading order, bullet levels as nested
// lists, tables, pictures as assets and the speaker notes beneath.

import { Assets, extensionForPath } from './assets.js';
import { escapeText } from './escape.js';
import { collapseWhiteSpace } from './markdown.js';
import { documentTitle, EngineError, openPackage, parseXml } from './office.js';
import { descendants, elements, first, local } from './xml.js';

const REL_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships';
const TITLE_TYPES = new Set(['title', 'ctrTitle']);
const BODY_TYPES = new Set(['body', 'obj', 'subTitle']);
// Placeholders the layout fills in on every slide, not the slide's content.
const FURNITURE_TYPES = new Set(['sldNum', 'dt', 'ftr', 'hdr']);

function relationshipId(element, name) {
  return element.getAttributeNS(REL_NS, name) || element.getAttribute(`r:${name}`) || '';
}

function resolvePath(base, target) {
  if (target.startsWith('/')) {
    return target.slice(1);
  }
  const parts = base.split('/').slice(0, -1);
  for (const part of target.split('/')) {
    if (part === '..') {
      parts.pop();
    } else if (part !== '.' && part !== '') {
      parts.push(part);
    }
  }
  return parts.join('/');
}

async function readPart(zip, env, path, what) {
  const file = zip.file(path);
  if (!file) {
    throw new EngineError(`${what}: missing`);
  }
  return parseXml(env, await file.async('string'), what);
}

// The relationships of one part: id -> { type, target (a path in the zip, or
// the address of an external target), external }.
async function relationships(zip, env, partPath, what) {
  const parts = partPath.split('/');
  const relsPath = [...parts.slice(0, -1), '_rels', `${parts[parts.length - 1]}.rels`].join('/');
  const map = new Map();
  if (!zip.file(relsPath)) {
    return map;
  }
  const document = await readPart(zip, env, relsPath, what);
  for (const element of descendants(document, 'Relationship')) {
    const external = element.getAttribute('TargetMode') === 'External';
    const target = element.getAttribute('Target') || '';
    map.set(element.getAttribute('Id'), {
      type: (element.getAttribute('Type') || '').replace(/^.*\//, ''),
      target: external ? target : resolvePath(partPath, target),
      external,
    });
  }
  return map;
}

function relationshipOfType(map, type) {
  return Array.from(map.values()).find((relationship) => relationship.type === type) || null;
}

function placeholderOf(shape) {
  const properties = first(shape, 'nvSpPr', 'nvPr') || first(shape, 'nvPicPr', 'nvPr')
    || first(shape, 'nvGraphicFramePr', 'nvPr');
  const placeholder = properties && first(properties, 'ph');
  if (!placeholder) {
    return null;
  }
  return { type: placeholder.getAttribute('type') || 'obj', idx: placeholder.getAttribute('idx') };
}

function offsetOf(shape) {
  const transform = first(shape, 'spPr', 'xfrm') || first(shape, 'xfrm') || first(shape, 'grpSpPr', 'xfrm');
  const offset = transform && first(transform, 'off');
  if (!offset) {
    return null;
  }
  return { x: Number(offset.getAttribute('x')) || 0, y: Number(offset.getAttribute('y')) || 0 };
}

// Where the layout (or its master) puts each placeholder, for shapes that
// take their position from there. A deck's slides share a few layouts, so
// each layout is read once: `cache` maps its path to its positions.
async function placeholderPositions(zip, env, slideRelationships, cache) {
  const layout = relationshipOfType(slideRelationships, 'slideLayout');
  const key = layout ? layout.target : '';
  if (!cache.has(key)) {
    cache.set(key, layoutPositions(zip, env, layout));
  }
  return cache.get(key);
}

async function layoutPositions(zip, env, layout) {
  const positions = { byIdx: new Map(), byType: new Map() };
  const collect = (document, withIdx) => {
    for (const shape of descendants(document, 'sp')) {
      const placeholder = placeholderOf(shape);
      const offset = offsetOf(shape);
      if (!placeholder || !offset) {
        continue;
      }
      if (withIdx && placeholder.idx !== null && !positions.byIdx.has(placeholder.idx)) {
        positions.byIdx.set(placeholder.idx, offset);
      }
      if (!positions.byType.has(placeholder.type)) {
        positions.byType.set(placeholder.type, offset);
      }
    }
  };
  try {
    if (layout) {
      collect(await readPart(zip, env, layout.target, 'layout'), true);
      const master = relationshipOfType(await relationships(zip, env, layout.target, 'layout'), 'slideMaster');
      if (master) {
        collect(await readPart(zip, env, master.target, 'master'), false);
      }
    }
  } catch {
    // without layout positions the slide's own order stands
  }
  return positions;
}

function wrap(text, marks) {
  const core = text.trim();
  if (core === '') {
    return text;
  }
  const start = text.length - text.trimStart().length;
  return `${text.slice(0, start)}${marks}${core}${marks}${text.slice(start + core.length)}`;
}

// The Markdown of one a:p's runs; `lineBreak` is what an a:br becomes, and
// `lineStart` tells whether the text starts a line of the Markdown.
function paragraphText(paragraph, links, lineBreak, lineStart = false) {
  let out = '';
  let atLineStart = lineStart;
  const parts = elements(paragraph);
  let last = -1; // the last part that writes anything: nothing follows it on its line
  parts.forEach((part, i) => {
    if (local(part) === 'br' || (['r', 'fld'].includes(local(part)) && (first(part, 't') || {}).textContent)) {
      last = i;
    }
  });
  for (const [index, part] of parts.entries()) {
    const name = local(part);
    if (name === 'br') {
      out += lineBreak;
      atLineStart = lineStart && lineBreak.endsWith('\n');
      continue;
    }
    if (name !== 'r' && name !== 'fld') {
      continue;
    }
    const textElement = first(part, 't');
    const raw = textElement ? textElement.textContent : '';
    if (raw === '') {
      continue;
    }
    const properties = first(part, 'rPr');
    const on = (attribute) => !!properties && ['1', 'true'].includes(properties.getAttribute(attribute));
    const marks = on('b') && on('i') ? '***' : on('b') ? '**' : on('i') ? '*' : '';
    const click = properties && first(properties, 'hlinkClick');
    const link = click && links.get(relationshipId(click, 'id'));
    const linked = !!link && link.external && raw.trim() !== '';
    const previous = out === '' ? (lineStart ? undefined : null) : out[out.length - 1];
    let text = escapeText(raw, {
      before: linked ? '[' : marks ? '*' : previous,
      after: linked ? ']' : marks ? '*' : index === last ? undefined : null,
      lineStart: atLineStart && !linked && !marks,
      inLink: linked,
    });
    if (raw.trim() !== '') {
      atLineStart = false;
    }
    text = marks ? wrap(text, marks) : text;
    if (linked) {
      text = `[${text}](${link.target.replace(/[()\s]/g, encodeURIComponent)})`;
    }
    out += text;
  }
  // neighbouring bold runs ("**a****b**") join into one
  return out.replace(/(?<![\\*])\*\*\*\*(?!\*)/g, '');
}

function bulletKind(paragraph, inBody) {
  const properties = first(paragraph, 'pPr');
  if (properties) {
    if (first(properties, 'buNone')) {
      return null;
    }
    const number = first(properties, 'buAutoNum');
    if (number) {
      return { ordered: true, start: Number(number.getAttribute('startAt')) || 1 };
    }
    if (first(properties, 'buChar') || first(properties, 'buBlip')) {
      return { ordered: false };
    }
  }
  return inBody ? { ordered: false } : null;
}

// A text body as Markdown blocks: plain paragraphs and nested lists.
function textBlocks(body, links, inBody) {
  const blocks = [];
  let list = null;
  for (const paragraph of elements(body, 'p')) {
    const properties = first(paragraph, 'pPr');
    const level = Math.min(8, Number(properties && properties.getAttribute('lvl')) || 0);
    const kind = bulletKind(paragraph, inBody);
    const text = paragraphText(paragraph, links, kind ? ' ' : '\\\n', true).trim();
    if (text === '') {
      continue;
    }
    if (!kind) {
      list = null;
      blocks.push(text);
      continue;
    }
    if (!list) {
      list = { lines: [], widths: [], counters: [] };
      blocks.push(list);
    }
    list.counters.length = Math.min(list.counters.length, level + 1);
    let marker = '- ';
    if (kind.ordered) {
      const number = list.counters[level] === undefined ? kind.start : list.counters[level] + 1;
      list.counters[level] = number;
      marker = `${number}. `;
    } else {
      list.counters[level] = undefined;
    }
    list.widths[level] = marker.length;
    let indent = 0;
    for (let l = 0; l < level; l++) {
      indent += list.widths[l] || 2;
    }
    list.lines.push(' '.repeat(indent) + marker + text);
  }
  return blocks.map((block) => (typeof block === 'string' ? block : block.lines.join('\n')));
}

// Every a:tc is one column of the grid: a cell spanning columns is followed
// by the cells it covers (hMerge), which stay empty, as do those covered from
// above (vMerge). Covered cells a writer left out are made up for.
function tableMarkdown(table, links) {
  const rows = elements(table, 'tr').map((row) => elements(row, 'tc'));
  const on = (cell, attribute) => ['1', 'true'].includes(cell.getAttribute(attribute));
  const grid = rows.map((cells) => {
    const row = [];
    let covered = 0;
    for (const cell of cells) {
      if (on(cell, 'hMerge') && covered > 0) {
        covered--;
        row.push('');
        continue;
      }
      for (; covered > 0; covered--) {
        row.push('');
      }
      const body = first(cell, 'txBody');
      row.push(on(cell, 'hMerge') || on(cell, 'vMerge') || !body ? '' : elements(body, 'p')
        .map((paragraph) => paragraphText(paragraph, links, ' ').trim())
        .filter((line) => line !== '').join(' ').replace(/\|/g, '\\|'));
      covered = Math.min(Math.max(0, (Number(cell.getAttribute('gridSpan')) || 1) - 1), 1000);
    }
    return row;
  });
  const columns = elements(first(table, 'tblGrid') || table, 'gridCol').length;
  const width = grid.reduce((most, row) => Math.max(most, row.length), columns);
  if (width === 0 || grid.length === 0) {
    return '';
  }
  const line = (cells) => `| ${Array.from({ length: width }, (_, c) => cells[c] || '').join(' | ')} |`;
  const lines = [line(grid[0]), line(Array(width).fill('---'))];
  for (const row of grid.slice(1)) {
    lines.push(line(row));
  }
  return lines.join('\n');
}

// The shapes of a tree in reading order: top to bottom, then left to right;
// a group's shapes stay together at the group's place.
function shapesInOrder(tree, positions) {
  const shapes = [];
  let order = 0;
  const visit = (node, inherited) => {
    for (const shape of elements(node)) {
      const name = local(shape);
      if (!['sp', 'pic', 'graphicFrame', 'grpSp'].includes(name)) {
        continue;
      }
      const placeholder = placeholderOf(shape);
      let offset = offsetOf(shape);
      if (!offset && placeholder) {
        offset = (placeholder.idx !== null && positions.byIdx.get(placeholder.idx))
          || positions.byType.get(placeholder.type) || null;
      }
      const position = inherited || offset || { x: 0, y: Number.MAX_SAFE_INTEGER };
      if (name === 'grpSp') {
        visit(shape, position);
      } else {
        shapes.push({ shape, name, placeholder, position, order: order++ });
      }
    }
  };
  visit(tree, null);
  return shapes.sort((a, b) => a.position.y - b.position.y || a.position.x - b.position.x
    || a.order - b.order);
}

async function pictureMarkdown(zip, shape, links, assets, warnings, number) {
  const blip = descendants(shape, 'blip')[0];
  const link = blip && links.get(relationshipId(blip, 'embed'));
  if (!link || link.external) {
    return '';
  }
  const file = zip.file(link.target);
  if (!file) {
    warnings.push(`slide ${number}: picture ${link.target} is missing`);
    return '';
  }
  const properties = first(shape, 'nvPicPr', 'cNvPr');
  const alt = collapseWhiteSpace(properties && (properties.getAttribute('descr')
    || properties.getAttribute('title')) || '');
  const name = assets.add(extensionForPath(link.target), await file.async('uint8array'), link.target);
  return `![${escapeText(alt, { before: '[', after: ']', inLink: true })}](${name})`;
}

// The cached points of a chart reference (c:strRef, c:numRef or their
// multi-level form): value by index, and how many there are.
function cachedPoints(reference) {
  const points = new Map();
  let count = 0;
  if (!reference) {
    return { points, count };
  }
  for (const cache of descendants(reference, 'ptCount')) {
    count = Math.max(count, Number(cache.getAttribute('val')) || 0);
  }
  for (const point of descendants(reference, 'pt')) {
    const index = Number(point.getAttribute('idx'));
    const value = first(point, 'v');
    if (Number.isInteger(index) && index >= 0 && index < 100000 && value && !points.has(index)) {
      points.set(index, collapseWhiteSpace(value.textContent));
      count = Math.max(count, index + 1);
    }
  }
  return { points, count: Math.min(count, 100000) };
}

function cell(text) {
  return escapeText(text, { before: ' ', after: ' ' }).replace(/\|/g, '\\|');
}

// A chart as its title on a line of its own and its data as a table:
// categories down, series across, from the values the chart part keeps.
async function chartMarkdown(zip, env, frame, links, number) {
  const reference = descendants(frame, 'chart')[0];
  const link = reference && links.get(relationshipId(reference, 'id'));
  if (!link || link.external || !zip.file(link.target)) {
    return '';
  }
  const document = await readPart(zip, env, link.target, `slide ${number} chart`);
  const chart = descendants(document, 'chart')[0] || document.documentElement;
  const titleElement = first(chart, 'title');
  const title = titleElement ? collapseWhiteSpace(descendants(titleElement, 't').map((t) => t.textContent).join(''))
    : '';
  const series = descendants(chart, 'ser').map((ser, i) => {
    const name = cachedPoints(first(ser, 'tx'));
    const categories = cachedPoints(first(ser, 'cat') || first(ser, 'xVal'));
    const values = cachedPoints(first(ser, 'val') || first(ser, 'yVal'));
    return { name: name.points.get(0) || `Series ${i + 1}`, categories, values };
  });
  const blocks = title ? [escapeText(title, { lineStart: true, before: undefined, after: undefined })] : [];
  const rows = series.reduce((most, one) => Math.max(most, one.categories.count, one.values.count), 0);
  if (series.length > 0 && rows > 0) {
    const categories = series.find((one) => one.categories.count > 0);
    const lines = [`|  | ${series.map((one) => cell(one.name)).join(' | ')} |`,
      `| --- | ${series.map(() => '---').join(' | ')} |`];
    for (let r = 0; r < rows; r++) {
      const label = categories ? categories.categories.points.get(r) ?? '' : String(r + 1);
      lines.push(`| ${cell(label)} | ${series.map((one) => cell(one.values.points.get(r) ?? '')).join(' | ')} |`);
    }
    blocks.push(lines.join('\n'));
  }
  return blocks.join('\n\n');
}

async function notesMarkdown(zip, env, slideRelationships, number) {
  const notes = relationshipOfType(slideRelationships, 'notesSlide');
  if (!notes || !zip.file(notes.target)) {
    return '';
  }
  const document = await readPart(zip, env, notes.target, `slide ${number} notes`);
  const links = await relationships(zip, env, notes.target, `slide ${number} notes`);
  // The notes are the body placeholder; without one, every text shape that
  // is not a placeholder (slide image, page number) is taken instead.
  const shapes = descendants(document, 'sp').filter((shape) => first(shape, 'txBody'));
  const bodies = shapes.filter((shape) => (placeholderOf(shape) || {}).type === 'body');
  const blocks = [];
  for (const shape of bodies.length > 0 ? bodies : shapes.filter((shape) => !placeholderOf(shape))) {
    blocks.push(...textBlocks(first(shape, 'txBody'), links, false));
  }
  if (blocks.length === 0) {
    return '';
  }
  const lines = blocks.join('\n\n').split('\n');
  lines[0] = `**Notes:** ${lines[0]}`;
  return lines.map((line) => (line === '' ? '>' : `> ${line}`)).join('\n');
}

async function slideMarkdown(zip, env, path, number, assets, warnings, layouts) {
  const document = await readPart(zip, env, path, `slide ${number}`);
  const root = document.documentElement;
  if (['0', 'false'].includes(root.getAttribute('show'))) {
    return null;
  }
  const links = await relationships(zip, env, path, `slide ${number}`);
  const positions = await placeholderPositions(zip, env, links, layouts);
  const tree = descendants(root, 'spTree')[0];
  let title = '';
  const blocks = [];
  for (const { shape, name, placeholder } of tree ? shapesInOrder(tree, positions) : []) {
    if (name === 'sp') {
      const body = first(shape, 'txBody');
      if (!body || (placeholder && FURNITURE_TYPES.has(placeholder.type))) {
        continue;
      }
      if (placeholder && TITLE_TYPES.has(placeholder.type) && title === '') {
        // a line break inside a title reads as a space
        title = collapseWhiteSpace(elements(body, 'p')
          .map((paragraph) => elements(paragraph).filter((part) => ['r', 'fld', 'br'].includes(local(part)))
            .map((run) => (local(run) === 'br' ? ' ' : (first(run, 't') || { textContent: '' }).textContent)).join(''))
          .join(' '));
        continue;
      }
      const inBody = !!placeholder && BODY_TYPES.has(placeholder.type) && placeholder.type !== 'subTitle';
      blocks.push(...textBlocks(body, links, inBody));
    } else if (name === 'pic') {
      const picture = await pictureMarkdown(zip, shape, links, assets, warnings, number);
      if (picture) {
        blocks.push(picture);
      }
    } else if (name === 'graphicFrame') {
      const table = descendants(shape, 'tbl')[0];
      const markdown = table ? tableMarkdown(table, links) : await chartMarkdown(zip, env, shape, links, number);
      if (markdown) {
        blocks.push(markdown);
      }
    }
  }
  const notes = await notesMarkdown(zip, env, links, number);
  if (notes) {
    blocks.push(notes);
  }
  const heading = escapeText(title || `Slide ${number}`, { before: ' ', after: undefined });
  return { title, markdown: [`## ${heading}`, ...blocks].join('\n\n') };
}

async function mainPart(zip, env) {
  const root = await relationships(zip, env, '', 'package relationships').catch(() => new Map());
  const office = relationshipOfType(root, 'officeDocument');
  return office ? office.target : 'ppt/presentation.xml';
}

export async function convertPptx(bytes, env) {
  const zip = await openPackage(bytes, 'not a PowerPoint presentation');
  const main = await mainPart(zip, env);
  if (!zip.file(main) || !/presentation\.xml$/.test(main)) {
    throw new EngineError('not a PowerPoint presentation');
  }
  const presentation = await readPart(zip, env, main, 'presentation');
  const links = await relationships(zip, env, main, 'presentation');
  const assets = new Assets();
  const warnings = [];
  const sections = [];
  let firstTitle = null;
  const slideIds = descendants(presentation, 'sldId');
  const layouts = new Map();
  for (let i = 0; i < slideIds.length; i++) {
    const number = i + 1;
    const link = links.get(relationshipId(slideIds[i], 'id'));
    if (!link) {
      throw new EngineError(`slide ${number}: missing`);
    }
    const slide = await slideMarkdown(zip, env, link.target, number, assets, warnings, layouts);
    if (!slide) {
      continue;
    }
    if (firstTitle === null) {
      firstTitle = slide.title;
    }
    sections.push(slide.markdown);
  }
  const title = (await documentTitle(zip, env)) || firstTitle || '';
  const markdown = sections.length === 0 ? '' : `${sections.join('\n\n')}\n`;
  return { markdown, title, assets: assets.list, warnings };
}
