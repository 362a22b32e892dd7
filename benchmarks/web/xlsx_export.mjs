// The page's Export .xlsx of 100,000 study rows with their results, in
// headless Chromium: from the button's click until the workbook's bytes are
// ready to download, against the floor of reading every cell, mark and
// working text out of the table once (which any export must do). Best of
// three. PROFILE=file.cpuprofile also writes a CPU profile of the last export.
//   node benchmarks/web/xlsx_export.mjs      (after scripts/web --build-only)
import { writeFile } from 'node:fs/promises';
import { openPage } from '../../web/tests/browser.mjs';
import { reviewText } from './studies.mjs';

const rows = Number(process.env.ROWS ?? 100_000);
const runs = Number(process.env.RUNS ?? 3);

const browser = await openPage();
const { page } = browser;
page.on('crash', () => console.error('the page crashed'));
try {
  await page.getByRole('grid', { name: 'Studies' }).getByRole('gridcell').first().click();
  const tally = await page.evaluate((text) => {
    const data = new DataTransfer();
    data.setData('text/plain', text);
    document.activeElement.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
    return window.kelmory.table.table.tally();
  }, reviewText(rows, { warnings: true }));
  if (tally.rows !== rows) throw new Error(`${tally.rows} rows pasted`);

  const floor = [], exported = [];
  let bytes = 0;
  for (let run = 0; run < runs; ++run) {
    floor.push(await page.evaluate(() => {
      const table = window.kelmory.table.table;
      const start = performance.now();
      let length = 0;
      const columns = table.columns();
      for (let r = 0; r < table.rows(); ++r) {
        for (let c = 0; c < columns; ++c) length += table.cell(r, c).length;
        length += table.working(r).length + table.mark(r);
      }
      if (length === 0) throw new Error('an empty table');
      return performance.now() - start;
    }));
    const profile = process.env.PROFILE && run === runs - 1;
    const session = profile ? await page.context().newCDPSession(page) : null;
    if (session) {
      await session.send('Profiler.enable');
      await session.send('Profiler.setSamplingInterval', { interval: 500 });
      await session.send('Profiler.start');
    }
    const [took, size] = await page.evaluate(() => new Promise((resolve) => {
      const create = URL.createObjectURL;
      let start = 0;
      // The workbook's own, not a worker's script the zip writer may make.
      URL.createObjectURL = (blob) => {
        if (blob.type.includes('spreadsheetml')) {
          URL.createObjectURL = create;
          resolve([performance.now() - start, blob.size]);
        }
        return create(blob);
      };
      start = performance.now();
      document.getElementById('save-xlsx').click();
    }));
    if (session) {
      const { profile: data } = await session.send('Profiler.stop');
      await writeFile(process.env.PROFILE, JSON.stringify(data));
      await session.detach();
    }
    exported.push(took);
    bytes = size;
  }
  const best = (times) => Math.min(...times);
  const round = (times) => times.map((t) => Math.round(t));
  console.log(JSON.stringify({ benchmark: 'table read once (floor)', rows, bestMs: Math.round(best(floor)), allMs: round(floor) }));
  console.log(JSON.stringify({ benchmark: 'Export .xlsx', rows, bestMs: Math.round(best(exported)), allMs: round(exported), bytes }));
  console.log(JSON.stringify({ benchmark: 'export / floor', ratio: Number((best(exported) / best(floor)).toFixed(2)) }));
} finally {
  await browser.close();
}
