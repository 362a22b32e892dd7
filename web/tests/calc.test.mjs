// The calculator against the main window's own cases: its texts, results,
// working, refusals and advisory as message dialogs, the key filters and
// the t-table.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { openPage, webDir } from './browser.mjs';

const axeSource = await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

const kAdvisory =
  "Your sample is less than 31 and we would suggest that you use a more conservative estimate " +
  'by using a t (alpha/2) value corresponding to N-1 degrees of freedom in computing the ' +
  'standard error (on the way to computing the SD) from a confidence interval. You can enter ' +
  "this value by selecting the 'Other' option.";
const kNeedB = 'You must put data in box (b) and one other box to continue. Exiting.';
const kCiHead = 'Standard Error = Confidence Error / z-value equivalence of confidence interval\n\n';
const kSdLine = '\n\nThe estimated Standard Deviation = sqrt(N) * Standard Error\n\n';

const cases = [
  ['Other ...', '', '20', '5', '2.09', 'The standard deviation is: 10.69889',
    kCiHead + 'Applying a user specified value of 2.09 as the z-value or t-value equivalent of the confidence interval, the estimated standard error computes as (approximately): 2.39234' + kSdLine +
    'Which computes to 4.47213595499958 * 2.39234449760766\n\nTherefore, the SD = 10.6988898444966', []],
  ['99%', '', '20', '1', '2.09', 'The standard deviation is: 1.73608',
    kCiHead + 'Applying the Central Limit Theorem (and assuming a z-value of 2.576 for the entered 99% confidence interval), the estimated standard error computes as (approximately): 0.3882' + kSdLine +
    'Which computes to 4.47213595499958 * 0.388198757763975\n\nTherefore, the SD = 1.73607762228245', [kAdvisory]],
  ['95%', '', '31', '3.92', '', 'The standard deviation is: 11.13553',
    kCiHead + 'Applying the Central Limit Theorem (and assuming a z-value of 1.96 for the entered 95% confidence interval), the estimated standard error computes as (approximately): 2' + kSdLine +
    'Which computes to 5.56776436283002 * 2\n\nTherefore, the SD = 11.13552872566', []],
  ['95%', '2', '99999999999999999999999', '', '', 'The standard deviation is: 632455532033.676',
    'Standard Deviation = sqrt(N) * Standard Error\nWhich computes to 316227766016.838 * 2\n\nTherefore, the SD = 632455532033.676', []],
  ['95%', '1', '9', '2', '', '', '', ['You have data in all 3 boxes. Please clear either the Standard Error box or the Confidence Error box.']],
  ['95%', '1', '', '', '', '', '', [kNeedB]],
  ['Other ...', '', '9', '2', '', '', '', ["You must enter data in the z or t value box if you selected the 'Other' radio box."]],
];

async function withCalculator(options, body) {
  const browser = await openPage(options);
  try {
    const { page } = browser;
    await page.getByRole('tab', { name: 'Calculator' }).click();
    // Each message dialog is read and answered, in order.
    const messages = [];
    await body(page, messages, async () => {
      const dialog = page.getByRole('dialog', { name: 'Kelmory' });
      while (await dialog.isVisible()) {
        messages.push(await dialog.locator('#message-text').innerText());
        await dialog.getByRole('button', { name: 'OK' }).click();
      }
    });
    assert.deepEqual(browser.requests, []);
    assert.deepEqual(browser.problems, []);
  } finally {
    await browser.close();
  }
}

test('the main window\'s cases give its results, working and messages', async () => {
  await withCalculator({}, async (page, messages, answer) => {
    const box = (name) => page.getByRole('textbox', { name, exact: true });
    for (const [option, se, n, ci, z, result, working, expected] of cases) {
      await page.getByRole('button', { name: 'Reset All' }).click();
      await page.getByRole('radio', { name: option }).check();
      await box('(a) Standard Error Of Mean').pressSequentially(se);
      await box('(b) Total N').pressSequentially(n);
      await box('(c) Confidence Error').pressSequentially(ci);
      if (await box('z or t value').isEnabled()) await box('z or t value').pressSequentially(z);
      messages.length = 0;
      await page.getByRole('button', { name: 'Compute' }).click();
      await page.waitForTimeout(50);
      // The boxes are written before any message shows.
      assert.equal(await box('Standard deviation').inputValue(), result, `${option} ${se} ${n} ${ci}`);
      assert.equal(await box('Working').inputValue(), working);
      await answer();
      assert.deepEqual(messages, expected);
    }
  });
});

