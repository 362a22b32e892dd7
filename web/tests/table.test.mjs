// The table view as a reviewer uses it: typing, undo and redo, Delete,
// the row to type into, a broken file, the kept settings, a German browser,
// and the keyboard alone.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { openPage, download, writeClipboard, readClipboard, studies, cellText, openFile } from './browser.mjs';

async function withPage(options, body) {
  const browser = await openPage(options);
  try {
    await body(browser.page, browser);
    assert.deepEqual(browser.requests, []);
    assert.deepEqual(browser.problems, []);
  } finally {
    await browser.close();
  }
}

async function paste(page, text) {
  await studies(page).getByRole('gridcell').first().click();
  await writeClipboard(page, text);
  await page.keyboard.press('Control+V');
}

// Types into the cell of row `row` headed `heading`, by keys.
async function typeInto(page, row, heading, text) {
  const grid = studies(page);
  const column = await grid.getByRole('columnheader', { name: heading, exact: true }).getAttribute('aria-colindex');
  await grid.locator(`[role="row"][aria-rowindex="${row + 2}"] [role="gridcell"][aria-colindex="${column}"]`).click();
  await page.keyboard.press('F2');
  await page.keyboard.press('Control+A');
  await page.keyboard.type(text);
  await page.keyboard.press('Enter');
}

test('every edit, paste, insert and delete is undone and redone', async () => {
  await withPage({}, async (page) => {
    await paste(page, 'study\tn\tse\nAbel\t25\t2\nBaker\t16\t1\n');
    assert.equal(await cellText(page, 0, 'sd'), '10');
    await typeInto(page, 0, 'se', '3');
    assert.equal(await cellText(page, 0, 'sd'), '15');
    await page.keyboard.press('Control+Z');
    assert.equal(await cellText(page, 0, 'sd'), '10');
    await page.keyboard.press('Control+Y');
    assert.equal(await cellText(page, 0, 'sd'), '15');

    // Delete clears the current cell; undo brings it back.
    await studies(page).locator('[role="row"][aria-rowindex="3"] [role="gridcell"][aria-colindex="4"]').click();
    await page.keyboard.press('Delete');
    assert.equal(await cellText(page, 1, 'se'), '');
    assert.equal(await cellText(page, 1, 'refusal'), 'no source: give se, ci, or lower and upper');
    await page.getByRole('button', { name: 'Undo' }).click();
    assert.equal(await cellText(page, 1, 'sd'), '4');

    // Typing in the row after the last adds a study.
    await typeInto(page, 2, 'study', 'Cole');
    await typeInto(page, 2, 'n', '9');
    await typeInto(page, 2, 'se', '1');
    assert.equal(await cellText(page, 2, 'sd'), '3');
    assert.equal(await page.locator('#tally').innerText(), '3 studies, 0 warnings, 0 refused');

    // Insert Row and Delete Rows, each one step.
    await studies(page).locator('[role="row"][aria-rowindex="2"] [role="gridcell"][aria-colindex="2"]').click();
    await page.getByRole('button', { name: 'Insert Row' }).click();
    assert.equal(await cellText(page, 1, 'study'), 'Abel');
    await page.getByRole('button', { name: 'Undo' }).click();
    assert.equal(await cellText(page, 0, 'study'), 'Abel');
    await page.getByRole('button', { name: 'Delete Rows' }).click();
    assert.equal(await cellText(page, 0, 'study'), 'Baker');
    await page.keyboard.press('Control+Z');
    assert.equal(await cellText(page, 0, 'study'), 'Abel');
    for (let i = 0; i < 4; ++i) await page.getByRole('button', { name: 'Undo' }).click();
    assert.equal(await cellText(page, 0, 'sd'), '10');
    await page.getByRole('button', { name: 'Undo' }).click();
    assert.equal(await page.locator('#tally').innerText(), '0 studies, 0 warnings, 0 refused');
    assert.equal(await page.getByRole('button', { name: 'Undo' }).isDisabled(), true);
  });
});

test('a broken file names its line and leaves the table as it was', async () => {
  await withPage({}, async (page, browser) => {
    await paste(page, 'study\tn\tse\nAbel\t25\t2\n');
    const path = join(browser.folder, 'broken.csv');
    await writeFile(path, 'n,se\n4,"1\n');
    await openFile(page, path);
    await assert.doesNotReject(page.getByRole('alert').getByText('broken.csv cannot be opened: line 2: broken CSV: a quoted cell is not closed before the end of the input').waitFor());
    assert.equal(await cellText(page, 0, 'sd'), '10');
  });
});

test('a pasted block with a quote never closed is refused and leaves the table as it was', async () => {
  await withPage({}, async (page) => {
    await paste(page, 'study\tn\tse\nAbel\t25\t2\n');
    await paste(page, 'study\tn\tse\nBaker\t"10\t3\n');
    await assert.doesNotReject(page.getByRole('alert')
      .getByText('The quote opening the pasted cell at row 2, column 2 is never closed').waitFor());
    assert.equal(await cellText(page, 0, 'sd'), '10');
    assert.equal(await page.locator('#tally').innerText(), '1 study, 0 warnings, 0 refused');
  });
});

