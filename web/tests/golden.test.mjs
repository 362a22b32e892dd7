// The batch's golden files, opened and pasted: the saved CSV is what
// kelmory-batch --working wrote, byte for byte, and copy gives its cells.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import {
  openPage, goldenDir, download, parseCsv, toTsv, readClipboard, writeClipboard, studies,
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
      await page.getByLabel('Open CSV…').setInputFiles(join(goldenDir, `${name}.csv`));
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
