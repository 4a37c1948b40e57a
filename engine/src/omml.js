// Office Math (OMML) to LaTeX. Word keeps equations as m:oMath elements,
// which mammoth drops; they are rewritten to LaTeX before mammoth runs.

import { elements, first, local } from './xml.js';

const SYMBOLS = {
  'α': '\\alpha', 'β': '\\beta', 'γ': '\\gamma', 'δ': '\\delta', 'ε': '\\epsilon',
  'ϵ': '\\epsilon', 'ζ': '\\zeta', 'η': '\\eta', 'θ': '\\theta', 'ϑ': '\\vartheta',
  'ι': '\\iota', 'κ': '\\kappa', 'λ': '\\lambda', 'μ': '\\mu', 'ν': '\\nu', 'ξ': '\\xi',
  'π': '\\pi', 'ϖ': '\\varpi', 'ρ': '\\rho', 'ϱ': '\\varrho', 'σ': '\\sigma', 'ς': '\\varsigma',
  'τ': '\\tau', 'υ': '\\upsilon', 'φ': '\\phi', 'ϕ': '\\phi', 'χ': '\\chi', 'ψ': '\\psi',
  'ω': '\\omega', 'Γ': '\\Gamma', 'Δ': '\\Delta', 'Θ': '\\Theta', 'Λ': '\\Lambda', 'Ξ': '\\Xi',
  'Π': '\\Pi', 'Σ': '\\Sigma', 'Υ': '\\Upsilon', 'Φ': '\\Phi', 'Ψ': '\\Psi', 'Ω': '\\Omega',
  '±': '\\pm', '∓': '\\mp', '×': '\\times', '÷': '\\div', '·': '\\cdot', '⋅': '\\cdot',
  '∙': '\\cdot', '∘': '\\circ', '≤': '\\leq', '≥': '\\geq', '≠': '\\neq', '≈': '\\approx',
  '≡': '\\equiv', '≅': '\\cong', '∼': '\\sim', '≃': '\\simeq', '∝': '\\propto', '≪': '\\ll',
  '≫': '\\gg', '∞': '\\infty', '→': '\\to', '←': '\\leftarrow', '↔': '\\leftrightarrow',
  '⇒': '\\Rightarrow', '⇐': '\\Leftarrow', '⇔': '\\Leftrightarrow', '↦': '\\mapsto',
  '∈': '\\in', '∉': '\\notin', '∋': '\\ni', '⊂': '\\subset', '⊃': '\\supset',
  '⊆': '\\subseteq', '⊇': '\\supseteq', '∪': '\\cup', '∩': '\\cap', '∖': '\\setminus',
  '∂': '\\partial', '∇': '\\nabla', '∀': '\\forall', '∃': '\\exists', '∄': '\\nexists',
  '∅': '\\emptyset', '¬': '\\neg', '∧': '\\wedge', '∨': '\\vee', '⊕': '\\oplus',
  '⊗': '\\otimes', '⊥': '\\perp', '∥': '\\parallel', '∠': '\\angle', '°': '^{\\circ}',
  '′': "'", '″': "''", '…': '\\ldots', '⋯': '\\cdots', '⋮': '\\vdots', '⋱': '\\ddots',
  '−': '-', '∗': '*', '√': '\\surd', 'ℏ': '\\hbar', 'ℓ': '\\ell', '℘': '\\wp',
  'ℜ': '\\Re', 'ℑ': '\\Im', 'ℵ': '\\aleph', 'ℝ': '\\mathbb{R}', 'ℕ': '\\mathbb{N}',
  'ℤ': '\\mathbb{Z}', 'ℚ': '\\mathbb{Q}', 'ℂ': '\\mathbb{C}', '⟨': '\\langle', '⟩': '\\rangle',
  '⌈': '\\lceil', '⌉': '\\rceil', '⌊': '\\lfloor', '⌋': '\\rfloor', '‖': '\\|',
  '∑': '\\sum', '∏': '\\prod', '∫': '\\int', '∬': '\\iint', '∭': '\\iiint', '∮': '\\oint',
  '⋃': '\\bigcup', '⋂': '\\bigcap', '∐': '\\coprod',
  '{': '\\{', '}': '\\}', '#': '\\#', '$': '\\$', '%': '\\%', '&': '\\&', '_': '\\_',
  '\\': '\\backslash ', '~': '\\sim', '^': '\\hat{}',
};

