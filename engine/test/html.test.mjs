import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { call, eachCase, expectGolden, fixture, pngAssetNames } from './support.mjs';

const sample = () => fixture('sample.html').toString('utf8');
// A page kept as written beside the generated fixtures.
const page = (name) => readFileSync(new URL(`fixtures/${name}`, import.meta.url), 'utf8');

// No script, style, template or noscript; links, lists, a table, fenced code
// with its language, data: pictures as assets: see golden/sample.html.md.
test('an HTML file becomes Markdown', async () => {
  const result = await call('html', sample(), 'sample.html');
  assert.equal(result.error, undefined);
  assert.equal(result.title, 'Ferry timetable'); // from <title>, and not repeated in the body
  assert.deepEqual(pngAssetNames(result), ['image1.png']);
  expectGolden('sample.html.md', result.markdown);
});

// Small pages: rows [name, kind, html, address, title, markdown].
test('small pages give their title and Markdown', async (t) => {
  const docs = '<title>Docs</title><p><a href="guide.html">guide</a> <a href="#top">top</a></p>';
  const cases = [
    ['without a <title> the first h1 is the title', 'html', '<body><p>intro</p><h1>Tide\n  Times</h1><p>text</p></body>',
      'input', 'Tide Times', 'intro\n\n# Tide Times\n\ntext\n'],
    ['a rule that opens or closes the text goes', 'html', '<hr><p>text</p><hr><p>more</p><hr>', 'input', '',
      'text\n\n* * *\n\nmore\n'],
    ['code keeps the language its wrapper names', 'html', '<div class="highlight-python3 notranslate"><div class="highlight">'
      + '<pre><span>x</span> = 1</pre></div></div><div class="highlight-default"><pre>plain</pre></div>', 'input', '',
    '```python3\nx = 1\n```\n\n```\nplain\n```\n'],
    ['a <base> of the page decides how links resolve', 'url', '<head><base href="/docs/"></head><p><a href="a.html">a</a></p>',
      'https://b.example/x/y.html', '', '[a](https://b.example/docs/a.html)\n'],
    ['a directory-like address resolves links inside it', 'url', docs, 'https://b.example/docs/', 'Docs',
      '[guide](https://b.example/docs/guide.html) [top](#top)\n'],
    ['one without the slash resolves them beside it', 'url', docs, 'https://b.example/docs', 'Docs',
      '[guide](https://b.example/guide.html) [top](#top)\n'],
  ];
  await eachCase(t, cases, async (kind, html, address, title, markdown) => {
    const result = await call(kind, html, address);
    assert.equal(result.error, undefined);
    assert.deepEqual([result.title, result.markdown], [title, markdown]);
  });
});

// No navigation or footer, no repeated title, links and pictures absolute,
// the aside kept: fixtures/article.html gives golden/article.md.
test('a web page is reduced to its article with absolute links', async () => {
  const article = page('article.html');
  const result = await call('url', article, 'https://coast.example/news/2024/keepers.html');
  assert.equal(result.error, undefined);
  assert.match(result.title, /^Lighthouse keepers/);
  expectGolden('article.md', result.markdown);
  // An address that is not absolute leaves links as they are.
  const unresolved = await call('url', article, 'not an address');
  assert.match(unresolved.markdown, /\[the archive\]\(\.\.\/archive\/log\.html\)/);
});

// A documentation chapter as XHTML tools write it, in fixtures/chapter.html:
// every heading holds a self-closing anchor and a permalink mark, a footnote
// sits in an <aside>, and the page around it has the usual chrome. Every
// section with its heading and text, the footnote, no sidebar, log-in or
// footer links, no permalink marks, same-page anchors kept and the rest
// resolved against the address: see golden/chapter.md.
test('a chapter keeps all its sections, its footnote and no chrome', async () => {
  const result = await call('url', page('chapter.html'), 'http://docs.example/dir/sub/page.html');
  assert.equal(result.error, undefined);
  expectGolden('chapter.md', result.markdown);
});

test('pictures keep the address lazy loading or srcset would show, placeholders go', async () => {
  const gif = 'data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7';
  const result = await call('html', `<p><img src="${gif}" data-src="real.png" alt="lazy"> `
    + '<img srcset="a-320.jpg 320w, a-1280.jpg 1280w" alt="set"> '
    + `<img src="${gif}" alt="pixel"><picture><source srcset="p.webp 1x, p2.webp 2x"><img alt="pic"></picture>`
    + '<img src="t.gif" width="1" height="1"></p>');
  assert.match(result.markdown, /^!\[lazy\]\(real\.png\) !\[set\]\(a-1280\.jpg\) +!\[pic\]\(p2\.webp\)$/m);
  assert.deepEqual(result.assets, []);
});

// Each pass is linear and no list of parts goes through one call.
test('pages with very many parts convert', async () => {
  const many = `<pre>${'`'.repeat(5)}${' `'.repeat(150000)}</pre><img src="data:image/png${';a'.repeat(100000)}" alt="bad">`;
  const result = await call('html', many);
  assert.equal(result.error, undefined);
  assert.match(result.markdown, /^``````\n`````/);
  assert.equal(result.assets.length, 0);
});
