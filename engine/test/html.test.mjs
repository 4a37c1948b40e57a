import { test } from 'node:test';
import assert from 'node:assert/strict';
import { call, eachCase, expectGolden, fixture, pngAssetNames } from './support.mjs';

const sample = () => fixture('sample.html').toString('utf8');

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
    ['permalinks in headings go', 'html', '<h2 id="u">Use<a href="#u" title="Link">&#xf0c1;</a></h2>'
      + '<h3 id="n"><a href="#n"></a>Name <a href="#n">1</a></h3><dl><dt id="f">f()<a href="#f">&#xf0c1;</a></dt></dl>',
    'input', '', '## Use\n\n### Name [1](#n)\n\nf()\n'],
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

const article = `<!DOCTYPE html><html><head><title>Lighthouse keepers | Coast News</title></head><body>
<nav><a href="/">Home</a> <a href="/about">About</a> navmarker</nav>
<article>
<h1>Lighthouse keepers</h1>
${'<p>The last keepers of the northern light left in 1987, after the lamp was automated. They kept a log of every ship that passed, every storm and every repair, and the log now rests in the town museum, open to visitors on weekdays. </p>'.repeat(4)}
<p>See <a href="../archive/log.html">the archive</a> and <img src="/img/lamp.png" alt="The lamp">.</p>
<aside class="footnote">Footnote: the lamp still turns.</aside>
</article>
<footer>footermarker</footer>
</body></html>`;

// No navigation or footer, no repeated title, links and pictures absolute,
// the aside kept: see golden/article.md.
test('a web page is reduced to its article with absolute links', async () => {
  const result = await call('url', article, 'https://coast.example/news/2024/keepers.html');
  assert.equal(result.error, undefined);
  assert.match(result.title, /^Lighthouse keepers/);
  expectGolden('article.md', result.markdown);
  // An address that is not absolute leaves links as they are.
  const unresolved = await call('url', article, 'not an address');
  assert.match(unresolved.markdown, /\[the archive\]\(\.\.\/archive\/log\.html\)/);
});

// A documentation chapter as XHTML tools write it: every heading holds a
// self-closing anchor, each has a permalink mark, a footnote sits in an
// <aside>, and the page around it has the usual chrome.
const sections = Array.from({ length: 8 }, (_, i) => `<div class="section">
<h2 class="title"><a id="s${i + 1}"/>${i + 1}. Topic ${'ABCDEFGH'[i]}<a class="headerlink" href="#s${i + 1}" title="Permalink">¶</a></h2>
<p>Paragraph ${i + 1} explains the tides of bay ${i + 1} in plain words for the reader.</p>
<ul><li><a href="#s${(i + 1) % 8 + 1}">Section ${(i + 1) % 8 + 1}</a> (next topic)</li>
<li><a href="../other.html">Other chapter</a> (further reading)</li></ul></div>`).join('\n');
const chapter = `<!DOCTYPE html><html><head><title>Chapter 1. Tides</title></head><body>
<header class="site-header"><nav><a href="/">Home</a> <a href="/login">Log in</a> <a href="/join">Create account</a></nav></header>
<div class="sidebar"><button>move to sidebar</button><label for="lang">42 languages</label><input id="lang" type="checkbox">
<ul><li><a href="/de">Deutsch</a></li><li><a href="/fr">Français</a></li></ul></div>
<div class="chapter"><h1 class="title"><a id="top"/>Chapter 1. Tides</h1>
${sections}
<p>Water rises twice a day.<aside class="footnote">Footnote: in most seas, not all of them.</aside></p>
<p><img src="img/bay.png" alt="The bay"> and <a href="other.html#x">more</a>.</p>
</div>
<footer><a href="/privacy">Privacy</a> <a href="/terms">Terms</a></footer>
</body></html>`;

// Every section with its heading and text, the footnote, no sidebar, log-in or
// footer links, no permalink marks, same-page anchors kept and the rest
// resolved against the address: see golden/chapter.md.
test('a chapter keeps all its sections, its footnote and no chrome', async () => {
  const result = await call('url', chapter, 'http://docs.example/dir/sub/page.html');
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
