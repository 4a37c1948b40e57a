import { test } from 'node:test';
import assert from 'node:assert/strict';
import { call, eachCase, expectGolden, fixture, pngAssetNames, rezip } from './support.mjs';

const M = 'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math"';

const sample = () => fixture('sample.docx');

// Title, headings, marks, links, nested and numbered lists, notes, a table
// with merged cells, code and pictures with their alt text: see golden/sample.docx.md.
test('a Word document becomes Markdown', async () => {
  const result = await call('docx', sample());
  assert.equal(result.error, undefined);
  assert.equal(result.title, 'Harbour Survey 2024');
  assert.deepEqual(pngAssetNames(result), ['image1.png', 'image2.png']);
  expectGolden('sample.docx.md', result.markdown);
});

test('faults of the document come back as short errors', async (t) => {
  const cases = [
    ['not a zip', async () => Buffer.from('plain text, not a zip'), /^not a Word document$/],
    ['a zip without a Word document', async () => rezip(fixture('sample.pptx'), {}), /^not a Word document$/],
    ['a broken document part', async () => rezip(sample(), { 'word/document.xml': '<w:document><w:body><w:p>' }),
      /^unreadable Word document: /],
  ];
  await eachCase(t, cases, async (make, expected) => {
    const result = await call('docx', await make());
    assert.match(result.error, expected);
    assert.equal(result.markdown, '');
    assert.ok(result.error.length < 200);
  });
});

const inline = `<w:p><w:r><w:t xml:space="preserve">Energy is </w:t></w:r><m:oMath ${M}><m:r><m:t>E=m</m:t></m:r>`
  + '<m:sSup><m:e><m:r><m:t>c</m:t></m:r></m:e><m:sup><m:r><m:t>2</m:t></m:r></m:sup></m:sSup></m:oMath>'
  + '<w:r><w:t xml:space="preserve"> exactly_so.</w:t></w:r></w:p>';
const display = `<w:p><m:oMathPara ${M}><m:oMath><m:f><m:num><m:r><m:t>a_1</m:t></m:r></m:num>`
  + '<m:den><m:r><m:t>b</m:t></m:r></m:den></m:f></m:oMath><m:oMath><m:r><m:t>c=2</m:t></m:r></m:oMath></m:oMathPara></w:p>';
const core = (title) => ({ 'docProps/core.xml': (xml) => xml.replace('<dc:title></dc:title>', `<dc:title>${title}</dc:title>`) });
// The document with `paragraphs` put before the paragraph holding `marker`.
const before = (marker, paragraphs) => ({
  'word/document.xml': (xml) => {
    const at = xml.lastIndexOf('<w:p>', xml.indexOf(marker));
    return xml.slice(0, at) + paragraphs + xml.slice(at);
  },
});

// Rows [name, changes to the sample, title, patterns the Markdown matches
// (a string: the warnings)].
test('edited documents convert as edited', async (t) => {
  const cases = [
    ['the title property wins and the Title paragraph then stays', core('Port   of\nCall'), 'Port of Call',
      [/^# Harbour Survey 2024\n\n# Findings/]],
    ['a title property equal to the Title paragraph leaves one title', core('Harbour Survey 2024'),
      'Harbour Survey 2024', [/^# Findings/]],
    ['without a title property or Title paragraph the first level-one heading is the title', {
      'word/document.xml': (xml) => xml.replace('<w:pStyle w:val="Title"/>', '<w:pStyle w:val="Normal"/>')
        .replace(/Harbour\s*Survey\s*2024/, ''),
    }, 'Findings', [/^The \*\*eastern quay\*\*/]],
    ['equations become LaTeX math', before('Last word marker', inline + display), 'Harbour Survey 2024',
      [/^Energy is \$E=m\{c\}\^\{2\}\$ exactly_so\.$/m, /^\$\$\\frac\{a\\_1\}\{b\} \\\\ c=2\$\$$/m,
        /^Last word marker quayside\.\[\^2\]$/m]],
    ['a numbered list interrupted by a paragraph keeps counting',
      before('Refill', '<w:p><w:r><w:t>Wait for the tide.</w:t></w:r></w:p>'), 'Harbour Survey 2024',
      [/^ {3}2\. Lower gate\n\nWait for the tide\.\n\n3\. Refill$/m]],
    ['mammoth\'s messages become warnings', {
      'word/document.xml': (xml) => xml.replace('<w:pStyle w:val="Heading1"/>', '<w:pStyle w:val="Fancy"/>'),
      'word/styles.xml': (xml) => xml.replace('</w:styles>',
        '<w:style w:type="paragraph" w:styleId="Fancy"><w:name w:val="Fancy Words"/></w:style></w:styles>'),
    }, 'Harbour Survey 2024', [/^Findings$/m, 'Fancy Words']],
  ];
  await eachCase(t, cases, async (changes, title, present) => {
    const result = await call('docx', await rezip(sample(), changes));
    assert.equal(result.error, undefined);
    assert.equal(result.title, title);
    for (const pattern of present) {
      if (typeof pattern === 'string') {
        assert.ok(result.warnings.some((warning) => warning.includes(pattern)), result.warnings.join('; '));
      } else {
        assert.match(result.markdown, pattern);
      }
    }
  });
});
