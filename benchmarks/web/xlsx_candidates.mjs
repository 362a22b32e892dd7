// The .xlsx writers the page could use, measured alike under Node.js: a
// workbook of 100,000 study rows (20 columns, half of them numbers, every
// tenth row shaded) and a working sheet, best of three, with the size each
// writes. exceljs and excelts (a maintained fork of it) are not among the
// page's packages: each is measured when installed beside them
// (npm install --no-save exceljs @cj-tech-master/excelts in web/).
//   node benchmarks/web/xlsx_candidates.mjs
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { webDir } from '../../web/tests/browser.mjs';

const require = createRequire(join(webDir, 'package.json'));
const rows = Number(process.env.ROWS ?? 100_000);
const shade = 'FFE79C';

function table() {
  const data = [];
  for (let r = 0; r < rows; ++r) {
    const row = [];
    for (let c = 0; c < 20; ++c) row.push(c % 2 ? (r * 31 + c) / 7 : `text ${r} ${c}`);
    data.push(row);
  }
  return data;
}

async function writeExcelFile(data) {
  const { default: write } = await import(join(webDir, 'node_modules/write-excel-file/node/index.js'));
  const sheet = data.map((row, r) => row.map((value) => ({
    value, type: typeof value === 'number' ? Number : String, ...(r % 10 === 0 ? { backgroundColor: `#${shade}` } : {}),
  })));
  const working = data.map((row, r) => [{ value: r + 1, type: Number }, { value: `working of row ${r}`, type: String }]);
  return (await write([{ data: sheet, sheet: 'Studies' }, { data: working, sheet: 'Working' }]).toBuffer()).length;
}

async function exceljs(data, ExcelJS = require('exceljs')) {
  const book = new ExcelJS.Workbook();
  const sheet = book.addWorksheet('Studies');
  data.forEach((row, r) => {
    const added = sheet.addRow(row);
    if (r % 10 === 0) added.eachCell((cell) => (cell.fill = { type: 'pattern', pattern: 'solid', fgColor: { argb: `FF${shade}` } }));
  });
  const working = book.addWorksheet('Working');
  data.forEach((row, r) => working.addRow([r + 1, `working of row ${r}`]));
  return (await book.xlsx.writeBuffer()).byteLength;
}

const data = table();
const candidates = [['write-excel-file', writeExcelFile]];
for (const [name, write] of [
  ['exceljs', exceljs],
  ['@cj-tech-master/excelts', async (data) => exceljs(data, await import(require.resolve('@cj-tech-master/excelts')))],
]) {
  try {
    require.resolve(name);
    candidates.push([name, write]);
  } catch {
    console.log(`${name} is not installed: not measured`);
  }
}
for (const [name, write] of candidates) {
  const times = [];
  let size = 0;
  for (let run = 0; run < 3; ++run) {
    const start = performance.now();
    size = await write(data);
    times.push(performance.now() - start);
  }
  console.log(JSON.stringify({ name, rows, bestMs: Math.round(Math.min(...times)), allMs: times.map(Math.round), bytes: size }));
}
