// Reshapes every table into what a GFM table can hold: one header row, the
// same number of cells in every row, merged cells spread out (the text stays
// in the first cell, the cells it covered are left empty) and every cell one
// line of inline content. Nested tables become their text.

const BLOCKS = new Set([
  'P', 'DIV', 'H1', 'H2', 'H3', 'H4', 'H5', 'H6', 'LI', 'UL', 'OL', 'BLOCKQUOTE',
  'DL', 'DT', 'DD', 'SECTION', 'ARTICLE', 'HEADER', 'FOOTER', 'FIGURE', 'FIGCAPTION',
  'ADDRESS', 'CENTER', 'TABLE', 'TBODY', 'THEAD', 'TFOOT', 'TR', 'TD', 'TH', 'CAPTION',
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

function spanOf(cell, attribute) {
  const value = parseInt(cell.getAttribute(attribute) || '1', 10);
  return Number.isFinite(value) && value > 1 ? Math.min(value, 1000) : 1;
}

function rebuild(document, table) {
  const grid = [];
  const rows = Array.from(table.rows);
  rows.forEach((row, r) => {
    grid[r] = grid[r] || [];
    let column = 0;
    for (const cell of Array.from(row.cells)) {
      while (grid[r][column] !== undefined) {
        column++;
      }
      const across = spanOf(cell, 'colspan');
      const down = Math.min(spanOf(cell, 'rowspan'), rows.length - r);
      for (let dr = 0; dr < down; dr++) {
        grid[r + dr] = grid[r + dr] || [];
        for (let dc = 0; dc < across; dc++) {
          grid[r + dr][column + dc] = dr === 0 && dc === 0 ? cell : null;
        }
      }
      column += across;
    }
  });
  const width = Math.max(0, ...grid.map((row) => row.length));
  if (grid.length === 0 || width === 0) {
    table.remove();
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

export function flattenTables(root) {
  const document = root.ownerDocument || root;
  const tables = Array.from(root.querySelectorAll('table')).reverse();
  for (const table of tables) {
    if (table.parentNode && table.parentNode.closest && table.parentNode.closest('table')) {
      const text = Array.from(table.querySelectorAll('th, td'), (cell) => cell.textContent).join(' ');
      table.replaceWith(document.createTextNode(` ${text.replace(/\s+/g, ' ').trim()} `));
    }
  }
  for (const table of Array.from(root.querySelectorAll('table'))) {
    rebuild(document, table);
  }
}