test('typed keys are filtered as in the desktop boxes, and the t-table is the engine\'s', async () => {
  await withCalculator({}, async (page) => {
    const box = (name) => page.getByRole('textbox', { name, exact: true });
    await page.getByRole('radio', { name: 'Other ...' }).check();
    for (const [name, keys, shown] of [
      ['(a) Standard Error Of Mean', '0123456789', '0123456789'],
      ['(c) Confidence Error', '1.5.', '1.5'],
      ['z or t value', '2.0.9', '2.09'],
      ['(a) Standard Error Of Mean', '-+eE xA', ''],
      ['(b) Total N', '3.-0', '30'],
    ]) {
      await box(name).fill('');
      await box(name).pressSequentially(keys);
      assert.equal(await box(name).inputValue(), shown, `${name} ${keys}`);
    }
    await page.getByRole('button', { name: 't-Table' }).click();
    const table = page.getByRole('dialog', { name: 't-Table' }).getByRole('table');
    await page.evaluate(axeSource);
    assert.deepEqual(await page.evaluate(async () => (await window.axe.run(document)).violations.map((v) => v.id)), []);
    const shown = await table.evaluate((t) => [...t.rows].map((r) => [...r.cells].map((c) => c.textContent).join(',')));
    // ttable/cutoff.csv: the desktop's data file, made with Boost.Math.
    const cutoff = (await readFile(join(webDir, '..', 'ttable', 'cutoff.csv'), 'utf8')).trimEnd().split('\n');
    assert.deepEqual(shown.map((line) => line.replace(/^DF,/, 'df,')), cutoff);
    // Escape closes it; the calculator is the view the page opens with next.
    await page.keyboard.press('Escape');
    assert.equal(await page.getByRole('dialog', { name: 't-Table' }).isVisible(), false);
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await page.getByRole('tab', { name: 'Calculator' }).getAttribute('aria-selected'), 'true');
    assert.equal(await page.getByRole('button', { name: 'Compute' }).isVisible(), true);
  });
});

test('a German browser shows decimal commas in the results and the t-table', async () => {
  await withCalculator({ lang: 'de-DE' }, async (page, messages, answer) => {
    const box = (name) => page.getByRole('textbox', { name, exact: true });
    await box('(b) Total N').pressSequentially('31');
    await box('(c) Confidence Error').pressSequentially('3,92');
    await page.getByRole('button', { name: 'Compute' }).click();
    assert.equal(await box('Standard deviation').inputValue(), 'The standard deviation is: 11,13553');
    await answer();
    assert.deepEqual(messages, []);
    await page.getByRole('radio', { name: 'Other ...' }).check();
    await page.getByRole('button', { name: 't-Table' }).click();
    const first = page.getByRole('dialog', { name: 't-Table' }).getByRole('row').nth(1);
    assert.equal(await first.evaluate((r) => [...r.cells].map((c) => c.textContent).join(' ')),
      '1 1,000 1,376 1,963 3,078 6,314 12,706 15,895 31,821 63,657 127,321 318,309 636,619');
  });
});

const kCitation =
  'Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \n' +
  'https://www.varonel.example/ Brennholme upon Aske, Ostreland.\n';
const kTerms = `I. Summary
This software is provided to you free of charge, on an as-is basis. You may use it, and you may 
pass it on to other people, as long as it stays whole and all of its credits remain in place.

II. Limitations
II. a. Good Faith
The programme was coded in good faith. Anyone who doubts the honesty of its code may 
be given insight into the code through a trusted organisation, such as a university, within 
limits: for example a single copy, for a limited time, to be removed when the evaluation ends.

II. b. Warranty
The makers have tried to make the code as stable as they could. They warrant that no code was placed 
in the programme to harm your system, and that no spyware or similar malware is in it or attached to it.

II.c. Liability
The programme was written with care, and it was tested on a good number of systems before its release. 
So far nobody has reported any damage to their system from using it. Even so, the makers are not 
liable for any damage however caused, including any damage that you might do to your own system with it.

II.d. Use of application in whole
Use of this software is limited to the application in whole; using only 
parts of it, on their own or inside other software, is not permitted.

Kelmory is written and given away freely by Varonel.
`;

