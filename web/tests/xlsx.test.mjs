// Export as .xlsx, read back: numbers as numbers, warnings and refusals
// shaded, the working on a second sheet.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { unzipSync, strFromU8 } from 'fflate';
import { openPage, goldenDir, download, studies, openFile } from './browser.mjs';

// A workbook's sheets as { name: { A1: { value, number, fill } } }, read
// from its XML apart from the writer.
function readWorkbook(bytes) {
  const files = unzipSync(new Uint8Array(bytes));
  const xml = (name) => strFromU8(files[name]);
  const unescape = (t) => t.replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&quot;/g, '"').replace(/&apos;/g, "'").replace(/&amp;/g, '&');
  const shared = files['xl/sharedStrings.xml']
    ? [...xml('xl/sharedStrings.xml').matchAll(/<si>([\s\S]*?)<\/si>/g)].map((m) =>
      unescape([...m[1].matchAll(/<t[^>]*>([\s\S]*?)<\/t>/g)].map((t) => t[1]).join('')))
    : [];
  const styles = xml('xl/styles.xml');
  const fills = [...styles.match(/<fills[^>]*>([\s\S]*?)<\/fills>/)[1].matchAll(/<fill>([\s\S]*?)<\/fill>/g)]
    .map((m) => /fgColor rgb="(?:FF)?([0-9A-Fa-f]{6})"/.exec(m[1])?.[1]?.toUpperCase() ?? null);
  const xfs = [...styles.match(/<cellXfs[^>]*>([\s\S]*?)<\/cellXfs>/)[1].matchAll(/<xf\b([^>]*)/g)]
    .map((m) => Number(/fillId="(\d+)"/.exec(m[1])?.[1] ?? 0));
  const rels = xml('xl/_rels/workbook.xml.rels');
  const sheets = {};
  for (const sheet of xml('xl/workbook.xml').matchAll(/<sheet\b([^>]*)>/g)) {
    const m = [null, /name="([^"]*)"/.exec(sheet[1])[1], /r:id="([^"]*)"/.exec(sheet[1])[1]];
    const target = new RegExp(`Id="${m[2]}"[^>]*Target="([^"]*)"`).exec(rels)?.[1]
      ?? new RegExp(`Target="([^"]*)"[^>]*Id="${m[2]}"`).exec(rels)[1];
    const cells = {};
    for (const c of xml(`xl/${target.replace(/^\/?xl\//, '')}`).matchAll(/<c\b([^>]*?)(?:\/>|>([\s\S]*?)<\/c>)/g)) {
      const ref = /r="([A-Z]+\d+)"/.exec(c[1])[1];
      const type = /t="([^"]*)"/.exec(c[1])?.[1];
      const style = Number(/s="(\d+)"/.exec(c[1])?.[1] ?? 0);
      const v = /<v>([\s\S]*?)<\/v>/.exec(c[2] ?? '')?.[1];
      const inline = /<is>[\s\S]*?<t[^>]*>([\s\S]*?)<\/t>/.exec(c[2] ?? '')?.[1];
      const value = type === 's' ? shared[Number(v)] : type === 'inlineStr' ? unescape(inline) : type === 'str' ? unescape(v) : v;
      cells[ref] = { value, number: type === undefined || type === 'n', fill: fills[xfs[style]] ?? null };
    }
    sheets[unescape(m[1])] = cells;
  }
  return sheets;
}

test('review.csv exported: numbers as numbers, marks shaded, the working on its own sheet', async () => {
  const browser = await openPage();
  try {
    const { page } = browser;
    await openFile(page, join(goldenDir, 'review.csv'));
    await studies(page).getByRole('gridcell').first().waitFor();
    const book = readWorkbook(await download(page, page.getByRole('button', { name: 'Export .xlsx' })));
    assert.deepEqual(Object.keys(book), ['Studies', 'Working']);
    const sheet = book.Studies;
    // Study, N, SE ... Notes (A-J), then sd (K), method, critical_value ...
    assert.deepEqual(['A1', 'B1', 'K1', 'L1', 'R1', 'S1'].map((r) => sheet[r].value),
      ['Study', 'N', 'sd', 'method', 'warning', 'refusal']);
    assert.deepEqual(sheet.A2, { value: 'Abel 2004', number: false, fill: null });
    assert.deepEqual(sheet.B2, { value: '25', number: true, fill: null });
    assert.deepEqual(sheet.K2, { value: '10', number: true, fill: null });
    assert.deepEqual(sheet.K3, { value: '5.479782144104653', number: true, fill: null });
    assert.deepEqual(sheet.M3, { value: '2.2621571627982053', number: true, fill: null });
    assert.deepEqual(sheet.L3, { value: 't', number: false, fill: null });
    // Dunn 2015 warned, Ford 2017 refused.
    assert.equal(sheet.R5.fill, 'FFE79C');
    assert.match(sheet.R5.value, /^asymmetric interval/);
    assert.deepEqual(sheet.S7, { value: 'n is 1: a single observation has no standard deviation', number: false, fill: 'F7C4C4' });
    assert.equal(sheet.S2, undefined);
    assert.deepEqual(book.Working.A1.value, 'row');
    assert.deepEqual(book.Working.B2, { value: 'Abel 2004', number: false, fill: null });
    assert.equal(book.Working.C2.value,
      'Standard Deviation = sqrt(N) * Standard Error\nWhich computes to 5 * 2\n\nTherefore, the SD = 10');
    assert.deepEqual(browser.requests, []);
    assert.deepEqual(browser.problems, []);
  } finally {
    await browser.close();
  }
});

test('a table of thousands of rows exports whole, quotes, tabs and line ends in its cells kept', async () => {
  const browser = await openPage();
  try {
    const { page } = browser;
    const rows = 4000;
    let text = 'study\tn\tse\tnotes\n"Abel ""A"" 2004"\t25\t2\t"first line\nsecond\tline"\n';
    for (let r = 1; r < rows; ++r) text += `Study ${r}\t${10 + (r % 40)}\t1.5\tse\n`;
    await studies(page).getByRole('gridcell').first().click();
    await page.evaluate((t) => {
      const data = new DataTransfer();
      data.setData('text/plain', t);
      document.activeElement.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
    }, text);
    const book = readWorkbook(await download(page, page.getByRole('button', { name: 'Export .xlsx' })));
    const sheet = book.Studies;
    assert.deepEqual(['A1', 'B1', 'C1', 'D1', 'E1'].map((r) => sheet[r].value), ['study', 'n', 'se', 'notes', 'sd']);
    assert.deepEqual([sheet.A2, sheet.D2, sheet.E2], [
      { value: 'Abel "A" 2004', number: false, fill: null },
      { value: 'first line\nsecond\tline', number: false, fill: null },
      { value: '10', number: true, fill: null },
    ]);
    // The last study: 1.5 * sqrt(49).
    assert.deepEqual([sheet[`A${rows + 1}`], sheet[`E${rows + 1}`]], [
      { value: `Study ${rows - 1}`, number: false, fill: null },
      { value: '10.5', number: true, fill: null },
    ]);
    assert.equal(sheet[`A${rows + 2}`], undefined);
    assert.deepEqual(book.Working[`A${rows + 1}`], { value: String(rows), number: true, fill: null });
    assert.deepEqual(browser.requests, []);
    assert.deepEqual(browser.problems, []);
  } finally {
    await browser.close();
  }
});
