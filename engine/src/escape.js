// Escapes plain text for Markdown only where a CommonMark reader would
// otherwise read it as syntax at that spot: file_name_here and 7. stay as
// they are, *emphasis*, <tags>, &entities; and a leading "- " do not.
//
// The neighbours of a piece of text are given as a character, as undefined
// for the edge of a line (white space to the reader), or as null when they
// are not known: then every kind of neighbour is assumed in turn.

const WHITE = /\s/u;
const PUNCTUATION = /[\p{P}\p{S}]/u;
const ASCII_PUNCTUATION = /[!-/:-@[-`{-~]/;
const UNKNOWN = ['a', ' ', '!'];

const white = (c) => c === undefined || WHITE.test(c);
const punctuation = (c) => c !== undefined && PUNCTUATION.test(c);

function flanking(before, after) {
  const left = !white(after) && (!punctuation(after) || white(before) || punctuation(before));
  const right = !white(before) && (!punctuation(before) || white(after) || punctuation(after));
  return { left, right };
}

// Whether a delimiter run between these neighbours can open or close
// emphasis (or strikethrough for "~", which only needs its closers escaped).
function delimiterActs(mark, before, after) {
  for (const b of before === null ? UNKNOWN : [before]) {
    for (const a of after === null ? UNKNOWN : [after]) {
      const { left, right } = flanking(b, a);
      if (mark === '*' && (left || right)) {
        return true;
      }
      if (mark === '_' && ((left && (!right || punctuation(b))) || (right && (!left || punctuation(a))))) {
        return true;
      }
      if (mark === '~' && right) {
        return true;
      }
    }
  }
  return false;
}

const ENTITY = /^&(?:#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[A-Za-z][A-Za-z0-9]{1,31});/;

// Where a line's first characters would start a block: the index to escape.
function lineStartEscape(text, start, after) {
  const rest = text.slice(start, start + 40);
  const next = (length) => (start + length < text.length ? text[start + length] : after);
  const ends = (length) => next(length) === null || white(next(length));
  let match;
  if ((match = /^#{1,6}/.exec(rest)) && ends(match[0].length)) {
    return start;
  }
  if (/^(?:>|`{3}|~{3})/.test(rest)) {
    return start;
  }
  if (/^[-+*]/.test(rest) && ends(1)) {
    return start;
  }
  if ((match = /^[0-9]{1,9}[.)]/.exec(rest)) && ends(match[0].length)) {
    return start + match[0].length - 1;
  }
  const line = text.slice(start).split('\n', 1)[0];
  if (line.length <= 200 && (/^([-*_])(?:[ \t]*\1){2,}[ \t]*$/.test(line) || /^(?:=+|-+)[ \t]*$/.test(line))) {
    return start;
  }
  return -1;
}

// `inLink`: the text is inside a link's or an image's brackets, where every
// bracket must be escaped.
export function escapeText(text, options = {}) {
  // undefined is a neighbour too (a line's edge), so no default stands in for it
  const before = 'before' in options ? options.before : null;
  const after = 'after' in options ? options.after : null;
  const { lineStart = false, inLink = false } = options;
  const escape = new Set();
  if (lineStart) {
    let start = 0;
    while (start < text.length && WHITE.test(text[start])) {
      start++;
    }
    if (start < text.length) {
      const at = lineStartEscape(text, start, after);
      if (at >= 0) {
        escape.add(at);
      }
    }
  }
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    const next = i + 1 < text.length ? text[i + 1] : after;
    switch (c) {
    case '\\':
      if (next === null || next === undefined || ASCII_PUNCTUATION.test(next)) {
        escape.add(i);
      }
      break;
    case '`':
      escape.add(i);
      break;
    case '*':
    case '_':
    case '~': {
      let end = i;
      while (end < text.length && text[end] === c) {
        end++;
      }
      const runBefore = i > 0 ? text[i - 1] : before;
      const runAfter = end < text.length ? text[end] : after;
      if (delimiterActs(c, runBefore, runAfter)) {
        for (let k = i; k < end; k++) {
          escape.add(k);
        }
      }
      i = end - 1;
      break;
    }
    case '!':
      if (next === '[' || next === null) {
        escape.add(i); // else it makes the link after it a picture
      }
      break;
    case '[':
      if (inLink || next === '^' || next === null) {
        escape.add(i);
      }
      break;
    case ']':
      if (inLink || next === null || next === '(' || next === '[' || next === ':') {
        escape.add(i);
      }
      break;
    case '<':
      if (next === null || /[A-Za-z/!?]/.test(next || '')) {
        escape.add(i);
      }
      break;
    case '&':
      if (ENTITY.test(text.slice(i, i + 40))) {
        escape.add(i);
      }
      break;
    default:
      break;
    }
  }
  if (escape.size === 0) {
    return text;
  }
  const parts = [];
  let from = 0;
  for (const at of Array.from(escape).sort((a, b) => a - b)) {
    parts.push(text.slice(from, at), '\\');
    from = at;
  }
  parts.push(text.slice(from));
  return parts.join('');
}