const NARY = {
  '∑': '\\sum', '∏': '\\prod', '∐': '\\coprod', '∫': '\\int', '∬': '\\iint', '∭': '\\iiint',
  '∮': '\\oint', '∯': '\\oiint', '⋃': '\\bigcup', '⋂': '\\bigcap', '⋁': '\\bigvee',
  '⋀': '\\bigwedge', '⨁': '\\bigoplus', '⨂': '\\bigotimes',
};

const ACCENTS = {
  '\u0302': '\\hat', '^': '\\hat', '\u0303': '\\tilde', '~': '\\tilde', '\u0304': '\\bar',
  '\u0305': '\\overline', '¯': '\\bar', '\u20D7': '\\vec', '\u20D6': '\\overleftarrow',
  '\u0307': '\\dot', '\u0308': '\\ddot', '\u20DB': '\\dddot', '\u0306': '\\breve',
  '\u030C': '\\check', '\u0301': '\\acute', '\u0300': '\\grave',
};

const FUNCTIONS = new Set([
  'sin', 'cos', 'tan', 'cot', 'sec', 'csc', 'arcsin', 'arccos', 'arctan', 'sinh', 'cosh',
  'tanh', 'coth', 'log', 'ln', 'lg', 'exp', 'lim', 'max', 'min', 'sup', 'inf', 'det', 'dim',
  'ker', 'deg', 'gcd', 'arg', 'Pr', 'hom', 'liminf', 'limsup',
]);

const DELIMITERS = {
  '(': '(', ')': ')', '[': '[', ']': ']', '{': '\\{', '}': '\\}', '|': '|', '‖': '\\|',
  '⟨': '\\langle', '⟩': '\\rangle', '〈': '\\langle', '〉': '\\rangle', '⌈': '\\lceil',
  '⌉': '\\rceil', '⌊': '\\lfloor', '⌋': '\\rfloor', '': '.',
};

// The m:val of a property such as m:naryPr/m:chr; `fallback` when absent.
function property(node, propertiesName, name, fallback) {
  const properties = first(node, propertiesName);
  const element = properties && first(properties, name);
  if (!element) {
    return fallback;
  }
  for (const attribute of Array.from(element.attributes)) {
    if (attribute.localName === 'val' || attribute.name === 'm:val') {
      return attribute.value;
    }
  }
  return fallback;
}

function text(value) {
  let out = '';
  for (const character of value) {
    out += SYMBOLS[character] !== undefined
      ? (SYMBOLS[character].startsWith('\\') && /[a-zA-Z]$/.test(SYMBOLS[character])
        ? SYMBOLS[character] + ' ' : SYMBOLS[character])
      : character;
  }
  return out;
}

function run(node) {
  let out = '';
  for (const part of elements(node)) {
    const name = local(part);
    if (name === 't') {
      out += text(part.textContent);
    } else if (name === 'br') {
      out += ' \\\\ ';
    }
  }
  return out;
}

function group(latex) {
  const trimmed = latex.trim();
  return `{${trimmed}}`;
}

function argument(node, name) {
  const element = first(node, name);
  return element ? convert(element) : '';
}

function delimiter(character) {
  if (DELIMITERS[character] !== undefined) {
    return DELIMITERS[character];
  }
  return text(character).trim() || '.';
}

function functionName(node) {
  const name = argument(node, 'fName').trim();
  if (FUNCTIONS.has(name)) {
    return `\\${name}`;
  }
  if (/^[A-Za-z]{2,}$/.test(name)) {
    return `\\operatorname{${name}}`;
  }
  return name;
}

