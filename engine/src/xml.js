// Walking the Office parts' XML: elements are matched by local name, since
// the prefixes a writer chooses vary and the browser's parser and jsdom do
// not agree on localName for every node.

export function local(node) {
  return node.localName || String(node.nodeName).replace(/^.*:/, '');
}

// The element children of `node`, only those named `name` when it is given.
export function elements(node, name) {
  return Array.from(node.childNodes).filter((child) => child.nodeType === 1
    && (name === undefined || local(child) === name));
}

// The first element down a path of names, or null; no list of children is
// made, as a paragraph may have very many runs.
export function first(node, ...path) {
  let current = node || null;
  for (const name of path) {
    let child = current && current.firstElementChild;
    while (child && local(child) !== name) {
      child = child.nextElementSibling;
    }
    current = child || null;
  }
  return current;
}

export function descendants(node, name) {
  return Array.from(node.getElementsByTagName('*')).filter((element) => local(element) === name);
}
