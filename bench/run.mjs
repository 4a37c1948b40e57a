// Every benchmark in one run: Morvane beside its peers on the same inputs,
// made here, then how time and memory grow with the size of the input, then
// the goals, each met or not with its ratio. Run through bench/run; with
// section names after the build folder (word, batch, memory), only those.
//
//   node bench/run.mjs BUILD_DIR [word] [batch] [memory]

import { execFileSync, spawn, spawnSync } from 'node:child_process';
import { cpus, release, tmpdir, totalmem } from 'node:os';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync,
  statSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { performance } from 'node:perf_hooks';
import { fileURLToPath } from 'node:url';
import { gunzipSync } from 'node:zlib';
import { documentOfSize, longDocument, longPresentation, scannedPdf, textPdf } from './inputs.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '..');
const build = resolve(process.argv[2] || join(root, 'build'));
const sections = ['word', 'batch', 'memory'];
const only = process.argv.slice(3);
if (only.some((name) => !sections.includes(name))) {
  console.error(`sections: ${sections.join(', ')}`);
  process.exit(2);
}
const full = only.length === 0;
const wanted = (name) => full || only.includes(name);
const bin = (name) => join(build, 'bin', name);
for (const name of ['morvane-convert', 'pdf_bench', 'engine_bench', 'startup_bench']) {
  if (!existsSync(bin(name))) {
    console.error(`build first: ${bin(name)} is missing`);
    process.exit(1);
  }
}
const { makeFixtures } = await import('../engine/test/fixtures/make-fixtures.mjs');

const work = mkdtempSync(join(tmpdir(), 'morvane-bench-'));
process.on('exit', () => rmSync(work, { recursive: true, force: true }));
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.on(signal, () => process.exit(130));
}
// Morvane keeps its recents and settings in here, not in the user's own.
const env = { ...process.env, XDG_CONFIG_HOME: join(work, 'config'), QT_QPA_PLATFORM: process.env.QT_QPA_PLATFORM || 'offscreen' };

// The first line a tool prints of its version, wherever it prints it.
const firstLine = (command, args) => {
  const result = spawnSync(command, args, { encoding: 'utf8' });
  return `${result.stdout || ''}${result.stderr || ''}`.split('\n')[0].trim() || 'not found';
};
const os = readFileSync('/etc/os-release', 'utf8').match(/^PRETTY_NAME="?([^"\n]*)/m)?.[1] ?? 'Linux';
console.log(`machine: ${cpus()[0]?.model ?? 'unknown CPU'}, ${cpus().length} cores, `
  + `${(totalmem() / 2 ** 30).toFixed(1)} GiB, ${os}, kernel ${release()}`);
console.log(`peers: ${firstLine('pdftotext', ['-v'])}; ${firstLine('mutool', ['-v'])}; `
  + `${firstLine('tesseract', ['--version'])}; ${firstLine('pandoc', ['--version'])}; node ${process.version}`);
console.log(`run started ${new Date().toISOString()}`);

// --- inputs -----------------------------------------------------------------

