// What assistive technology and the eye meet: the desktop window's
// accessible names, no axe-core violation in light and dark (the credits
// open too), the dark scheme followed, marks announced, and not one network
// request.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { openPage, writeClipboard, studies } from './browser.mjs';

const axeSource = await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

async function violations(page) {
  await page.evaluate(axeSource);
  return page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ['violations'] });
    return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

for (const dark of [false, true]) {
  test(`${dark ? 'dark' : 'light'}: named as the desktop window, with no axe-core violation`, async () => {
    const browser = await openPage({ dark });
    try {
      const { page } = browser;
      await studies(page).getByRole('gridcell').first().click();
      await writeClipboard(page, 'study\tn\tse\tlower\tupper\tmean\tlevel\nAbel\t25\t2\t\t\t\t\nDunn\t10\t\t1\t5\t1.5\t90%\nFord\t1\t2\t\t\t\t\n');
      await page.keyboard.press('Control+V');
      for (const [role, name] of [
        ['grid', 'Studies'],
        ['textbox', 'Working of the current row'],
        ['textbox', 'Default level of intervals'],
        ['radio', "Student's t (n - 1 df)"],
        ['radio', 'Normal z'],
      ]) {
        assert.equal(await page.getByRole(role, { name, exact: true }).count(), 1, `${role} "${name}"`);
      }
      // The warning and the refusal are marked on their rows and said.
      const rows = studies(page).getByRole('row');
      assert.match(await rows.filter({ hasText: 'Dunn' }).first().innerText(), /./);
      assert.equal(await studies(page).getByRole('gridcell', { name: '2 ⚠ warning' }).count(), 1);
      assert.equal(await studies(page).getByRole('gridcell', { name: '3 ✖ refused' }).count(), 1);
      await studies(page).getByRole('gridcell', { name: 'Ford' }).click();
      // The focus reaches the grid's handler a moment after the click on a busy machine.
      await page.waitForFunction(() => document.querySelector('[aria-live="assertive"]').textContent !== '', null, { timeout: 5000 })
        .catch(() => {});
      assert.equal(await page.locator('[aria-live="assertive"]').innerText(),
        'Row 3 refused: n is 1: a single observation has no standard deviation');
      assert.equal(await page.locator('#tally').innerText(), '3 studies, 1 warning, 1 refused');

      const background = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
      assert.equal(background, dark ? 'rgb(28, 31, 36)' : 'rgb(255, 255, 255)');
      assert.deepEqual(await violations(page), []);
      await page.getByRole('tab', { name: 'Calculator' }).click();
      assert.deepEqual(await violations(page), []);
      await page.getByRole('button', { name: 'Credits' }).click();
      assert.deepEqual(await violations(page), []);
      await page.screenshot({ path: `${browser.folder}/page.png` });
      assert.deepEqual(browser.requests, []);
      assert.deepEqual(browser.problems, []);
    } finally {
      await browser.close();
    }
  });
}
