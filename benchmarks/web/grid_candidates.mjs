// The grid libraries the page could stand on, measured alike in headless
// Chromium: a paste of 100,000 study rows (the texts set as the grid's data
// until the first screen of rows is drawn, best of three), and what
// axe-core and a keyboard find in a grid of 50 rows.
//   node benchmarks/web/grid_candidates.mjs       (after scripts/web --build-only)
import { writeFile, readFile } from 'node:fs/promises';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';
import { openPage, webDir } from '../../web/tests/browser.mjs';

const require = createRequire(join(webDir, 'package.json'));
const modules = join(webDir, 'node_modules');
const rows = Number(process.env.ROWS ?? 100_000);
const columns = ['study', 'n', 'se', 'ci', 'lower', 'upper', 'mean', 'level', 'z', 'notes'];

const candidates = {
  'AG Grid Community': {
    scripts: [join(modules, 'ag-grid-community/dist/ag-grid-community.min.js')],
    setUp: `window.grid = agGrid.createGrid(document.getElementById('grid'), {
      columnDefs: COLUMNS.map((c) => ({ field: c, editable: true })), rowData: [] });
      window.fill = (data) => window.grid.setGridOption('rowData', data);`,
  },
  Tabulator: {
    scripts: [join(modules, 'tabulator-tables/dist/js/tabulator.min.js')],
    styles: [join(modules, 'tabulator-tables/dist/css/tabulator.min.css')],
    setUp: `window.grid = new Tabulator('#grid', { height: '600px', renderVertical: 'virtual',
      columns: COLUMNS.map((c) => ({ title: c, field: c, editor: 'input' })), data: [] });
      window.fill = (data) => window.grid.replaceData(data);`,
  },
};

const axeSource = await readFile(require.resolve('axe-core/axe.min.js'), 'utf8');

async function measure(name, candidate) {
  const browser = await openPage();
  const { page, folder } = browser;
  try {
    const html = join(folder, 'grid.html');
    const styles = await Promise.all((candidate.styles ?? []).map((p) => readFile(p, 'utf8')));
    const scripts = await Promise.all(candidate.scripts.map((p) => readFile(p, 'utf8')));
    await writeFile(html, `<!doctype html><html lang="en"><head><meta charset="utf-8"><title>${name}</title>
      <style>${styles.join('\n')}</style></head><body><main><div id="grid" style="height:600px"></div></main>
      ${scripts.map((s) => `<script>${s.replaceAll('</script', '<\\/script')}</script>`).join('')}
      <script>const COLUMNS = ${JSON.stringify(columns)}; ${candidate.setUp}</script></body></html>`);
    await page.goto(pathToFileURL(html).href);
    await page.waitForFunction(() => typeof window.fill === 'function');
    const times = [];
    for (let run = 0; run < 3; ++run) {
      times.push(await page.evaluate(async ({ rows, columns }) => {
        let text = columns.join('\t') + '\n';
        for (let r = 0; r < rows; ++r) text += `Study ${r}\t${20 + (r % 50)}\t${1 + (r % 7) / 10}\t\t\t\t\t\t\tnote\n`;
        const start = performance.now();
        const lines = text.split('\n');
        const data = [];
        for (let i = 1; i < lines.length - 1; ++i) {
          const cells = lines[i].split('\t');
          const row = {};
          columns.forEach((c, j) => (row[c] = cells[j]));
          data.push(row);
        }
        await window.fill(data);
        await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
        return performance.now() - start;
      }, { rows, columns }));
    }
    await page.evaluate((data) => window.fill(data), Array.from({ length: 50 }, (_, r) =>
      Object.fromEntries(columns.map((c) => [c, `${c} ${r}`]))));
    await page.waitForTimeout(300);
    await page.evaluate(axeSource);
    const violations = await page.evaluate(async () =>
      (await window.axe.run(document)).violations.map((v) => `${v.id} (${v.nodes.length})`));
    const roles = await page.evaluate(() => ({
      grid: document.querySelectorAll('[role="grid"], [role="treegrid"]').length,
      rowcount: document.querySelector('[aria-rowcount]')?.getAttribute('aria-rowcount') ?? null,
      gridcells: document.querySelectorAll('[role="gridcell"]').length,
      columnheaders: document.querySelectorAll('[role="columnheader"]').length,
    }));
    // Tab into the grid, then two arrows: does a cell take the focus and move?
    await page.keyboard.press('Tab');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowRight');
    const focus = await page.evaluate(() => {
      const e = document.activeElement;
      return `${e?.getAttribute('role') ?? e?.tagName} "${(e?.textContent ?? '').trim().slice(0, 20)}"`;
    });
    return { name, pasteMs: Math.min(...times), allMs: times.map(Math.round), violations, roles, focusAfterArrows: focus };
  } finally {
    await browser.close();
  }
}

for (const [name, candidate] of Object.entries(candidates)) {
  const result = await measure(name, candidate);
  console.log(JSON.stringify({ ...result, pasteMs: Math.round(result.pasteMs), rows }));
}