const clock = performance.now();
const input = (name) => join(work, 'in', name);
mkdirSync(join(work, 'in'));
console.log('\nmaking inputs…');
const fixtures = makeFixtures(join(work, 'fixtures'));
const sample = join(fixtures, 'sample.docx');
// Ninety copies of the sample's body (two pictures and a table each) lay
// out as fifty pages; twelve with small pictures make about 280 kB.
const bodies = 90;
writeFileSync(input('report-50p.docx'), await longDocument(sample, bodies, 64 * 1024));
writeFileSync(input('report-small.docx'), await longDocument(sample, 12, 16 * 1024));
copyFileSync(join(root, 'tests', 'cli', 'fixtures', 'harbour-article.html'), input('article.html'));
// A hundred documents of every kind the engine and the PDF side take, of
// varied length: forty PDFs, forty Word documents, twenty pages.
const batch = join(work, 'batch');
if (wanted('batch')) {
  mkdirSync(batch);
  for (let i = 0; i < 40; i++) {
    textPdf(join(batch, `text-${i}.pdf`), 1 + (i % 8), 30 + (i % 15));
    writeFileSync(join(batch, `report-${i}.docx`), await longDocument(sample, 1 + (i % 4), (i % 3) * 8 * 1024));
  }
  for (let i = 0; i < 20; i++) {
    copyFileSync(i % 2 ? input('article.html') : join(fixtures, 'sample.html'), join(batch, `page-${i}.html`));
  }
}
const scaledMegabytes = [1, 10, 50];
// 3000 as well: at 10 and 100 pages memory hardly moves from the fixed cost.
const scaledPages = [10, 100, 1000, 3000];
// The sample's three visible slides (one with a picture), then picture
// slides up to forty.
const pictureSlides = 37;
let scans = [];
// Real manuals from Debian documentation packages: those installed here.
let manuals = [];
if (full) {
  textPdf(input('text-300.pdf'), 300);
  scans = scannedPdf(input('scanned-10.pdf'), 10, join(work, 'scans'));
  writeFileSync(input('deck-40.pptx'),
    await longPresentation(join(fixtures, 'sample.pptx'), 0, pictureSlides, 96 * 1024, true));
  manuals = [
    ['debian-reference-en', '/usr/share/doc/debian-reference-en/docs/debian-reference.en.pdf'],
    ['gnuplot-doc', '/usr/share/doc/gnuplot/gnuplot.pdf'],
    ['valgrind', '/usr/share/doc/valgrind/valgrind_manual.pdf.gz'],
    ['nettle-dev', '/usr/share/doc/nettle-dev/nettle.pdf.gz'],
    ['gnucobol3', '/usr/share/doc/gnucobol3/gnucobol.pdf.gz'],
    ['bzip2-doc', '/usr/share/doc/bzip2/manual.pdf.gz'],
    ['libtasn1-doc', '/usr/share/doc/libtasn1-doc/libtasn1.pdf'],
    ['shared-mime-info', '/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf'],
    ['fontconfig', '/usr/share/doc/fontconfig/fontconfig-user.pdf.gz'],
  ].filter(([, path]) => existsSync(path)).map(([name, path]) => {
    const file = input(`${name}.pdf`);
    writeFileSync(file, path.endsWith('.gz') ? gunzipSync(readFileSync(path)) : readFileSync(path));
    const pages = Number(firstLine('sh', ['-c', `pdfinfo '${file}' | sed -n 's/^Pages: *//p'`])) || 0;
    return { name, file, pages };
  });
  for (const pages of scaledPages) {
    textPdf(input(`text-${pages}.pdf`), pages);
  }
}
for (const megabytes of scaledMegabytes) {
  if (full || (wanted('memory') && megabytes === 50)) {
    writeFileSync(input(`size-${megabytes}mb.docx`), await documentOfSize(sample, megabytes));
  }
}