test('a file dropped on the table opens as the picker opens it', async () => {
  await withPage({}, async (page) => {
    const transfer = await page.evaluateHandle(() => {
      const data = new DataTransfer();
      data.items.add(new File(['sep=;\r\nstudy;n;se\r\nAbel;25;1,5\r\n'], 'dropped.csv', { type: 'text/csv' }));
      return data;
    });
    await page.dispatchEvent('#grid', 'dragover', { dataTransfer: transfer });
    await page.dispatchEvent('#grid', 'drop', { dataTransfer: transfer });
    await studies(page).getByRole('gridcell', { name: 'Abel' }).waitFor();
    // Read as kelmory-batch reads it: the sep= line, decimal commas, CR LF;
    // shown in the user's separator, saved in the file's.
    assert.equal(await cellText(page, 0, 'sd'), '7.5');
    const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
    assert.equal(saved.toString('utf8'),
      'sep=;\r\nstudy;n;se;sd;method;critical_value;df;sd_z;sd_t;z_t_gap_percent;warning;refusal;working\r\n' +
      'Abel;25;1,5;7,5;se;;;;;;;;"Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 5 * 1,5\r\n\r\nTherefore, the SD = 7,5"\r\n');
  });
});

test('the method and the default level are kept in the browser', async () => {
  await withPage({}, async (page) => {
    await paste(page, 'study\tn\tci\nA\t10\t3.92\n');
    assert.equal(await cellText(page, 0, 'sd'), '5.479782144104653');
    await page.getByRole('radio', { name: 'Normal z' }).check();
    assert.equal(await cellText(page, 0, 'sd'), '6.32467153766045');
    await page.getByRole('textbox', { name: 'Default level of intervals' }).fill('90');
    await page.keyboard.press('Tab');
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await page.getByRole('radio', { name: 'Normal z' }).isChecked(), true);
    assert.equal(await page.getByRole('textbox', { name: 'Default level of intervals' }).inputValue(), '90');
    await paste(page, 'study\tn\tse\tci\nA\t100\t\t1.6448536269514726\n');
    assert.equal(await cellText(page, 0, 'critical_value'), '1.6448536269514726');
    assert.equal(await cellText(page, 0, 'sd'), '10');
  });
});

test('a German browser reads and shows decimal commas, and saves with semicolons', async () => {
  await withPage({ lang: 'de-DE' }, async (page) => {
    await paste(page, 'Study\tN\tSE\nAbel 2004\t25\t1,25\n');
    assert.equal(await cellText(page, 0, 'sd'), '6,25');
    const saved = await download(page, page.getByRole('button', { name: 'Save CSV' }));
    assert.equal(saved.toString('utf8'),
      'Study;N;SE;sd;method;critical_value;df;sd_z;sd_t;z_t_gap_percent;warning;refusal;working\n' +
      'Abel 2004;25;1,25;6,25;se;;;;;;;;"Standard Deviation = sqrt(N) * Standard Error\r\n' +
      'Which computes to 5 * 1,25\r\n\r\nTherefore, the SD = 6,25"\n');
    await studies(page).locator('[role="row"][aria-rowindex="2"] [role="gridcell"][aria-colindex="2"]').click();
    assert.equal(await page.getByRole('textbox', { name: 'Working of the current row' }).inputValue(),
      'Standard Deviation = sqrt(N) * Standard Error\nWhich computes to 5 * 1,25\n\nTherefore, the SD = 6,25');
  });
});

test('the keyboard alone pastes, edits, copies and saves', async () => {
  await withPage({}, async (page) => {
    // From the top of the page: the tabs, the toolbar, then the grid.
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Table of studies');
    let steps = 0;
    while (!(await page.evaluate(() => !!document.activeElement.closest('[role="grid"]'))) && steps++ < 20)
      await page.keyboard.press('Tab');
    assert.ok(steps < 20, 'the grid is reached by Tab');
    await writeClipboard(page, 'study\tn\tse\nAbel\t25\t2\n');
    await page.keyboard.press('Control+V');
    // From the first heading down to the study, and right to its se.
    await page.keyboard.press('ArrowDown');
    for (let i = 0; i < 3; ++i) await page.keyboard.press('ArrowRight');
    await page.keyboard.type('4');
    await page.keyboard.press('Enter');
    assert.equal(await cellText(page, 0, 'sd'), '20');
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press('Control+C');
    assert.equal(await readClipboard(page),
      'study\tn\tse\tsd\tmethod\tcritical_value\tdf\tsd_z\tsd_t\tz_t_gap_percent\twarning\trefusal\n' +
      'Abel\t25\t4\t20\tse\t\t\t\t\t\t\t\n');
    assert.equal(await page.getByRole('textbox', { name: 'Working of the current row' }).inputValue(),
      'Standard Deviation = sqrt(N) * Standard Error\nWhich computes to 5 * 4\n\nTherefore, the SD = 20');
  });
});
