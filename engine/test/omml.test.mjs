import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ommlToLatex } from '../src/omml.js';
import { eachCase, env } from './support.mjs';

const M = 'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math"';
const r = (text) => `<m:r><m:t>${text}</m:t></m:r>`;

function latex(inner) {
  const document = new env.DOMParser().parseFromString(`<m:oMath ${M}>${inner}</m:oMath>`, 'application/xml');
  return ommlToLatex(document.documentElement);
}

test('OMML becomes LaTeX', async (t) => {
  const cases = [
    ['plain run', r('x+1'), 'x+1'],
    ['fraction', `<m:f><m:num>${r('a')}</m:num><m:den>${r('b')}</m:den></m:f>`, '\\frac{a}{b}'],
    ['linear fraction', `<m:f><m:fPr><m:type m:val="lin"/></m:fPr><m:num>${r('a')}</m:num><m:den>${r('b')}</m:den></m:f>`, '{a}/{b}'],
    ['superscript', `<m:sSup><m:e>${r('x')}</m:e><m:sup>${r('2')}</m:sup></m:sSup>`, '{x}^{2}'],
    ['subscript', `<m:sSub><m:e>${r('a')}</m:e><m:sub>${r('i')}</m:sub></m:sSub>`, '{a}_{i}'],
    ['sub and superscript', `<m:sSubSup><m:e>${r('x')}</m:e><m:sub>${r('0')}</m:sub><m:sup>${r('2')}</m:sup></m:sSubSup>`, '{x}_{0}^{2}'],
    ['square root', `<m:rad><m:radPr><m:degHide m:val="1"/></m:radPr><m:deg/><m:e>${r('2')}</m:e></m:rad>`, '\\sqrt{2}'],
    ['cube root', `<m:rad><m:deg>${r('3')}</m:deg><m:e>${r('x')}</m:e></m:rad>`, '\\sqrt[3]{x}'],
    ['parentheses', `<m:d><m:e>${r('a+b')}</m:e></m:d>`, '\\left( a+b \\right)'],
    ['brackets with separators', `<m:d><m:dPr><m:begChr m:val="["/><m:endChr m:val="]"/><m:sepChr m:val=","/></m:dPr><m:e>${r('a')}</m:e><m:e>${r('b')}</m:e></m:d>`, '\\left[ a , b \\right]'],
    ['sum with limits', `<m:nary><m:naryPr><m:chr m:val="∑"/></m:naryPr><m:sub>${r('i=1')}</m:sub><m:sup>${r('n')}</m:sup><m:e>${r('i')}</m:e></m:nary>`, '\\sum_{i=1}^{n} {i}'],
    ['integral by default', `<m:nary><m:sub>${r('0')}</m:sub><m:sup>${r('1')}</m:sup><m:e>${r('f')}</m:e></m:nary>`, '\\int_{0}^{1} {f}'],
    ['function', `<m:func><m:fName>${r('sin')}</m:fName><m:e>${r('θ')}</m:e></m:func>`, '\\sin {\\theta}'],
    ['limit', `<m:limLow><m:e>${r('lim')}</m:e><m:lim>${r('x→0')}</m:lim></m:limLow>`, '\\underset{x\\to 0}{lim}'],
    ['accent', `<m:acc><m:accPr><m:chr m:val="⃗"/></m:accPr><m:e>${r('v')}</m:e></m:acc>`, '\\vec{v}'],
    ['bar on top', `<m:bar><m:barPr><m:pos m:val="top"/></m:barPr><m:e>${r('z')}</m:e></m:bar>`, '\\overline{z}'],
    ['matrix', `<m:m><m:mr><m:e>${r('1')}</m:e><m:e>${r('0')}</m:e></m:mr><m:mr><m:e>${r('0')}</m:e><m:e>${r('1')}</m:e></m:mr></m:m>`, '\\begin{matrix}1 & 0 \\\\ 0 & 1\\end{matrix}'],
    ['Greek letters and operators', r('α≤β×2'), '\\alpha \\leq \\beta \\times 2'],
    ['special characters escaped', r('{a}_%'), '\\{a\\}\\_\\%'],
    ['properties are not text', `<m:r><m:rPr><m:sty m:val="p"/></m:rPr><m:t>k</m:t></m:r>`, 'k'],
  ];
  await eachCase(t, cases, (inner, expected) => assert.equal(latex(inner), expected));
});
