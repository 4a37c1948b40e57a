import { test } from 'node:test';
import assert from 'node:assert/strict';
import { tidyMarkdown } from '../src/markdown.js';
import { eachCase, markdownOf as convert } from './support.mjs';

test('tidy Markdown', async (t) => {
  const cases = [
    ['one blank line between blocks', 'a\n\n\n\nb\n', 'a\n\nb\n'],
    ['no leading or trailing blank lines', '\n\n a\n\n\n', ' a\n'],
    ['no trailing spaces', 'a  \nb\t\n', 'a\nb\n'],
    ['empty stays empty', '\n \n', ''],
    ['CR LF becomes LF', 'a\r\n\r\n\r\nb', 'a\n\nb\n'],
    ['blank lines inside code stay', '```\nx\n\n\ny\n```\n\n\nz', '```\nx\n\n\ny\n```\n\nz\n'],
  ];
  await eachCase(t, cases, (input, expected) => assert.equal(tidyMarkdown(input), expected));
});

test('blocks become tidy Markdown', async (t) => {
  const cases = [
    ['ATX headings', '<h1>One</h1><h3>Three</h3>', '# One\n\n### Three\n'],
    ['bold and italic', '<p><b>bold</b> and <i>italic</i></p>', '**bold** and *italic*\n'],
    ['dash bullets, nested by two', '<ul><li>a<ul><li>b<ul><li>c</li></ul></li></ul></li><li>d</li></ul>',
      '- a\n  - b\n    - c\n- d\n'],
    ['numbered lists keep their numbers', '<ol start="4"><li>four<ol><li>one</li></ol></li><li>five</li></ol>',
      '4. four\n   1. one\n5. five\n'],
    ['fenced code with its language', '<pre><code class="language-js">let a = 1;\n\nlet b;\n</code></pre>',
      '```js\nlet a = 1;\n\nlet b;\n```\n'],
    ['line breaks in preformatted text are its lines', '<pre>a<br>  b</pre>', '```\na\n  b\n```\n'],
    ['fence longer than backticks inside', '<pre>a ``` b</pre>', '````\na ``` b\n````\n'],
    ['links', '<p><a href="https://a.example/x">there</a></p>', '[there](https://a.example/x)\n'],
    ['inline code keeps only its text', '<p><code>rule <em>name</em></code> <code><a href="u">x<b>y</b></a></code></p>',
      '`rule name` [`xy`](u)\n'],
    ['emphasis runs side by side pair up', '<p><b>-a</b> <i>f</i><b>, --arg=</b><i>f</i> <em>D</em><em>[x]</em></p>',
      '**-a** _f_**, --arg=**_f_ *D[x]*\n'],
    ['links inside the document keep their text', '<p><a href="#_Toc1">Part</a></p>', 'Part\n'],
  ];
  await eachCase(t, cases, (html, expected) => assert.equal(convert(html), expected));
});

test('tables become GFM tables', async (t) => {
  const cases = [
    ['header row from th', '<table><tr><th>A</th><th>B</th></tr><tr><td>1</td><td>2</td></tr></table>',
      '| A | B |\n| --- | --- |\n| 1 | 2 |\n'],
    ['first row becomes the header when none is marked', '<table><tr><td>A</td><td>B</td></tr><tr><td>1</td><td>2</td></tr></table>',
      '| A | B |\n| --- | --- |\n| 1 | 2 |\n'],
    ['merged across keeps the text in the first cell',
      '<table><tr><th>A</th><th>B</th><th>C</th></tr><tr><td colspan="2">wide</td><td>3</td></tr></table>',
      '| A | B | C |\n| --- | --- | --- |\n| wide |  | 3 |\n'],
    ['merged down leaves the covered cells empty',
      '<table><tr><th>A</th><th>B</th></tr><tr><td rowspan="2">tall</td><td>1</td></tr><tr><td>2</td></tr></table>',
      '| A | B |\n| --- | --- |\n| tall | 1 |\n|  | 2 |\n'],
    ['paragraphs and lists in a cell join on one line',
      '<table><tr><th>A</th><th>B</th></tr><tr><td><p>one</p><p>two</p></td><td><ul><li>x</li><li>y</li></ul></td></tr></table>',
      '| A | B |\n| --- | --- |\n| one two | x y |\n'],
    ['pipes are escaped', '<table><tr><th>a|b</th><th>c</th></tr><tr><td>||</td><td>d</td></tr></table>',
      '| a\\|b | c |\n| --- | --- |\n| \\|\\| | d |\n'],
    ['short rows are filled', '<table><tr><th>A</th><th>B</th></tr><tr><td>1</td></tr></table>',
      '| A | B |\n| --- | --- |\n| 1 |  |\n'],
    ['no span reaches past the widest row', '<table><tr><th colspan="1000">A</th></tr><tr><td>1</td><td>2</td></tr></table>',
      '| A |  |\n| --- | --- |\n| 1 | 2 |\n'],
    ['a grid too large to draw keeps its rows as text',
      `<table>${'<tr><td>a</td><td colspan="400">b</td></tr>'.repeat(300)}<tr>${'<td>x</td>'.repeat(400)}</tr></table>`,
      `${'a | b\n\n'.repeat(300)}${'x | '.repeat(399)}x\n`],
    ['a table of one cell is its content', '<table><caption>Box</caption><tr><td><pre>a\n  b</pre><p>c</p></td></tr></table>',
      'Box\n\n```\na\n  b\n```\n\nc\n'],
    ['a table holding a table or a listing is written as blocks',
      '<table><tr><th>A</th><th><pre>1\n 2</pre></th></tr><tr><td><table><tr><td>in</td><td>ner</td></tr></table></td></tr></table>',
      'A\n\n```\n1\n 2\n```\n\n| in | ner |\n| --- | --- |\n'],
  ];
  await eachCase(t, cases, (html, expected) => assert.equal(convert(html), expected));
});

test('no HTML is left over', () => {
  const markdown = convert('<table><tr><th><div>Head</div></th><th><pre><code>x</code></pre></th></tr>'
    + '<tr><td><blockquote>q</blockquote></td><td>line<br>break</td></tr></table>'
    + '<div><span>plain</span> <u>under</u> <sup>up</sup></div>');
  assert.doesNotMatch(markdown.replace(/<\/?su[bp]>/g, ''), /<\/?[a-z][^>]*>/i, markdown);
  assert.match(markdown, /\| Head \| `x` \|/);
  assert.match(markdown, /\| q \| line break \|/);
});

// Each pass over text must be linear: a quadratic one takes minutes here.
test('long runs of white space before text convert at once', () => {
  const spaces = ' '.repeat(320000);
  const markdown = convert(`<pre>${spaces}x\n${'\n'.repeat(320000)}y</pre><p>a${spaces}b${'\u00a0'.repeat(320000)}c</p>`
    + `<ul><li>item${'\n'.repeat(320000)}<p>text</p></li></ul><table><tr><td>a${spaces}\n${spaces}b</td><td>c</td></tr></table>`);
  assert.equal(markdown, `\`\`\`\n${spaces}x\n${'\n'.repeat(320000)}y\n\`\`\`\n\na b c\n\n- item\n\n  text\n\n| a b | c |\n| --- | --- |\n`);
});
