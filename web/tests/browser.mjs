// Debian's Chromium, headless, through playwright-core: a fresh user data
// folder in a temporary folder of the test's own, and no network but the
// page's own file.
import { chromium } from 'playwright-core';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, dirname } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const webDir = join(dirname(fileURLToPath(import.meta.url)), '..');
export const pageUrl = pathToFileURL(join(webDir, 'dist', 'index.html')).href;
export const goldenDir = join(webDir, '..', 'tests', 'batch', 'golden');

const flags = [
  '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run',
];

// A browser of its own: { context, page, folder, requests, close }.
// `requests` holds every request the page made other than for the page itself
// and for blob: addresses, which name what the page holds in its own memory
// (the workbook writer's workers).
export async function openPage({ lang = 'en-US', dark = false, url = pageUrl } = {}) {
  const folder = await mkdtemp(join(tmpdir(), 'kelmory-web-'));
  const context = await chromium.launchPersistentContext(join(folder, 'profile'), {
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: [...flags, `--lang=${lang}`],
    locale: lang,
    colorScheme: dark ? 'dark' : 'light',
    acceptDownloads: true,
    viewport: { width: 1280, height: 900 },
    permissions: ['clipboard-read', 'clipboard-write'],
  });
  const page = context.pages()[0] ?? (await context.newPage());
  const requests = [];
  page.on('request', (request) => {
    if (request.url() !== url && !request.url().startsWith('blob:')) requests.push(request.url());
  });
  const problems = [];
  page.on('pageerror', (error) => problems.push(String(error)));
  page.on('dialog', (dialog) => {
    problems.push(`unexpected dialog: ${dialog.message()}`);
    void dialog.dismiss();
  });
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 10_000 });
  // The page warms its WebAssembly up on the main thread just after; the
  // tests start once it is done, so that their steps never wait on it.
  await page.waitForSelector('body[data-warm="true"]', { timeout: 30_000 });
  return {
    context, page, folder, requests, problems,
    async close() {
      await context.close();
      await rm(folder, { recursive: true, force: true });
    },
  };
}

// A CSV text's records (RFC 4180: quotes, doubled quotes, CR LF), as the
// tests read a golden file, apart from the page's own reader.
export function parseCsv(text, delimiter = ',') {
  const records = [];
  let record = [], cell = '', quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { cell += '"'; ++i; }
      else if (c === '"') quoted = false;
      else cell += c;
    } else if (c === '"') quoted = true;
    else if (c === delimiter) { record.push(cell); cell = ''; }
    else if (c === '\n' || c === '\r') {
      if (c === '\r' && text[i + 1] === '\n') ++i;
      record.push(cell); records.push(record); record = []; cell = '';
    } else cell += c;
  }
  if (cell !== '' || record.length) { record.push(cell); records.push(record); }
  return records.filter((r) => r.length > 1 || r[0] !== '');
}

// Records as a spreadsheet puts them on the clipboard.
export function toTsv(records) {
  const quote = (cell) => (/[\t\r\n"]/.test(cell) ? `"${cell.replaceAll('"', '""')}"` : cell);
  return records.map((r) => r.map(quote).join('\t')).join('\n') + '\n';
}

// What a click on `button` downloads, as bytes.
export async function download(page, button) {
  const [file] = await Promise.all([page.waitForEvent('download'), button.click()]);
  const { readFile } = await import('node:fs/promises');
  return readFile(await file.path());
}

// The text put on the clipboard, and text put there for a paste.
export const readClipboard = (page) => page.evaluate(() => navigator.clipboard.readText());
export const writeClipboard = (page, text) =>
  page.evaluate((t) => navigator.clipboard.writeText(t), text);

// The grid "Studies" and the text of its cell in row `row` (0 the first
// study) of the column headed `heading`, as shown.
export const studies = (page) => page.getByRole('grid', { name: 'Studies' });
export async function cellText(page, row, heading) {
  const grid = studies(page);
  const column = await grid.getByRole('columnheader', { name: heading, exact: true })
    .getAttribute('aria-colindex');
  return grid.locator(`[role="row"][aria-rowindex="${row + 2}"] [role="gridcell"][aria-colindex="${column}"]`)
    .innerText();
}

// Opens a file through the Open CSV… picker, once the page has read it.
export async function openFile(page, path) {
  await page.getByLabel('Open CSV…').setInputFiles(path);
  await page.waitForFunction(() => document.getElementById('open-file').value === '');
}