const CONVERTERS = {
  r: run,
  f: (node) => {
    const type = property(node, 'fPr', 'type', 'bar');
    const num = argument(node, 'num');
    const den = argument(node, 'den');
    if (type === 'lin') {
      return `${group(num)}/${group(den)}`;
    }
    if (type === 'noBar') {
      return `\\genfrac{}{}{0pt}{}${group(num)}${group(den)}`;
    }
    return `\\frac${group(num)}${group(den)}`;
  },
  sSup: (node) => `${group(argument(node, 'e'))}^${group(argument(node, 'sup'))}`,
  sSub: (node) => `${group(argument(node, 'e'))}_${group(argument(node, 'sub'))}`,
  sSubSup: (node) => `${group(argument(node, 'e'))}_${group(argument(node, 'sub'))}`
    + `^${group(argument(node, 'sup'))}`,
  sPre: (node) => `{}_${group(argument(node, 'sub'))}^${group(argument(node, 'sup'))}`
    + group(argument(node, 'e')),
  rad: (node) => {
    const hidden = property(node, 'radPr', 'degHide', 'off');
    const degree = argument(node, 'deg').trim();
    const body = group(argument(node, 'e'));
    return hidden === 'on' || hidden === '1' || hidden === 'true' || degree === ''
      ? `\\sqrt${body}` : `\\sqrt[${degree}]${body}`;
  },
  d: (node) => {
    const begin = property(node, 'dPr', 'begChr', '(');
    const end = property(node, 'dPr', 'endChr', ')');
    const separator = property(node, 'dPr', 'sepChr', '|');
    const parts = elements(node, 'e').map((element) => convert(element).trim());
    const between = separator === '|' ? ' \\mid ' : ` ${text(separator).trim()} `;
    return `\\left${delimiter(begin)} ${parts.join(between)} \\right${delimiter(end)}`;
  },
  nary: (node) => {
    const character = property(node, 'naryPr', 'chr', '∫');
    const operator = NARY[character] || text(character).trim();
    const lower = argument(node, 'sub').trim();
    const upper = argument(node, 'sup').trim();
    let out = operator;
    if (lower && property(node, 'naryPr', 'subHide', 'off') !== 'on') {
      out += `_${group(lower)}`;
    }
    if (upper && property(node, 'naryPr', 'supHide', 'off') !== 'on') {
      out += `^${group(upper)}`;
    }
    return `${out} ${group(argument(node, 'e'))}`;
  },
  func: (node) => `${functionName(node)} ${group(argument(node, 'e'))}`,
  acc: (node) => {
    const character = property(node, 'accPr', 'chr', '\u0302');
    return `${ACCENTS[character] || '\\hat'}${group(argument(node, 'e'))}`;
  },
  bar: (node) => {
    const position = property(node, 'barPr', 'pos', 'bot');
    return `${position === 'top' ? '\\overline' : '\\underline'}${group(argument(node, 'e'))}`;
  },
  borderBox: (node) => `\\boxed${group(argument(node, 'e'))}`,
  box: (node) => argument(node, 'e'),
  phant: (node) => argument(node, 'e'),
  groupChr: (node) => {
    const character = property(node, 'groupChrPr', 'chr', '\u23DF');
    const position = property(node, 'groupChrPr', 'pos', 'bot');
    const body = group(argument(node, 'e'));
    if (character === '\u23DF') {
      return `\\underbrace${body}`;
    }
    if (character === '\u23DE') {
      return `\\overbrace${body}`;
    }
    return position === 'top' ? `\\overset{${text(character).trim()}}${body}`
      : `\\underset{${text(character).trim()}}${body}`;
  },
  limLow: (node) => {
    const base = argument(node, 'e').trim();
    const limit = group(argument(node, 'lim'));
    return /^\\[A-Za-z]+$/.test(base) ? `${base}_${limit}` : `\\underset${limit}${group(base)}`;
  },
  limUpp: (node) => {
    const base = argument(node, 'e').trim();
    const limit = group(argument(node, 'lim'));
    return /^\\[A-Za-z]+$/.test(base) ? `${base}^${limit}` : `\\overset${limit}${group(base)}`;
  },
  eqArr: (node) => `\\begin{aligned}${elements(node, 'e')
    .map((element) => convert(element).trim()).join(' \\\\ ')}\\end{aligned}`,
  m: (node) => `\\begin{matrix}${elements(node, 'mr').map((row) => elements(row, 'e')
    .map((element) => convert(element).trim()).join(' & ')).join(' \\\\ ')}\\end{matrix}`,
};

function convert(node) {
  let out = '';
  for (const part of elements(node)) {
    const name = local(part);
    if (name.endsWith('Pr')) {
      continue; // properties, read by their owner
    }
    const converter = CONVERTERS[name];
    out += converter ? converter(part) : convert(part);
  }
  return out;
}

// The LaTeX of one m:oMath or m:oMathPara element, without the dollars.
export function ommlToLatex(element) {
  const name = local(element);
  const latex = name === 'oMathPara'
    ? elements(element, 'oMath').map((math) => convert(math)).join(' \\\\ ')
    : name === 'r' ? run(element) : convert(element);
  return latex.replace(/\s+/g, ' ').replace(/\s+([}^_])/g, '$1').replace(/([{])\s+/g, '$1').trim();
}
