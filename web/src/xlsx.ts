// The table as a workbook: the studies on a first sheet, numbers as numbers
// and the warning and refusal cells shaded as on screen, the working of each
// row on a second sheet. The sheets' XML is written here and zipped by
// fflate: the writers on npm build objects and markup for every cell and
// took 20 s and more for 100,000 rows (benchmarks/web/xlsx_candidates.mjs).
import { strToU8, zipSync } from 'fflate';
import type { Table } from './kelmory';

// The added columns that hold numbers.
const kNumberResults = new Set(['sd', 'estimated_mean', 'total_n', 'critical_value', 'df', 'sd_z', 'sd_t', 'z_t_gap_percent']);
const kWarningShade = 'FFE79C';
const kRefusalShade = 'F7C4C4';

// A cell's value, and how it is shown: a number format, a shade, bold, wrapped.
type Cell = { value: string | number; format?: string; shade?: string; bold?: boolean; wrap?: boolean } | null;

const kNumber = /^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?(%?)$/;

// A number as a spreadsheet takes it: plain digits with the user's
// separator, no grouping; a level's "%" as a percentage.
function numberCell(text: string, decimal: string, percent: boolean): Cell {
  const plain = decimal === ',' ? text.trim().replace(',', '.') : text.trim();
  const match = kNumber.exec(plain);
  if (!match || (match[4] === '%' && !percent)) return text === '' ? null : { value: text };
  const value = Number(match[4] ? plain.slice(0, -1) : plain);
  if (!Number.isFinite(value)) return { value: text };
  if (!match[4]) return { value };
  const decimals = (match[2] ?? '.').length - 1;
  return { value: value / 100, format: decimals ? `0.${'0'.repeat(decimals)}%` : '0%' };
}

// The rows of a block as the table copies it: tabs between cells, a line
// end after each row, a cell holding a tab, line end or quote in quotes.
// One call for the whole table costs far less than one for each cell.
export function readBlock(text: string, columns: number): string[][] {
  const rows: string[][] = [];
  let at = 0;
  while (at < text.length) {
    const end = text.indexOf('\n', at);
    const line = text.slice(at, end < 0 ? text.length : end);
    if (!line.includes('"')) {
      rows.push(line.split('\t'));
      at = end < 0 ? text.length : end + 1;
      continue;
    }
    const row: string[] = [];
    let cell = '';
    for (;;) {
      const c = text[at];
      if (c === '"' && cell === '') {
        // A quoted cell runs to its closing quote; "" stands for one quote.
        for (++at; at < text.length; ++at) {
          if (text[at] !== '"') cell += text[at];
          else if (text[at + 1] === '"') cell += text[++at];
          else break;
        }
        ++at;
        continue;
      }
      if (c === '\t') {
        row.push(cell);
        cell = '';
        ++at;
      } else if (c === '\n' || c === undefined) {
        row.push(cell);
        ++at;
        break;
      } else {
        cell += c;
        ++at;
      }
    }
    rows.push(row);
  }
  for (const row of rows) while (row.length < columns) row.push('');
  return rows;
}