// Pages as LibreOffice lays the document out, so that "50 pages" is checked.
function officePages(path) {
  const profile = join(work, 'lo-profile');
  const out = join(work, 'lo');
  try {
    execFileSync('soffice', [`-env:UserInstallation=file://${profile}`, '--headless', '--norestore',
      '--convert-to', 'pdf', '--outdir', out, path], { stdio: 'pipe', timeout: 300000 });
    const pdf = join(out, path.replace(/^.*\//, '').replace(/\.[^.]+$/, '.pdf'));
    return execFileSync('mutool', ['info', pdf], { encoding: 'utf8' }).match(/Pages: (\d+)/)?.[1] ?? '?';
  } catch {
    return '?';
  }
}
const mb = (path) => (statSync(path).size / 2 ** 20).toFixed(1);
const kb = (path) => (statSync(path).size / 1024).toFixed(0);
if (full) {
  console.log(`  text-300.pdf ${mb(input('text-300.pdf'))} MB; scanned-10.pdf ${mb(input('scanned-10.pdf'))} MB `
    + `(144 dpi); report-50p.docx ${mb(input('report-50p.docx'))} MB, ${officePages(input('report-50p.docx'))} pages, `
    + `${bodies} tables, ${bodies * 2} pictures; report-small.docx ${kb(input('report-small.docx'))} kB; `
    + `deck-40.pptx ${mb(input('deck-40.pptx'))} MB, ${3 + pictureSlides} slides shown, ${1 + pictureSlides} pictures; `
    + `article.html ${kb(input('article.html'))} kB (made in ${((performance.now() - clock) / 1000).toFixed(0)} s)`);
}

// --- measuring ----------------------------------------------------------------

// Peak resident memory (VmHWM) of a process and its descendants, read from
// /proc while they run.
function processTree(rootPid) {
  const parents = new Map();
  for (const name of readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) {
      continue;
    }
    try {
      const stat = readFileSync(`/proc/${name}/stat`, 'utf8');
      parents.set(Number(name), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch {
      // ended meanwhile
    }
  }
  const tree = [rootPid];
  for (let i = 0; i < tree.length; i++) {
    for (const [pid, parent] of parents) {
      if (parent === tree[i]) {
        tree.push(pid);
      }
    }
  }
  return tree;
}

// Whether a process is one of the web engine's page (render) processes:
// forked from its zygote, they keep the zygote's command line, so a zygote
// that is not the app's own child is one.
function isRenderer(pid, appPid) {
  try {
    const commandLine = readFileSync(`/proc/${pid}/cmdline`, 'utf8');
    const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
    const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
    return commandLine.includes('--type=renderer') || (commandLine.includes('--type=zygote') && parent !== appPid);
  } catch {
    return false;
  }
}

function peakOf(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return { name: status.match(/^Name:\s*(.*)$/m)?.[1] ?? '', kb: Number(status.match(/^VmHWM:\s*(\d+)/m)?.[1] ?? 0) };
  } catch {
    return null;
  }
}

// Runs a command once: wall seconds, exit status and, with `memory`, the
// peak of the process itself (app) and of its largest web engine process,
// and how many page processes it started.
function once(command, args, { memory = false, extraEnv = {} } = {}) {
  return new Promise((done) => {
    const started = performance.now();
    const child = spawn(command, args, { env: { ...env, ...extraEnv }, stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (data) => { stdout += data; });
    child.stderr.on('data', (data) => { stderr += data; });
    const peaks = new Map();
    const renderers = new Set();
    const sample = () => {
      for (const pid of processTree(child.pid)) {
        if (!peaks.has(pid) && isRenderer(pid, child.pid)) {
          renderers.add(pid);
        }
        const peak = peakOf(pid);
        if (peak && peak.kb > (peaks.get(pid)?.kb ?? 0)) {
          peaks.set(pid, peak);
        }
      }
    };
    const timer = memory ? setInterval(sample, 20) : null;
    child.on('close', (code) => {
      const seconds = (performance.now() - started) / 1000;
      clearInterval(timer);
      const app = (peaks.get(child.pid)?.kb ?? 0) / 1024;
      const web = Math.max(0, ...[...peaks.values()].filter((p) => p.name.startsWith('QtWebEngine')).map((p) => p.kb)) / 1024;
      done({ seconds, code, stdout, stderr, app, web, renderers: renderers.size });
    });
  });
}

let outputs = 0;
const freshFolder = () => {
  const folder = join(work, 'out', String(++outputs));
  mkdirSync(folder, { recursive: true });
  return folder;
};

async function checked(make, options) {
  const [command, ...args] = make(freshFolder());
  const result = await once(command, args, options);
  if (result.code !== 0) {
    console.error(`failed (${result.code}): ${command} ${args.join(' ')}\n${result.stdout}${result.stderr}`);
    process.exit(1);
  }
  return result;
}

// The best wall time of `repeats` rounds for each command, run in turn round
// after round, so that a slow spell of the machine falls on all of them
// alike. Each run writes into a folder of its own, so that every run does the
// same work. A failed run stops the bench.
async function bestInTurn(repeats, makers, options) {
  const fastest = makers.map(() => null);
  for (let round = 0; round < repeats; round++) {
    for (const [i, make] of makers.entries()) {
      const result = await checked(make, options);
      if (!fastest[i] || result.seconds < fastest[i].seconds) {
        fastest[i] = result;
      }
    }
  }
  return fastest;
}

const best = async (repeats, make, options) => (await bestInTurn(repeats, [make], options))[0];

const convert = (file) => (out) => [bin('morvane-convert'), '--out', out, '--no-reveal', file];
const node = (script, ...args) => [process.execPath, join(here, script), ...args];

// --- side by side -------------------------------------------------------------

const table = [];
function group(title, entries) {
  const reference = entries.find((entry) => entry.reference);
  for (const entry of entries) {
    table.push({ work: title, ...entry, ratio: reference ? entry.seconds / reference.seconds : null });
  }
  return Object.fromEntries(entries.map((entry) => [entry.key, entry.seconds]));
}
const entry = (key, tool, seconds, reference = false, note = '') => ({ key, tool, seconds, reference, peer: !key.startsWith('m-'), note });
const goals = [];
const goal = (what, met, figure) => goals.push(`| ${what} | ${figure} | ${met ? 'met' : 'not met'} |`);

const seconds = (value) => (value >= 10 ? value.toFixed(1) : value.toFixed(3));
function printTable() {
  console.log('\nSide by side (best of 3 runs; of 7 rounds in turn for the text PDF, of 5 for Word end to end; OCR, '
    + 'start-up and the batch as noted); "× Morvane" is the');
  console.log('tool\'s time over morvane-convert\'s on the same input: above 1, Morvane is faster.\n');
  console.log('| Work | Tool | Seconds | × Morvane |');
  console.log('|---|---|---:|---:|');
  let last = '';
  for (const row of table) {
    const title = row.work === last ? '' : row.work;
    last = row.work;
    const ratio = row.reference ? '1.00' : row.ratio === null ? '' : row.ratio.toFixed(2);
    const tool = row.peer ? row.tool : `**${row.tool}**`;
    console.log(`| ${title} | ${tool}${row.note ? ` (${row.note})` : ''} | ${seconds(row.seconds)} | ${ratio} |`);
  }
}

function printGoals() {
  console.log('\n| Goal | Measured | |');
  console.log('|---|---|---|');
  for (const line of goals) {
    console.log(line);
  }
}

// Whole commands on a small and a large Word document, in turn round after
// round; `extra` joins the large one's rows.
async function wordRows(extra = []) {
  let large = null;
  for (const [title, file, more] of [['docx, about 280 kB, end to end', input('report-small.docx'), []],
    ['docx, 50 pages, tables and pictures', input('report-50p.docx'), extra]]) {
    const [morvane, mammoth, pandoc] = await bestInTurn(5, [
      convert(file),
      (out) => node('peers.mjs', 'mammoth', file, join(out, 'out.md')),
      (out) => ['pandoc', '-f', 'docx', '-t', 'gfm', `--extract-media=${out}`, '-o', join(out, 'out.md'), file],
    ]);
    large = group(title, [
      entry('m-command', 'morvane-convert', morvane.seconds, true),
      entry('mammoth', 'mammoth + turndown in node', mammoth.seconds),
      entry('pandoc', 'pandoc -t gfm', pandoc.seconds),
      ...more,
    ]);
    goal(`${title.replace(/, end to end$/, '')}: no slower than mammoth + turndown in node`, morvane.seconds <= mammoth.seconds,
      `${(morvane.seconds / mammoth.seconds).toFixed(2)}× its time (${seconds(morvane.seconds)} s against ${seconds(mammoth.seconds)} s)`);
  }
  return large;
}

// One morvane-convert over the whole folder, beside pandoc (Word, HTML) and
// pdftotext (PDF) run once per file over the same files.
async function batchRows() {
  console.log('measuring: a batch of 100 documents…');
  const files = readdirSync(batch).sort().map((name) => join(batch, name));
  const morvane = await best(1, (out) => [bin('morvane-convert'), '--out', out, '--no-reveal', ...files], { memory: true });
  const started = performance.now();
  for (const file of files) {
    const out = freshFolder();
    // pandoc would fetch a page's pictures, which are not there.
    const [command, ...args] = file.endsWith('.pdf') ? ['pdftotext', file, join(out, 'out.txt')]
      : file.endsWith('.docx') ? ['pandoc', '-f', 'docx', '-t', 'gfm', `--extract-media=${out}`, '-o', join(out, 'out.md'), file]
        : ['pandoc', '-f', 'html', '-t', 'gfm', '-o', join(out, 'out.md'), file];
    const result = await once(command, args);
    if (result.code !== 0) {
      console.error(`failed (${result.code}): ${command} ${args.join(' ')}\n${result.stderr}`);
      process.exit(1);
    }
  }
  const peers = (performance.now() - started) / 1000;
  const rate = (value) => `${(files.length / value).toFixed(1)} documents/s`;
  group(`batch of ${files.length}: 40 PDFs, 40 Word documents, 20 HTML pages`, [
    entry('m-command', 'morvane-convert, one run', morvane.seconds, true,
      `${rate(morvane.seconds)}, ${morvane.renderers} page process${morvane.renderers === 1 ? '' : 'es'} started`),
    entry('peers', 'pandoc (Word, HTML) and pdftotext (PDF), one run per file', peers, false, rate(peers)),
  ]);
  goal('batch of 100 mixed documents: ahead of pandoc + pdftotext, the engine started once',
    morvane.seconds <= peers && morvane.renderers === 1,
    `${rate(morvane.seconds)} against ${rate(peers)}; ${morvane.renderers} page process(es)`);
}

function memoryGoal(run) {
  goal('50 MB Word document: web process under 600 MB peak', run.web > 0 && run.web < 600,
    `web process ${run.web.toFixed(0)} MB, app ${run.app.toFixed(0)} MB`);
}

if (!full) {
  if (wanted('word')) {
    console.log('measuring: Word end to end…');
    await wordRows();
  }
  if (wanted('batch')) {
    await batchRows();
  }
  if (wanted('memory')) {
    console.log('measuring: the 50 MB Word document\'s memory…');
    memoryGoal(await best(1, convert(input('size-50mb.docx')), { memory: true }));
  }
  printTable();
  printGoals();
  process.exit(0);
}

console.log('measuring: text PDF…');
const text = input('text-300.pdf');
// pdf_bench reports the time of pages() and markdown() alone.
const inProcess = (result) => ({ ...result, seconds: Number(result.stdout.match(/seconds=([\d.]+)/)[1]) });
const [pdfCommand, pdfTwo, pdfOne, pdfPoppler, pdfMutool, pdfStructured, pdfStructuredCommand] = await bestInTurn(7, [
  convert(text),
  () => [bin('pdf_bench'), text, '2'],
  () => [bin('pdf_bench'), text, '1'],
  (out) => ['pdftotext', text, join(out, 'out.txt')],
  (out) => ['mutool', 'draw', '-q', '-F', 'txt', '-o', join(out, 'out.txt'), text],
  () => [bin('pdf_bench'), '--structured', text, '2'],
  (out) => [...convert(text)(out), '--pdf-layout', 'structured'],
]);
const pdf = group('text-layer PDF, 300 pages', [
  entry('m-command', 'morvane-convert', pdfCommand.seconds, true),
  entry('m-process', 'PDFExtract + PDFLayout in process, 2 threads', inProcess(pdfTwo).seconds),
  entry('m-process1', 'PDFExtract + PDFLayout in process, 1 thread', inProcess(pdfOne).seconds),
  entry('m-structured', 'PDFExtract + StructuredLayout in process, 2 threads', inProcess(pdfStructured).seconds),
  entry('m-command-structured', 'morvane-convert --pdf-layout structured', pdfStructuredCommand.seconds),
  entry('pdftotext', 'pdftotext', pdfPoppler.seconds),
  entry('mutool', 'mutool draw -F txt', pdfMutool.seconds),
  entry('pdf2md', '@opendocsg/pdf2md in node', (await best(3, (out) => node('peers.mjs', 'pdf2md', text, join(out, 'out.md')))).seconds),
]);

console.log(`measuring: ${manuals.length} real manuals…`);
// Pages without a text layer are recognised, which pdftotext does not do.
const recognised = (file) => {
  const pages = Number(spawnSync(bin('pdf_bench'), [file, '1'], { encoding: 'utf8' }).stdout.match(/ocr \d+ on (\d+)p/)?.[1]);
  return pages ? `with OCR of ${pages} page${pages > 1 ? 's' : ''} without text` : '';
};
for (const manual of manuals) {
  const [ours, poppler] = await bestInTurn(5, [
    convert(manual.file),
    (out) => ['pdftotext', manual.file, join(out, 'out.txt')],
  ]);
  group(`${manual.name} manual, ${manual.pages} pages`, [
    entry('m-command', 'morvane-convert', ours.seconds, true, recognised(manual.file)),
    entry('pdftotext', 'pdftotext', poppler.seconds),
  ]);
  manual.ratio = poppler.seconds / ours.seconds;
}

console.log('measuring: scanned PDF (about two minutes)…');
const tesseract = async (extraEnv) => {
  const started = performance.now();
  for (const png of scans) {
    const result = await once('tesseract', [png, join(work, 'tesseract'), '-l', 'dan+eng'], { extraEnv });
    if (result.code !== 0) {
      console.error(`tesseract failed: ${result.stderr}`);
      process.exit(1);
    }
  }
  return (performance.now() - started) / 1000;
};
const ocr = group('scanned PDF, 10 pages', [
  entry('m-command', 'morvane-convert', (await best(1, convert(input('scanned-10.pdf')))).seconds, true),
  entry('tesseract', 'tesseract per page image, serial', await tesseract({})),
  entry('tesseract1', 'same, OMP_THREAD_LIMIT=1', await tesseract({ OMP_THREAD_LIMIT: '1' })),
]);

console.log('measuring: Word, PowerPoint and web page…');
const docx = input('report-50p.docx');
const pptx = input('deck-40.pptx');
const html = input('article.html');
// Conversion alone, without starting a process: the engine in its host and
// the same engine in plain node.
const conversions = (output) => Object.fromEntries(output.split('\n')
  .filter((line) => line.startsWith('convert '))
  .map((line) => line.split(' '))
  .map(([, path, ms]) => [path, Number(ms) / 1000]));
const hosted = conversions((await best(1, () => [bin('engine_bench'), '--repeats', '3', docx, pptx, html])).stdout);
const plain = conversions((await best(1, () => node('engine/node_peer.mjs', '--repeats', '3', docx, pptx, html))).stdout);
const engineOnly = (file) => [
  entry('m-engine', 'engine in its host, conversion only', hosted[file]),
  entry('engine-node', 'the same engine in plain node, conversion only', plain[file]),
];
const word = await wordRows(engineOnly(docx));
const deck = group('pptx, 40 slides with pictures', [
  entry('m-command', 'morvane-convert', (await best(3, convert(pptx))).seconds, true),
  entry('pptx-node', "the engine's pptx module in node", (await best(3, () => node('engine/node_peer.mjs', '--repeats', '1', pptx))).seconds),
  ...engineOnly(pptx),
]);
const page = group('HTML page (an article with navigation and comments)', [
  entry('m-command', 'morvane-convert', (await best(3, convert(html))).seconds, true),
  entry('pandoc', 'pandoc -f html -t gfm', (await best(3, (out) => ['pandoc', '-f', 'html', '-t', 'gfm', '-o', join(out, 'out.md'), html])).seconds),
  entry('readability', 'Readability + turndown in node', (await best(3, (out) => node('peers.mjs', 'readability', html, join(out, 'out.md')))).seconds),
  ...engineOnly(html),
]);

console.log('measuring: start-up…');
const launches = [];
for (let i = 0; i < 5; i++) {
  const launched = performance.timeOrigin + performance.now();
  const result = await once(bin('startup_bench'), [], { extraEnv: { MORVANE_LAUNCHED_AT: launched.toFixed(1) } });
  const window = Number(result.stdout.match(/window ([\d.]+)/)?.[1]);
  const engine = Number(result.stdout.match(/engine ([\d.]+)/)?.[1]);
  if (result.code !== 0 || !window || !engine) {
    console.error(`startup_bench failed: ${result.stdout}${result.stderr}`);
    process.exit(1);
  }
  launches.push({ window: window / 1000, engine: engine / 1000 });
}
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const start = {
  window: median(launches.map((l) => l.window)), engine: median(launches.map((l) => l.engine)),
  coldWindow: launches[0].window, coldEngine: launches[0].engine,
};
group('start-up (median of 5 launches)', [
  entry('m-window', 'app window shown', start.window, false, `first launch ${start.coldWindow.toFixed(3)} s`),
  entry('m-engine', 'engine ready', start.engine, false, `first launch ${start.coldEngine.toFixed(3)} s`),
]);

await batchRows();
printTable();

// --- growth -------------------------------------------------------------------

console.log('\nmeasuring: growth with size…');
// The exponent of growth over the fixed cost: with the value at the first of
// the last three sizes taken as fixed, how the rest grows from the second to
// the third size. 1 is linear; 2 would be quadratic.
function growth(sizes, values) {
  const [s1, s2, s3] = sizes.slice(-3);
  const [v1, v2, v3] = values.slice(-3);
  if (!(v3 > v1) || !(v2 - v1 > 0.03 * (v3 - v1))) {
    return 'too little growth to tell';
  }
  const exponent = Math.log((v3 - v1) / (v2 - v1)) / Math.log((s3 - s1) / (s2 - s1));
  const verdict = exponent > 1.25 ? 'faster than linear' : exponent < 0.8 ? 'slower than linear' : 'linear';
  return `${verdict} (exponent ${exponent.toFixed(2)})`;
}
const scaled = [];
for (const pages of scaledPages) {
  const file = input(`text-${pages}.pdf`);
  scaled.push({ what: `PDF, ${pages} pages`, size: pages, ...(await best(1, convert(file), { memory: true })) });
}
for (const megabytes of scaledMegabytes) {
  const file = input(`size-${megabytes}mb.docx`);
  scaled.push({ what: `docx, ${mb(file)} MB`, size: statSync(file).size / 2 ** 20, ...(await best(1, convert(file), { memory: true })) });
}
console.log('\nmorvane-convert, one run each; peak resident memory of the app and of its largest web engine process:\n');
console.log('| Input | Seconds | App peak MB | Web process peak MB |');
console.log('|---|---:|---:|---:|');
for (const row of scaled) {
  console.log(`| ${row.what} | ${seconds(row.seconds)} | ${row.app.toFixed(0)} | ${row.web ? row.web.toFixed(0) : '—'} |`);
}
const structuredThousand = await best(1,
  (out) => [...convert(input('text-1000.pdf'))(out), '--pdf-layout', 'structured'], { memory: true });
console.log(`| PDF, 1000 pages, --pdf-layout structured | ${seconds(structuredThousand.seconds)} | `
  + `${structuredThousand.app.toFixed(0)} | — |`);
const pdfRows = scaled.slice(0, scaledPages.length);
const docxRows = scaled.slice(scaledPages.length);
console.log(`\nPDF time: ${growth(scaledPages, pdfRows.map((r) => r.seconds))}; `
  + `PDF memory: ${growth(scaledPages, pdfRows.map((r) => r.app))}.`);
console.log(`docx time: ${growth(docxRows.map((r) => r.size), docxRows.map((r) => r.seconds))}; `
  + `docx memory (app): ${growth(docxRows.map((r) => r.size), docxRows.map((r) => r.app))}; `
  + `docx memory (web process): ${growth(docxRows.map((r) => r.size), docxRows.map((r) => r.web))}.`);

// --- goals --------------------------------------------------------------------

goal('text-layer PDF at 1.5× pdftotext\'s speed, 300 pages', pdf.pdftotext / pdf['m-command'] >= 1.5,
  `morvane-convert ${(pdf.pdftotext / pdf['m-command']).toFixed(2)}× pdftotext's speed `
  + `(in process ${(pdf.pdftotext / pdf['m-process']).toFixed(2)}×)`);
goal('real manuals at 1.5× pdftotext\'s speed', manuals.length > 0 && manuals.every((m) => m.ratio >= 1.5),
  manuals.map((m) => `${m.name} ${m.ratio.toFixed(2)}×`).join(', ') || 'none installed');
goal('real manuals never slower than pdftotext', manuals.length > 0 && manuals.every((m) => m.ratio >= 1),
  `slowest ${Math.min(...manuals.map((m) => m.ratio)).toFixed(2)}× pdftotext's speed`);
const serial = Math.min(ocr.tesseract, ocr.tesseract1);
goal('OCR 1.6× faster than serial tesseract on 2 cores', serial / ocr['m-command'] >= 1.6,
  `${(serial / ocr['m-command']).toFixed(2)}× the faster serial tesseract`);
for (const [name, figures] of [['docx', word], ['pptx', deck], ['HTML', page]]) {
  const ratio = figures['m-engine'] / figures['engine-node'];
  goal(`${name} within 1.5× of plain node`, ratio <= 1.5, `conversion ${ratio.toFixed(2)}× plain node's time`);
}
goal('app window under 1 s after launch', start.window < 1, `${start.window.toFixed(3)} s (first launch ${start.coldWindow.toFixed(3)} s)`);
goal('engine ready under 1.5 s after launch', start.engine < 1.5, `${start.engine.toFixed(3)} s (first launch ${start.coldEngine.toFixed(3)} s)`);
const thousand = pdfRows[scaledPages.indexOf(1000)];
goal('1000-page PDF under 400 MB peak', thousand.app < 400, `${thousand.app.toFixed(0)} MB`);
goal('structured PDF layout within 1.3× the plain layout\'s time', pdf['m-structured'] / pdf['m-process'] <= 1.3,
  `in process ${(pdf['m-structured'] / pdf['m-process']).toFixed(2)}×, morvane-convert `
  + `${(pdf['m-command-structured'] / pdf['m-command']).toFixed(2)}×`);
goal('1000-page PDF, structured layout, under 400 MB peak', structuredThousand.app < 400,
  `${structuredThousand.app.toFixed(0)} MB (plain ${thousand.app.toFixed(0)} MB)`);
memoryGoal(docxRows[docxRows.length - 1]);
printGoals();
console.log(`\nwhole run: ${((performance.now() - clock) / 60000).toFixed(1)} minutes`);
