import { test } from 'node:test';
import assert from 'node:assert/strict';
import MarkdownIt from 'markdown-it';
import { eachCase, env, markdownOf as convert } from './support.mjs';

// A CommonMark reader with GFM tables and strikethrough, raw HTML let through.
const reader = new MarkdownIt({ html: true });
// Blocks and cells are compared without white space, which they add.
const textOf = (html) => new env.DOMParser().parseFromString(html, 'text/html').body.textContent.replace(/\s+/g, '');

const texts = [
  'file_name_here and __init__ and _private and snake_case_', 'skipkeys=False, 2*3*4 = 24, a * b',
  '*not bold* and **not strong** and ~~not struck~~ and a~b~c', 'git commit -C <commit> <file>...',
  '&amp; &copy; &#169; stay as they are & so does this', 'C:\\temp\\new and a \\* b and a\\',
  '[not a link](x) [^1] [a]: b [] ]', '`not code` and ``two``', '# not a heading', '## 7. Beyond',
  '7. not a list', '7) not either', '- not a bullet', '+ nor this', '* nor this', '> not a quote',
  '--- ', '***', '=====', '```', '~~~ not a fence', 'a|b|c', '<!-- not a comment -->', 'x <y z>',
  'price < 5 > 3', 'ends with \\', '100 % sure #1 and -rw-r--r-- 1 root', 'Look!',
];

test('text reads back as it was', async (t) => {
  const contexts = [
    ['a paragraph', (text) => `<p>${text}</p>`],
    ['a list item', (text) => `<ul><li>${text}</li></ul>`],
    ['a heading', (text) => `<h2>${text}</h2>`],
    ['a table cell', (text) => `<table><tr><th>h</th><th>i</th></tr><tr><td>${text}</td><td>x</td></tr></table>`],
    ['after a line break', (text) => `<p>first<br>${text}</p>`],
    ['bold and linked', (text) => `<p><b>${text}</b> <a href="https://a.example/">${text}</a></p>`],
    ['between inline code', (text) => `<p><code>a</code>${text}<code>b</code></p>`],
    ['right before a link', (text) => `<p>${text}<a href="https://a.example/">x</a></p>`],
  ];
  const escape = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  await eachCase(t, contexts, (wrap) => {
    for (const text of texts) {
      const html = wrap(escape(text));
      const markdown = convert(html);
      assert.equal(textOf(reader.render(markdown)), textOf(html), markdown);
    }
  });
});

test('nothing is escaped that would read the same without; no break ends a block; sup and sub stay', async (t) => {
  const cases = [
    ['words with underscores', '<p>file_name_here</p>', 'file_name_here\n'],
    ['an equals sign', '<p>skipkeys=False</p>', 'skipkeys=False\n'],
    ['a number in a heading', '<h1>7. Beyond</h1>', '# 7. Beyond\n'],
    ['a dash in a cell', '<table><tr><th>mode</th></tr><tr><td>-rw-r--r--</td></tr></table>',
      '| mode |\n| --- |\n| -rw-r--r-- |\n'],
    ['a lone star', '<p>a * b</p>', 'a * b\n'],
    ['brackets that make no link', '<p>[1] and [a] b</p>', '[1] and [a] b\n'],
    ['a less-than before a space', '<p>a < b</p>', 'a < b\n'],
    ['a hash inside a line', '<p>item #3</p>', 'item #3\n'],
    ['angle brackets around a word', '<p>-C &lt;commit&gt;</p>', '-C \\<commit>\n'],
    ['a break at the end of a block', '<p>one<br></p><p>two<br><br></p>', 'one\n\ntwo\n'],
    ['a break at the start of a block', '<p><br>one</p>', 'one\n'],
    ['a break inside stays', '<p>one<br>two</p>', 'one\\\ntwo\n'],
    ['an escaped backslash at the end stays', '<p>C:\\</p>', 'C:\\\\\n'],
    ['superscript and subscript', '<p>x<sup>2</sup> and H<sub>2</sub>O</p>', 'x<sup>2</sup> and H<sub>2</sub>O\n'],
  ];
  await eachCase(t, cases, (html, expected) => assert.equal(convert(html), expected));
});
