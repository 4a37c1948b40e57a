// Reshapes every table into what a GFM table can hold: one header row, the
// same number of cells in every row, merged cells spread out (the text stays
// in the first cell, the cells it covered are left empty) and every cell one
// line of inline content.

// Headings and tables in a cell make its table blocks (tablesLayingOutBlocks).
const BLOCKS = new Set([
  'P', 'DIV', 'LI', 'UL', 'OL', 'BLOCKQUOTE', 'DL', 'DT', 'DD', 'SECTION', 'ARTICLE', 'HEADER',
  'FOOTER', 'FIGURE', 'FIGCAPTION', 'ADDRESS', 'CENTER',
]);

function flattenCell(document, cell) {
  for (const node of Array.from(cell.querySelectorAll('*')).reverse()) {
    const name = node.nodeName;
    if (name === 'BR' || name === 'HR') {
      node.replaceWith(document.createTextNode(' '));
    } else if (name === 'PRE') {
      const code = document.createElement('code');
      code.textContent = node.textContent.replace(/\s+/g, ' ').trim();
      node.replaceWith(code);
    } else if (BLOCKS.has(name)) {
      const span = document.createElement('span');
      while (node.firstChild) {
        span.appendChild(node.firstChild);
      }
      node.replaceWith(document.createTextNode(' '), span, document.createTextNode(' '));
    }
  }
}

// A table spread over more cells than this is written as its rows' text: a
// few kilobytes of HTML with large spans would otherwise make a grid of
// millions of empty cells.
const MAX_GRID_CELLS = 100000;

function spanOf(cell, attribute, limit) {
  const value = parseInt(cell.getAttribute(attribute) || '1', 10);
  return Number.isFinite(value) && value > 1 ? Math.min(value, limit) : 1;
}

// Each row as one paragraph, its cells' text joined by " | ".
function rowsAsText(document, table, rows) {
  const holder = document.createElement('div');
  for (const row of rows) {
    const texts = Array.from(row.cells, (cell) => cell.textContent.replace(/\s+/g, ' ').trim())
      .filter((text) => text !== '');
    if (texts.length > 0) {
      holder.appendChild(document.createElement('p')).textContent = texts.join(' | ');
    }
  }
  table.replaceWith(holder);
}

function rebuild(document, table) {
  const grid = [];
  const rows = Array.from(table.rows);
  // No cell spans more columns than the widest row has cells.
  const widest = rows.reduce((most, row) => Math.max(most, row.cells.length), 1);
  let cells = 0;
  for (let r = 0; r < rows.length; r++) {
    for (const cell of Array.from(rows[r].cells)) {
      cells += spanOf(cell, 'colspan', widest) * spanOf(cell, 'rowspan', rows.length - r);
    }
    if (cells > MAX_GRID_CELLS) {
      rowsAsText(document, table, rows);
      return;
    }
  }
  rows.forEach((row, r) => {
    grid[r] = grid[r] || [];
    let column = 0;
    for (const cell of Array.from(row.cells)) {
      while (grid[r][column] !== undefined) {
        column++;
      }
      const across = spanOf(cell, 'colspan', widest);
      const down = spanOf(cell, 'rowspan', rows.length - r);
      for (let dr = 0; dr < down; dr++) {
        grid[r + dr] = grid[r + dr] || [];
        for (let dc = 0; dc < across; dc++) {
          grid[r + dr][column + dc] = dr === 0 && dc === 0 ? cell : null;
        }
      }
      column += across;
    }
  });
  const width = grid.reduce((most, row) => Math.max(most, row.length), 0);
  if (grid.length === 0 || width === 0) {
    table.remove();
    return;
  }
  if (grid.length * width > MAX_GRID_CELLS) {
    rowsAsText(document, table, rows);
    return;
  }
  const fresh = document.createElement('table');
  const caption = table.querySelector('caption');
  if (caption) {
    fresh.appendChild(caption);
  }
  const head = fresh.appendChild(document.createElement('thead'));
  const body = fresh.appendChild(document.createElement('tbody'));
  grid.forEach((cells, r) => {
    const tr = (r === 0 ? head : body).appendChild(document.createElement('tr'));
    for (let c = 0; c < width; c++) {
      const target = tr.appendChild(document.createElement(r === 0 ? 'th' : 'td'));
      const source = cells[c];
      if (source) {
        while (source.firstChild) {
          target.appendChild(source.firstChild);
        }
        const align = source.getAttribute('align');
        if (align) {
          target.setAttribute('align', align);
        }
        flattenCell(document, target);
      }
    }
  });
  table.replaceWith(fresh);
}

function enclosingTable(node) {
  const parent = node.parentNode;
  return parent && parent.closest ? parent.closest('table') : null;
}

// A table of one cell is a box drawn around its content; one holding what
// a Markdown table cannot (a heading, a listing of several lines, another
// table) lays blocks out on the page. Both are found in one pass: every
// table around such a block.
function tablesLayingOutBlocks(outer) {
  const found = new Set();
  for (const table of [outer, ...Array.from(outer.querySelectorAll('table'))]) {
    if (table.rows.length === 1 && table.rows[0].cells.length === 1) {
      found.add(table);
    }
  }
  for (const block of Array.from(outer.querySelectorAll('h1, h2, h3, h4, h5, h6, table, pre'))) {
    if (block.nodeName === 'PRE' && !block.textContent.trim().includes('\n')) {
      continue;
    }
    // the tables above one already found were found with it
    for (let table = enclosingTable(block); table && !found.has(table); table = enclosingTable(table)) {
      found.add(table);
    }
  }
  return found;
}

// The table's cells become their blocks in reading order, under its caption.
function spread(document, table) {
  const cells = Array.from(table.rows).flatMap((row) => Array.from(row.cells));
  const parts = [table.caption, ...cells].filter(Boolean);
  for (const part of parts) {
    // a box's content needs no block of its own
    const block = parts.length === 1 ? null : document.createElement(part === table.caption ? 'p' : 'div');
    if (block) {
      table.before(block);
    }
    while (part.firstChild) {
      if (block) {
        block.appendChild(part.firstChild);
      } else {
        table.before(part.firstChild);
      }
    }
  }
  table.remove();
}

export function flattenTables(root) {
  const document = root.ownerDocument || root;
  const outermost = Array.from(root.querySelectorAll('table')).filter((table) => !enclosingTable(table));
  // Each outermost table is reshaped out of the page: moving what a table
  // holds inside the page costs as much as all of it, at every level.
  for (const outer of outermost) {
    const place = outer.parentNode.insertBefore(document.createComment(''), outer);
    const fragment = document.createDocumentFragment();
    fragment.appendChild(outer);
    const spreading = tablesLayingOutBlocks(outer);
    for (const table of [outer, ...Array.from(outer.querySelectorAll('table'))]) {
      if (spreading.has(table)) {
        spread(document, table);
      }
    }
    for (const table of Array.from(fragment.querySelectorAll('table'))) {
      rebuild(document, table);
    }
    place.replaceWith(fragment);
  }
}