test('Credits shows the credits window\'s texts beside the calculator, and Exit returns to the table', async () => {
  await withCalculator({}, async (page, messages, answer) => {
    const box = (name) => page.getByRole('textbox', { name, exact: true });
    const credits = page.getByRole('dialog', { name: 'Programme Credits' });
    const focused = () => page.evaluate(() => document.activeElement.id);
    // The desktop's captions, their access letters underlined.
    assert.deepEqual(
      await page.locator('#view-calc .commands button, #calc-credits').evaluateAll((all) => all.map((b) => b.innerHTML)),
      ['<u>C</u>ompute', '<u>R</u>eset All', 'E<u>x</u>it', 'Cr<u>e</u>dits']);

    await page.keyboard.press('Alt+E');
    assert.equal(await credits.isVisible(), true);
    assert.equal(await credits.getByText('Kelmory', { exact: true }).isVisible(), true);
    assert.equal(await credits.getByRole('textbox', { name: 'Citation' }).inputValue(), kCitation);
    assert.equal(await credits.getByRole('textbox', { name: 'Terms of use' }).inputValue(), kTerms);
    assert.equal(await focused(), 'credits-terms');
    const website = credits.getByRole('link', { name: 'Visit Varonel Website For More Software' });
    assert.deepEqual(await website.evaluate((a) => [a.href, a.target, a.rel]),
      ['https://www.varonel.example/', '_blank', 'noopener']);

    // Modeless: the calculator computes, keys and all, with the credits open.
    assert.equal(await credits.evaluate((d) => d.matches(':modal')), false);
    await box('(b) Total N').pressSequentially('31');
    await box('(c) Confidence Error').pressSequentially('3.92');
    await page.keyboard.press('Alt+C');
    assert.equal(await box('Standard deviation').inputValue(), 'The standard deviation is: 11.13553');
    assert.equal(await credits.isVisible(), true);
    await page.keyboard.press('Alt+R');
    assert.deepEqual(await Promise.all(['(b) Total N', '(c) Confidence Error', 'Standard deviation'].map((n) => box(n).inputValue())),
      ['', '', '']);

    // The website opens in a tab of its own at the user's key; nothing is
    // let through to the network.
    const context = page.context();
    await context.route(/^https?:/, (route) => route.abort());
    const asked = [];
    context.on('request', (request) => asked.push(request.url()));
    await credits.getByRole('textbox', { name: 'Terms of use' }).focus();
    const [tab] = await Promise.all([context.waitForEvent('page'), page.keyboard.press('Alt+V')]);
    await tab.waitForLoadState('domcontentloaded').catch(() => {});
    assert.notEqual(tab, page);
    assert.deepEqual(asked, ['https://www.varonel.example/']);
    assert.equal(await tab.evaluate(() => window.opener), null);
    assert.equal(await credits.isVisible(), true);

    // Alt+C in the credits is their Close, and the focus goes back to Credits.
    await page.bringToFront();
    await credits.getByRole('button', { name: 'Close' }).focus();
    await page.keyboard.press('Alt+C');
    assert.equal(await credits.isVisible(), false);
    assert.equal(await focused(), 'calc-credits');
    await page.getByRole('button', { name: 'Credits' }).click();
    await page.keyboard.press('Escape');
    assert.equal(await credits.isVisible(), false);
    await page.getByRole('button', { name: 'Credits' }).click();
    await credits.getByRole('button', { name: 'Close' }).click();
    assert.equal(await credits.isVisible(), false);

    // Exit, by key and by click: the table of studies, and the calculator's
    // keys stay with the calculator.
    const tableShown = async () => [
      await page.getByRole('tab', { name: 'Table of studies' }).getAttribute('aria-selected'),
      await page.getByRole('button', { name: 'Compute' }).isVisible(),
      await page.getByRole('grid', { name: 'Studies' }).isVisible(),
    ];
    await page.keyboard.press('Alt+X');
    assert.deepEqual(await tableShown(), ['true', false, true]);
    await page.keyboard.press('Alt+E');
    assert.equal(await credits.isVisible(), false);
    await page.getByRole('tab', { name: 'Calculator' }).click();
    await page.getByRole('button', { name: 'Exit' }).click();
    assert.deepEqual(await tableShown(), ['true', false, true]);
    await answer();
    assert.deepEqual(messages, []);
  });
});
