// The table as a workbook: the studies on a first sheet, numbers as numbers
// and the warning and refusal cells shaded as on screen, the working of each
// row on a second sheet.
import writeXlsxFile from 'write-excel-file/browser';
import type { Table } from './kelmory';

// The added columns that hold numbers.
const kNumberResults = new Set(['sd', 'estimated_mean', 'total_n', 'critical_value', 'df', 'sd_z', 'sd_t', 'z_t_gap_percent']);
const kWarningShade = '#FFE79C';
const kRefusalShade = '#F7C4C4';

type Cell = { value?: string | number; type?: typeof Number | typeof String; format?: string; fontWeight?: 'bold'; backgroundColor?: string; wrap?: boolean } | null;

// A number as a spreadsheet takes it: plain digits with the user's
// separator, no grouping; a level's "%" as a percentage.
function numberCell(text: string, decimal: string, percent: boolean): Cell {
  const plain = decimal === ',' ? text.trim().replace(',', '.') : text.trim();
  const match = /^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?(%?)$/.exec(plain);
  if (!match || (match[4] === '%' && !percent)) return text === '' ? null : { value: text, type: String };
  const value = Number(match[4] ? plain.slice(0, -1) : plain);
  if (!Number.isFinite(value)) return { value: text, type: String };
  if (!match[4]) return { value, type: Number };
  const decimals = (match[2] ?? '.').length - 1;
  return { value: value / 100, type: Number, format: decimals ? `0.${'0'.repeat(decimals)}%` : '0%' };
}

export async function exportXlsx(table: Table, decimal: string): Promise<Uint8Array> {
  const columns = table.columns();
  const header: Cell[] = [];
  for (let c = 0; c < columns; ++c) header.push({ value: table.heading(c), fontWeight: 'bold' });
  const studies: Cell[][] = [header];
  const working: Cell[][] = [[
    { value: 'row', fontWeight: 'bold' },
    { value: columns ? table.heading(0) : '', fontWeight: 'bold' },
    { value: 'working', fontWeight: 'bold' },
  ]];
  for (let r = 0; r < table.rows(); ++r) {
    const row: Cell[] = [];
    for (let c = 0; c < columns; ++c) {
      const text = table.cell(r, c);
      const name = table.columnName(c);
      const result = table.isResultColumn(c);
      const kind = table.kind(c);
      let cell: Cell;
      if (result ? kNumberResults.has(name) : kind !== 0 || table.isFilledIn(r, c)) {
        cell = numberCell(text, decimal, kind === 2);
      } else {
        cell = text === '' ? null : { value: text, type: String };
      }
      const shade = result && text !== '' ? (name === 'warning' ? kWarningShade : name === 'refusal' ? kRefusalShade : '') : '';
      if (shade) cell = { ...(cell ?? {}), backgroundColor: shade };
      row.push(cell);
    }
    studies.push(row);
    const text = table.working(r);
    working.push([
      { value: r + 1, type: Number },
      columns && table.cell(r, 0) !== '' ? { value: table.cell(r, 0), type: String } : null,
      text === '' ? null : { value: text, type: String, wrap: true },
    ]);
  }
  const widths = [];
  for (let c = 0; c < columns; ++c) {
    const name = table.columnName(c);
    widths.push({ width: name === 'warning' || name === 'refusal' ? 60 : table.isResultColumn(c) ? 20 : 14 });
  }
  const blob = await writeXlsxFile([
    { data: studies, sheet: 'Studies', columns: widths },
    { data: working, sheet: 'Working', columns: [{ width: 6 }, { width: 24 }, { width: 90 }] },
  ] as never).toBlob();
  return new Uint8Array(await blob.arrayBuffer());
}