// Text as XML holds it: the five marked characters escaped and the control
// characters XML 1.0 cannot hold left out.
function xmlText(text: string): string {
  if (!/[&<>"\x00-\x08\x0b\x0c\x0e-\x1f]/.test(text)) return text;
  return text
    .replace(/[\x00-\x08\x0b\x0c\x0e-\x1f]/g, '')
    .replace(/&/g, '&amp;')
    .replace(/</g, '&lt;')
    .replace(/>/g, '&gt;')
    .replace(/"/g, '&quot;');
}

// A column's letters: A ... Z, AA ...
function columnLetters(column: number): string {
  let letters = '';
  for (let c = column + 1; c > 0; c = Math.floor((c - 1) / 26)) letters = String.fromCharCode(65 + ((c - 1) % 26)) + letters;
  return letters;
}

// The workbook's shared strings and cell styles, each numbered once.
class Book {
  private readonly strings = new Map<string, number>();
  private readonly stringXml: string[] = [];
  private readonly styles = new Map<string, number>([['', 0]]);
  private readonly styleXml = ['<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'];
  private readonly formats: string[] = [];
  private readonly fills: string[] = [];

  string(text: string): number {
    let id = this.strings.get(text);
    if (id === undefined) {
      id = this.stringXml.length;
      this.strings.set(text, id);
      const space = /^\s|\s$/.test(text) ? ' xml:space="preserve"' : '';
      this.stringXml.push(`<si><t${space}>${xmlText(text)}</t></si>`);
    }
    return id;
  }

  style(cell: NonNullable<Cell>): number {
    if (!cell.format && !cell.shade && !cell.bold && !cell.wrap) return 0;
    const key = `${cell.format ?? ''}|${cell.shade ?? ''}|${cell.bold ? 1 : 0}|${cell.wrap ? 1 : 0}`;
    let id = this.styles.get(key);
    if (id === undefined) {
      id = this.styleXml.length;
      this.styles.set(key, id);
      let format = 0;
      if (cell.format) {
        if (!this.formats.includes(cell.format)) this.formats.push(cell.format);
        format = 164 + this.formats.indexOf(cell.format);
      }
      let fill = 0;
      if (cell.shade) {
        if (!this.fills.includes(cell.shade)) this.fills.push(cell.shade);
        fill = 2 + this.fills.indexOf(cell.shade);
      }
      this.styleXml.push(
        `<xf numFmtId="${format}" fontId="${cell.bold ? 1 : 0}" fillId="${fill}" borderId="0" xfId="0"` +
          `${format ? ' applyNumberFormat="1"' : ''}${cell.bold ? ' applyFont="1"' : ''}${fill ? ' applyFill="1"' : ''}` +
          (cell.wrap ? ' applyAlignment="1"><alignment wrapText="1" vertical="top"/></xf>' : '/>'),
      );
    }
    return id;
  }

  // A sheet's XML: its column widths, then its rows.
  sheet(rows: Cell[][], widths: number[]): string {
    const letters = widths.map((_, c) => columnLetters(c));
    const parts = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n',
      '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><cols>'];
    widths.forEach((width, c) => parts.push(`<col min="${c + 1}" max="${c + 1}" width="${width}" customWidth="1"/>`));
    parts.push('</cols><sheetData>');
    rows.forEach((row, r) => {
      let line = `<row r="${r + 1}">`;
      row.forEach((cell, c) => {
        if (cell === null) return;
        const style = this.style(cell);
        const s = style ? ` s="${style}"` : '';
        line += typeof cell.value === 'number'
          ? `<c r="${letters[c]}${r + 1}"${s}><v>${cell.value}</v></c>`
          : `<c r="${letters[c]}${r + 1}"${s} t="s"><v>${this.string(cell.value)}</v></c>`;
      });
      parts.push(line + '</row>');
    });
    parts.push('</sheetData></worksheet>');
    return parts.join('');
  }

  sharedStringsXml(): string {
    return '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n' +
      `<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" uniqueCount="${this.stringXml.length}">` +
      this.stringXml.join('') + '</sst>';
  }

  stylesXml(): string {
    const formats = this.formats.map((f, i) => `<numFmt numFmtId="${164 + i}" formatCode="${xmlText(f)}"/>`).join('');
    const fills = this.fills.map((rgb) =>
      `<fill><patternFill patternType="solid"><fgColor rgb="FF${rgb}"/><bgColor indexed="64"/></patternFill></fill>`).join('');
    return '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n' +
      '<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">' +
      (formats ? `<numFmts count="${this.formats.length}">${formats}</numFmts>` : '') +
      '<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/><name val="Calibri"/></font></fonts>' +
      `<fills count="${2 + this.fills.length}"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>${fills}</fills>` +
      '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>' +
      '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>' +
      `<cellXfs count="${this.styleXml.length}">${this.styleXml.join('')}</cellXfs>` +
      '<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles></styleSheet>';
  }
}

// The parts every workbook of two sheets has.
function packageParts(sheets: string[]): Record<string, string> {
  const xml = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n';
  const main = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main';
  const rels = 'http://schemas.openxmlformats.org/package/2006/relationships';
  const type = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships';
  const sml = 'application/vnd.openxmlformats-officedocument.spreadsheetml';
  return {
    '[Content_Types].xml': xml + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">' +
      '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>' +
      '<Default Extension="xml" ContentType="application/xml"/>' +
      `<Override PartName="/xl/workbook.xml" ContentType="${sml}.sheet.main+xml"/>` +
      sheets.map((_, i) => `<Override PartName="/xl/worksheets/sheet${i + 1}.xml" ContentType="${sml}.worksheet+xml"/>`).join('') +
      `<Override PartName="/xl/styles.xml" ContentType="${sml}.styles+xml"/>` +
      `<Override PartName="/xl/sharedStrings.xml" ContentType="${sml}.sharedStrings+xml"/></Types>`,
    '_rels/.rels': xml + `<Relationships xmlns="${rels}">` +
      `<Relationship Id="rId1" Type="${type}/officeDocument" Target="xl/workbook.xml"/></Relationships>`,
    'xl/workbook.xml': xml + `<workbook xmlns="${main}" xmlns:r="${type}"><sheets>` +
      sheets.map((name, i) => `<sheet name="${xmlText(name)}" sheetId="${i + 1}" r:id="rId${i + 1}"/>`).join('') +
      '</sheets></workbook>',
    'xl/_rels/workbook.xml.rels': xml + `<Relationships xmlns="${rels}">` +
      sheets.map((_, i) => `<Relationship Id="rId${i + 1}" Type="${type}/worksheet" Target="worksheets/sheet${i + 1}.xml"/>`).join('') +
      `<Relationship Id="rId${sheets.length + 1}" Type="${type}/styles" Target="styles.xml"/>` +
      `<Relationship Id="rId${sheets.length + 2}" Type="${type}/sharedStrings" Target="sharedStrings.xml"/></Relationships>`,
  };
}

export async function exportXlsx(table: Table, decimal: string): Promise<Uint8Array> {
  const columns = table.columns();
  const rows = table.rows();
  const header: Cell[] = [];
  for (let c = 0; c < columns; ++c) header.push({ value: table.heading(c), bold: true });
  const studies: Cell[][] = [header];
  const working: Cell[][] = [[
    { value: 'row', bold: true },
    { value: columns ? table.heading(0) : '', bold: true },
    { value: 'working', bold: true },
  ]];
  // What each column holds, asked once.
  const names: string[] = [], results: boolean[] = [], kinds: number[] = [];
  for (let c = 0; c < columns; ++c) {
    names.push(table.columnName(c));
    results.push(table.isResultColumn(c));
    kinds.push(table.kind(c));
  }
  const block = rows && columns ? readBlock(table.copyBlock(0, 0, rows - 1, columns - 1, false), columns) : [];
  for (let r = 0; r < rows; ++r) {
    const texts = block[r];
    const row: Cell[] = [];
    for (let c = 0; c < columns; ++c) {
      const text = texts[c];
      const name = names[c];
      const result = results[c];
      const kind = kinds[c];
      let cell: Cell;
      if (result ? kNumberResults.has(name) : kind !== 0 || (text !== '' && table.isFilledIn(r, c))) {
        cell = numberCell(text, decimal, kind === 2);
      } else {
        cell = text === '' ? null : { value: text };
      }
      const shade = result && text !== '' ? (name === 'warning' ? kWarningShade : name === 'refusal' ? kRefusalShade : '') : '';
      if (shade) cell = { ...(cell ?? { value: '' }), shade };
      row.push(cell);
    }
    studies.push(row);
    const text = table.working(r);
    working.push([
      { value: r + 1 },
      columns && texts[0] !== '' ? { value: texts[0] } : null,
      text === '' ? null : { value: text, wrap: true },
    ]);
  }
  const widths = names.map((name, c) => (name === 'warning' || name === 'refusal' ? 60 : results[c] ? 20 : 14));
  const book = new Book();
  const files: Record<string, Uint8Array> = {};
  files['xl/worksheets/sheet1.xml'] = strToU8(book.sheet(studies, widths));
  files['xl/worksheets/sheet2.xml'] = strToU8(book.sheet(working, [6, 24, 90]));
  files['xl/styles.xml'] = strToU8(book.stylesXml());
  files['xl/sharedStrings.xml'] = strToU8(book.sharedStringsXml());
  for (const [name, text] of Object.entries(packageParts(['Studies', 'Working']))) files[name] = strToU8(text);
  return zipSync(files, { level: 1 });
}
