import { test } from 'node:test';
import assert from 'node:assert/strict';
import { callFile, eachCase, expectGolden, fixture, pngAssetNames, rezip } from './support.mjs';

const M = 'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math"';

const sample = () => fixture('sample.docx');

// Title, headings, marks, links, nested and numbered lists, notes, a table
// with merged cells and pictures with their alt text: see golden/sample.docx.md.
test('a Word document becomes Markdown', async () => {
  const result = await callFile('docx', sample());
  assert.equal(result.error, undefined);
  assert.equal(result.title, 'Harbour Survey 2024');
  assert.deepEqual(pngAssetNames(result), ['image1.png', 'image2.png']);
  expectGolden('sample.docx.md', result.markdown);
});

test('the title property wins and the Title paragraph then stays', async () => {
  const bytes = await rezip(sample(), {
    'docProps/core.xml': (xml) => xml.replace('<dc:title></dc:title>', '<dc:title>Port   of\nCall</dc:title>'),
  });
  const result = await callFile('docx', bytes);
  assert.equal(result.title, 'Port of Call');
  assert.match(result.markdown, /^# Harbour Survey 2024\n\n# Findings/);
});

test('a title property equal to the Title paragraph leaves one title', async () => {
  const bytes = await rezip(sample(), {
    'docProps/core.xml': (xml) => xml.replace('<dc:title></dc:title>', '<dc:title>Harbour Survey 2024</dc:title>'),
  });
  const result = await callFile('docx', bytes);
  assert.equal(result.title, 'Harbour Survey 2024');
  assert.match(result.markdown, /^# Findings/);
});

test('equations become LaTeX math', async () => {
  const inline = `<w:p><w:r><w:t xml:space="preserve">Energy is </w:t></w:r><m:oMath ${M}><m:r><m:t>E=m</m:t></m:r>`
    + '<m:sSup><m:e><m:r><m:t>c</m:t></m:r></m:e><m:sup><m:r><m:t>2</m:t></m:r></m:sup></m:sSup></m:oMath>'
    + '<w:r><w:t xml:space="preserve"> exactly_so.</w:t></w:r></w:p>';
  const display = `<w:p><m:oMathPara ${M}><m:oMath><m:f><m:num><m:r><m:t>a_1</m:t></m:r></m:num>`
    + '<m:den><m:r><m:t>b</m:t></m:r></m:den></m:f></m:oMath></m:oMathPara></w:p>';
  const bytes = await rezip(sample(), {
    'word/document.xml': (xml) => {
      const at = xml.lastIndexOf('<w:p>', xml.indexOf('Last word marker'));
      return xml.slice(0, at) + inline + display + xml.slice(at);
    },
  });
  const result = await callFile('docx', bytes);
  assert.equal(result.error, undefined);
  assert.match(result.markdown, /^Energy is \$E=m\{c\}\^\{2\}\$ exactly_so\.$/m);
  assert.match(result.markdown, /^\$\$\\frac\{a\\_1\}\{b\}\$\$$/m);
  assert.match(result.markdown, /^Last word marker quayside\.\[\^2\]$/m);
});

test('mammoth\'s messages become warnings', async () => {
  const bytes = await rezip(sample(), {
    'word/document.xml': (xml) => xml.replace('<w:pStyle w:val="Heading1"/>', '<w:pStyle w:val="Fancy"/>'),
    'word/styles.xml': (xml) => xml.replace('</w:styles>',
      '<w:style w:type="paragraph" w:styleId="Fancy"><w:name w:val="Fancy Words"/></w:style></w:styles>'),
  });
  const result = await callFile('docx', bytes);
  assert.equal(result.error, undefined);
  assert.ok(result.warnings.some((warning) => /Fancy Words/.test(warning)), result.warnings.join('; '));
  assert.match(result.markdown, /^Findings$/m);
});

test('faults of the document come back as short errors', async (t) => {
  const cases = [
    ['not a zip', async () => Buffer.from('plain text, not a zip'), 'not a Word document'],
    ['a zip without a Word document', async () => rezip(fixture('sample.pptx'), {}), 'not a Word document'],
    ['a broken document part', async () => rezip(sample(), { 'word/document.xml': '<w:document><w:body><w:p>' }),
      /^unreadable Word document: /],
  ];
  await eachCase(t, cases, async (make, expected) => {
    const result = await callFile('docx', await make());
    if (expected instanceof RegExp) {
      assert.match(result.error, expected);
    } else {
      assert.equal(result.error, expected);
    }
    assert.equal(result.markdown, '');
    assert.ok(result.error.length < 200);
  });
});

test('without a title property or Title paragraph the first level-one heading is the title', async () => {
  const bytes = await rezip(sample(), {
    'word/document.xml': (xml) => xml.replace('<w:pStyle w:val="Title"/>', '<w:pStyle w:val="Normal"/>')
      .replace(/Harbour\s*Survey\s*2024/, ''),
  });
  const result = await callFile('docx', bytes);
  assert.equal(result.title, 'Findings');
  assert.doesNotMatch(result.markdown, /^# Findings$/m);
  assert.match(result.markdown, /^## Checklist$/m);
});

test('a numbered list interrupted by a paragraph keeps counting', async () => {
  const bytes = await rezip(sample(), {
    'word/document.xml': (xml) => {
      const at = xml.lastIndexOf('<w:p>', xml.indexOf('Refill'));
      return `${xml.slice(0, at)}<w:p><w:r><w:t>Wait for the tide.</w:t></w:r></w:p>${xml.slice(at)}`;
    },
  });
  const result = await callFile('docx', bytes);
  assert.match(result.markdown, /^ {3}2\. Lower gate\n\nWait for the tide\.\n\n3\. Refill$/m);
});
