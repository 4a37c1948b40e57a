import { test } from 'node:test';
import assert from 'node:assert/strict';
import { call, eachCase, expectGolden, fixture, pngAssetNames, rezip } from './support.mjs';

const sample = () => fixture('sample.pptx');

// Slides as headings without the hidden one, nested bullets, shapes in
// reading order, pictures and speaker notes: see golden/sample.pptx.md.
test('a presentation becomes Markdown', async () => {
  const result = await call('pptx', sample());
  assert.equal(result.error, undefined);
  assert.equal(result.title, 'Welcome aboard'); // the first slide's, without a title property
  assert.deepEqual(pngAssetNames(result), ['image1.png']);
  expectGolden('sample.pptx.md', result.markdown);
});

test('slides follow the presentation\'s order, not their file names', async () => {
  const bytes = await rezip(sample(), {
    'ppt/presentation.xml': (xml) => xml.replace(/<p:sldIdLst>.*<\/p:sldIdLst>/,
      '<p:sldIdLst><p:sldId id="259" r:id="rId7"/><p:sldId id="256" r:id="rId4"/>'
      + '<p:sldId id="258" r:id="rId6"/></p:sldIdLst>'),
  });
  const result = await call('pptx', bytes);
  assert.deepEqual(result.markdown.match(/^## .*$/gm), ['## Next steps', '## Welcome aboard', '## Tide table']);
  assert.equal(result.title, 'Next steps');
});

test('faults of the presentation come back as short errors', async (t) => {
  const cases = [
    ['not a zip', async () => Buffer.from('PK but not really'), 'not a PowerPoint presentation'],
    ['a Word document', async () => fixture('sample.docx'), 'not a PowerPoint presentation'],
    ['unreadable slide XML', async () => rezip(sample(), { 'ppt/slides/slide3.xml': '<p:sld><p:cSld>' }),
      'slide 3: unreadable XML'],
    ['a missing slide', async () => rezip(sample(), { 'ppt/slides/slide3.xml': null }), 'slide 3: missing'],
    ['unreadable presentation XML', async () => rezip(sample(), { 'ppt/presentation.xml': '<p:presentation' }),
      'presentation: unreadable XML'],
  ];
  await eachCase(t, cases, async (make, expected) => {
    const result = await call('pptx', await make());
    assert.equal(result.error, expected);
    assert.equal(result.markdown, '');
  });
});

// A table as raw XML: each cell is text, or an object of attributes with
// its text; "-" is a cell covered by the one before it (hMerge).
function table(columns, rows) {
  const cell = (value) => {
    if (value === '-') {
      return '<a:tc hMerge="1"><a:txBody><a:bodyPr/><a:p/></a:txBody></a:tc>';
    }
    const { text = '', ...attributes } = typeof value === 'string' ? { text: value } : value;
    const attributeText = Object.entries(attributes).map(([name, v]) => ` ${name}="${v}"`).join('');
    return `<a:tc${attributeText}><a:txBody><a:bodyPr/><a:p><a:r><a:t>${text}</a:t></a:r></a:p></a:txBody></a:tc>`;
  };
  return `<a:tbl><a:tblGrid>${'<a:gridCol w="100"/>'.repeat(columns)}</a:tblGrid>`
    + rows.map((row) => `<a:tr h="10">${row.map(cell).join('')}</a:tr>`).join('') + '</a:tbl>';
}

test('merged cells leave every value in its grid column', async (t) => {
  const cases = [
    ['spans across', table(5, [['A', 'B', 'C', 'D', 'E'], [{ gridSpan: 2, text: 'ab' }, '-', 'c', 'd', 'e'],
      ['1', { gridSpan: 3, text: '234' }, '-', '-', '5']]),
    '| A | B | C | D | E |\n| --- | --- | --- | --- | --- |\n| ab |  | c | d | e |\n| 1 | 234 |  |  | 5 |'],
    ['spans down', table(3, [['A', 'B', 'C'], [{ rowSpan: 2, text: 'tall' }, 'x', 'y'],
      [{ vMerge: 1, text: 'hidden' }, 'z', 'w']]),
    '| A | B | C |\n| --- | --- | --- |\n| tall | x | y |\n|  | z | w |'],
    ['covered cells left out by the writer', table(3, [['A', 'B', 'C'], [{ gridSpan: 2, text: 'ab' }, 'c']]),
      '| A | B | C |\n| --- | --- | --- |\n| ab |  | c |'],
  ];
  await eachCase(t, cases, async (xml, expected) => {
    const bytes = await rezip(sample(), {
      'ppt/slides/slide3.xml': (slide) => slide.replace(/<a:tbl>.*<\/a:tbl>/s, xml),
    });
    const result = await call('pptx', bytes);
    assert.ok(result.markdown.includes(`\n${expected}\n`), result.markdown);
  });
});

const C = 'xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart"';
const points = (values) => `<c:ptCount val="${values.length}"/>`
  + values.map((v, i) => (v === null ? '' : `<c:pt idx="${i}"><c:v>${v}</c:v></c:pt>`)).join('');
const series = (name, values) => `<c:ser><c:tx><c:strRef><c:strCache>${points([name])}</c:strCache></c:strRef></c:tx>`
  + `<c:cat><c:strRef><c:strCache>${points(['Jan', 'Feb', 'Mar'])}</c:strCache></c:strRef></c:cat>`
  + `<c:val><c:numRef><c:numCache>${points(values)}</c:numCache></c:numRef></c:val></c:ser>`;
const chart = `<c:chartSpace ${C} xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><c:chart>`
  + '<c:title><c:tx><c:rich><a:p><a:r><a:t>Passengers by month</a:t></a:r></a:p></c:rich></c:tx></c:title>'
  + `<c:plotArea><c:barChart>${series('Ferry', [120, 95, 140])}${series('Water taxi', [30, null, 41])}`
  + '</c:barChart></c:plotArea></c:chart></c:chartSpace>';
const chartFrame = '<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="77" name="Chart"/><p:cNvGraphicFramePr/><p:nvPr/>'
  + '</p:nvGraphicFramePr><p:xfrm><a:off x="0" y="5000000"/><a:ext cx="10" cy="10"/></p:xfrm><a:graphic>'
  + `<a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart ${C} r:id="rIdChart"/>`
  + '</a:graphicData></a:graphic></p:graphicFrame>';
const furniture = ['sldNum', 'dt', 'ftr'].map((type, i) => `<p:sp><p:nvSpPr><p:cNvPr id="${90 + i}" name="${type}"/>`
  + `<p:cNvSpPr/><p:nvPr><p:ph type="${type}"/></p:nvPr></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr/>`
  + `<a:p><a:r><a:t>furniture ${type}</a:t></a:r></a:p></p:txBody></p:sp>`).join('');
const spaces = ' '.repeat(320000);
const slide4 = (from, to) => (xml) => xml.replace(from, to);
const relation = (id, type, target) => (xml) => xml.replace('</Relationships>', `<Relationship Id="${id}" `
  + `Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/${type}" ${target}/></Relationships>`);

// Rows [name, changes to slide 4 (or more parts), what the Markdown holds,
// the title].
test('edited slides convert as edited', async (t) => {
  const cases = [
    ['a slide without a title is named by its number', slide4('<a:t>Next steps</a:t>', '<a:t></a:t>'),
      /\n## Slide 4\n/],
    ['numbered paragraphs become a numbered list', slide4(/<a:buChar [^>]*\/>/g, '<a:buAutoNum type="arabicPeriod"/>'),
      /^1\. Cast off at noon\n2\. Return by dusk$/m],
    ['links in text keep their address', {
      'ppt/slides/slide4.xml': slide4('</a:rPr><a:t>Cast off at noon</a:t>',
        '<a:hlinkClick r:id="rIdLink"/></a:rPr><a:t>Cast off at noon</a:t>'),
      'ppt/slides/_rels/slide4.xml.rels': relation('rIdLink', 'hyperlink', 'Target="https://tides.example/now" TargetMode="External"'),
    }, /^- \[Cast off at noon\]\(https:\/\/tides\.example\/now\)$/m],
    // Each pass over text must be linear: a quadratic one takes minutes here.
    ['a long run of spaces before text converts at once', slide4('<a:t>Cast off at noon</a:t></a:r>',
      `<a:t>Cast off</a:t></a:r><a:r><a:rPr b="1"/><a:t>${spaces}at${spaces}noon</a:t></a:r>`),
    /^- Cast off {320000}\*\*at {320000}noon\*\*$/m],
    ['slide furniture is left out and a break in a title reads as a space', (xml) => xml.replace('<a:t>Next steps</a:t></a:r>',
      '<a:t>NEXT</a:t></a:r><a:br/><a:r><a:t>STEPS</a:t></a:r>').replace('</p:spTree>', `${furniture}</p:spTree>`),
    /^(?![^]*furniture)[^]*\n## NEXT STEPS\n/],
    ['a chart shows its title and its data as a table', {
      'ppt/charts/chart1.xml': chart,
      'ppt/slides/slide4.xml': slide4('</p:spTree>', `${chartFrame}</p:spTree>`),
      'ppt/slides/_rels/slide4.xml.rels': relation('rIdChart', 'chart', 'Target="../charts/chart1.xml"'),
    }, /^Passengers by month\n\n\| {2}\| Ferry \| Water taxi \|\n\| --- \| --- \| --- \|\n\| Jan \| 120 \| 30 \|\n\| Feb \| 95 \| {2}\|\n\| Mar \| 140 \| 41 \|$/m],
    ['slide text is escaped only where a reader would misread it', slide4('<a:t>Cast off at noon</a:t>',
      '<a:t>1. run file_name -C &lt;commit&gt; now!</a:t>'), /^- 1\\\. run file_name -C \\<commit> now!$/m],
    ['the title property wins', { 'docProps/core.xml': (xml) => xml.replace('<dc:title></dc:title>',
      '<dc:title> Sea\n trials </dc:title>') }, /^## Welcome aboard$/m, 'Sea trials'],
  ];
  await eachCase(t, cases, async (changes, expected, title = 'Welcome aboard') => {
    const parts = typeof changes === 'function' ? { 'ppt/slides/slide4.xml': changes } : changes;
    const result = await call('pptx', await rezip(sample(), parts));
    assert.equal(result.error, undefined);
    assert.match(result.markdown, expected);
    assert.equal(result.title, title);
  });
});
