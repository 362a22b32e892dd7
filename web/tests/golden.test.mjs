// The batch's golden files, opened and pasted: the saved CSV is what
// kelmory-batch --working wrote, byte for byte, and copy gives its cells.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import {
  openPage, goldenDir, download, parseCsv, toTsv, readClipboard, writeClipboard, studies, openFile,
} from './browser.mjs';

// The golden pairs written with --working and the default method and level.
const working = ['review', 'medians', 'subgroups'];

const golden = (name) => readFile(join(goldenDir, name));
const bytesText = (bytes) => Buffer.from(bytes).toString('latin1');

for (const name of working) {
  test(`${name}.csv opened saves as kelmory-batch --working wrote it, and copies its cells`, async () => {
    const browser = await openPage();
    try {
      const { page } = browser;
      await openFile(page, join(goldenDir, `${name}.csv`));
      await studies(page).getByRole('gridcell').first().waitFor();
      const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
      assert.equal(bytesText(saved), bytesText(await golden(`${name}.expected.csv`)));

      // Every study, whole, with the header: the expected file's cells but
      // the working, which the table shows below it instead, and cells
      // past the header, which it refuses.
      await studies(page).getByRole('gridcell').nth(1).click();
      await page.keyboard.press('Control+A');
      await page.keyboard.press('Control+C');
      const copied = parseCsv(await readClipboard(page), '\t');
      const expected = parseCsv((await golden(`${name}.expected.csv`)).toString('utf8').replace(/^\uFEFF/, ''));
      const width = expected[0].length - 1;
      assert.deepEqual(copied, expected.map((record) => record.slice(0, width)));
      assert.deepEqual(browser.requests, []);
      assert.deepEqual(browser.problems, []);
    } finally {
      await browser.close();
    }
  });
}

// Pasted from a spreadsheet: the same table, in a new table's dialect
// (comma, point, no byte-order mark, as these files have it), whose lines
// end in LF: subgroups.csv's bytes, medians.csv's records (its lines end in
// CR LF).
for (const name of ['medians', 'subgroups']) {
  test(`${name}.csv pasted saves as kelmory-batch --working wrote it`, async () => {
    const browser = await openPage();
    try {
      const { page } = browser;
      const records = parseCsv((await golden(`${name}.csv`)).toString('utf8'));
      await studies(page).getByRole('gridcell').first().click();
      await writeClipboard(page, toTsv(records));
      await page.keyboard.press('Control+V');
      const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
      const expected = await golden(`${name}.expected.csv`);
      if (name === 'subgroups') assert.equal(bytesText(saved), bytesText(expected));
      assert.deepEqual(parseCsv(saved.toString('utf8')), parseCsv(expected.toString('utf8')));
      assert.deepEqual(browser.requests, []);
      assert.deepEqual(browser.problems, []);
    } finally {
      await browser.close();
    }
  });
}

// Every golden input, in every dialect the reader takes (UTF-16, sep= lines,
// semicolons, decimal commas, a saved table), opened and saved under both
// methods: the bytes native kelmory-batch --working writes for it. Needs the
// program (KELMORY_BATCH; scripts/test-web names the native build's).
const batch = process.env.KELMORY_BATCH;
test('every golden input opened saves as native kelmory-batch --working writes it',
  { skip: batch ? false : 'KELMORY_BATCH is not set' }, async () => {
    const { execFileSync } = await import('node:child_process');
    const browser = await openPage();
    try {
      const { page } = browser;
      for (const name of ['review', 'review-semicolon', 'review-utf16', 'review-sep', 'medians', 'two-groups',
        'subgroups', 'all-kinds', 'extraction', 'german-calc', 'review.expected']) {
        for (const method of ['t', 'z']) {
          await page.getByRole('radio', { name: method === 't' ? "Student's t (n - 1 df)" : 'Normal z' }).check();
          await openFile(page, join(goldenDir, `${name}.csv`));
          await studies(page).getByRole('gridcell').first().waitFor();
          const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
          let expected;
          try {
            expected = execFileSync(batch, ['--working', '--method', method, join(goldenDir, `${name}.csv`)]);
          } catch (error) {
            assert.equal(error.status, 1, `${name}: ${error.stderr}`);
            expected = error.stdout;
          }
          assert.equal(bytesText(saved), bytesText(expected), `${name} --method ${method}`);
        }
      }
      assert.deepEqual(browser.requests, []);
      assert.deepEqual(browser.problems, []);
    } finally {
      await browser.close();
    }
  });

// The later kinds of row, and the choices of the median estimate and the
// imputed correlation, against native kelmory-batch with the same options;
// the choices are the user's again after a reload.
test('the median and correlation choices save as kelmory-batch --median and --corr write them',
  { skip: batch ? false : 'KELMORY_BATCH is not set' }, async () => {
    const { execFileSync } = await import('node:child_process');
    const native = (name, options) => {
      try {
        return execFileSync(batch, ['--working', ...options, join(goldenDir, `${name}.csv`)]);
      } catch (error) {
        assert.equal(error.status, 1, `${name}: ${error.stderr}`);
        return error.stdout;
      }
    };
    const browser = await openPage();
    try {
      const { page } = browser;
      const medians = page.getByLabel('Medians');
      const corr = page.getByLabel('Changes from baseline');
      const cases = [
        ['means', [], {}], ['ratios', [], {}], ['paired', [], {}], ['arms-meta', [], {}],
        ['arms-metafor', [], {}], ['arms-labels', [], {}],
        ['skewed', [], { median: 'normal' }], ['skewed', ['--median', 'qe'], { median: 'qe' }],
        ['skewed', ['--median', 'lognormal'], { median: 'lognormal' }],
        ['skewed', ['--median', 'auto'], { median: 'auto' }],
        ['medians', ['--median', 'auto'], { median: 'auto' }],
        ['change', [], { corr: 'none' }], ['change', ['--corr', '0.5'], { corr: 'value', value: '0.5' }],
        ['change', ['--corr', '-0.25'], { corr: 'value', value: '-0.25' }],
        ['change', ['--corr', 'table'], { corr: 'table' }],
      ];
      for (const [name, options, choice] of cases) {
        if (choice.median) await medians.selectOption(choice.median);
        if (choice.corr) await corr.selectOption(choice.corr);
        if (choice.value) {
          await page.getByLabel('Imputed correlation, from -1 to 1').fill(choice.value);
          await page.getByLabel('Imputed correlation, from -1 to 1').press('Tab');
        }
        await openFile(page, join(goldenDir, `${name}.csv`));
        await studies(page).getByRole('gridcell').first().waitFor();
        const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
        assert.equal(bytesText(saved), bytesText(native(name, options)), `${name} ${options.join(' ')}`);
      }
      await page.reload();
      await page.waitForSelector('body[data-ready="true"]');
      assert.equal(await medians.inputValue(), 'auto');
      assert.equal(await corr.inputValue(), 'table');
      // A correlation outside -1 to 1 is refused, and the last one kept.
      await corr.selectOption('value');
      await page.getByLabel('Imputed correlation, from -1 to 1').fill('1.5');
      await page.getByLabel('Imputed correlation, from -1 to 1').press('Tab');
      assert.equal(await page.locator('#table-message').innerText(),
        'The correlation is a number from -1 to 1, such as 0.5');
      assert.deepEqual(browser.requests, []);
      assert.deepEqual(browser.problems, []);
    } finally {
      await browser.close();
    }
  });
