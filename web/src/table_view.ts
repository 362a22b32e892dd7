// The table of studies: the grid over the C++ table, with the spreadsheet's
// keys (paste, copy, Delete, undo, redo), Open and Save, the method and the
// default level, and the working of the current row below.
import {
  AllCommunityModule,
  ModuleRegistry,
  colorSchemeDark,
  colorSchemeLight,
  createGrid,
  themeQuartz,
  type CellClassParams,
  type ColDef,
  type GridApi,
  type SuppressKeyboardEventParams,
  type ValueGetterParams,
  type ValueSetterParams,
} from 'ag-grid-community';
import type { Rules, Table } from './kelmory';
import { exportXlsx } from './xlsx';
import { byId } from './dom';

ModuleRegistry.registerModules([AllCommunityModule]);

interface RowData {
  r: number;
}

const kMethodKey = 'kelmory.method';
const kLevelKey = 'kelmory.level';
const kMedianKey = 'kelmory.median';
const kCorrKey = 'kelmory.corr';
const kCorrValueKey = 'kelmory.corrValue';

// Dark and light as the system has them; the grid's own colours follow.
export function darkScheme(): MediaQueryList {
  return window.matchMedia('(prefers-color-scheme: dark)');
}

function gridTheme(dark: boolean) {
  return themeQuartz.withPart(dark ? colorSchemeDark : colorSchemeLight).withParams(
    dark
      ? { accentColor: '#7cb7ff', foregroundColor: '#f2f2f2', backgroundColor: '#1c1f24' }
      : { accentColor: '#0b5cad', foregroundColor: '#111111', backgroundColor: '#ffffff' },
  );
}

export class TableView {
  readonly table: Table;
  private api!: GridApi<RowData>;
  private shownColumns = -1;
  private shownHeadings = '';
  private shownRows = -1;
  private fileName = 'studies.csv';
  private readonly message = byId<HTMLParagraphElement>('table-message');
  private readonly tallyText = byId<HTMLParagraphElement>('tally');
  private readonly announce = byId<HTMLDivElement>('announce');
  private readonly working = byId<HTMLTextAreaElement>('working');
  private readonly level = byId<HTMLInputElement>('level');
  private readonly median = byId<HTMLSelectElement>('median');
  private readonly corr = byId<HTMLSelectElement>('corr');
  private readonly corrValue = byId<HTMLInputElement>('corr-value');

  constructor(
    private readonly rules: Rules,
    readonly decimal: string,
  ) {
    this.table = new rules.WebTable(decimal);
    this.restoreSettings();
    this.makeGrid();
    this.wireToolbar();
    this.wireKeys();
    this.refresh();
  }

  // --- settings -----------------------------------------------------------

  private method(): string {
    return byId<HTMLInputElement>('method-z').checked ? 'z' : 't';
  }

  private restoreSettings(): void {
    const method = localStorage.getItem(kMethodKey);
    if (method === 'z') byId<HTMLInputElement>('method-z').checked = true;
    const level = localStorage.getItem(kLevelKey);
    this.level.value = level ?? '95';
    if (!this.applySettings(false)) {
      this.level.value = '95';
      this.applySettings(false);
    }
    const median = localStorage.getItem(kMedianKey);
    if (median && [...this.median.options].some((o) => o.value === median)) this.median.value = median;
    this.table.setMedian(this.median.value);
    const corr = localStorage.getItem(kCorrKey);
    if (corr && [...this.corr.options].some((o) => o.value === corr)) this.corr.value = corr;
    this.corrValue.value = localStorage.getItem(kCorrValueKey) ?? `0${this.decimal}5`;
    if (!this.applyCorrelation(false)) {
      this.corr.value = 'none';
      this.applyCorrelation(false);
    }
  }

  // False when the correlation box holds no correlation; the table keeps
  // the last choice.
  private applyCorrelation(store: boolean): boolean {
    const value = this.corr.value === 'value';
    this.corrValue.hidden = !value;
    const outcome = this.table.setCorrelation(this.corr.value, this.corrValue.value.trim());
    this.corrValue.setAttribute('aria-invalid', outcome.ok ? 'false' : 'true');
    if (!outcome.ok) {
      this.say(outcome.message);
      return false;
    }
    if (store) {
      localStorage.setItem(kCorrKey, this.corr.value);
      if (value) localStorage.setItem(kCorrValueKey, this.corrValue.value.trim());
    }
    return true;
  }

  // False when the level box holds no level; the table keeps the last one.
  private applySettings(store: boolean): boolean {
    const outcome = this.table.setSettings(this.method(), this.level.value.trim());
    this.level.setAttribute('aria-invalid', outcome.ok ? 'false' : 'true');
    if (!outcome.ok) {
      this.say(outcome.message);
      return false;
    }
    if (store) {
      localStorage.setItem(kMethodKey, this.method());
      localStorage.setItem(kLevelKey, this.level.value.trim());
    }
    return true;
  }

  // --- the grid -----------------------------------------------------------

  private makeGrid(): void {
    const element = byId<HTMLDivElement>('grid');
    this.api = createGrid<RowData>(element, {
      theme: gridTheme(darkScheme().matches),
      columnDefs: [],
      rowData: [],
      rowSelection: { mode: 'multiRow', checkboxes: false, headerCheckbox: false, enableClickSelection: true },
      defaultColDef: {
        sortable: false,
        suppressMovable: true,
        resizable: true,
        suppressKeyboardEvent: (p) => this.ownKey(p),
      },
      singleClickEdit: false,
      stopEditingWhenCellsLoseFocus: true,
      enterNavigatesVertically: true,
      enterNavigatesVerticallyAfterEdit: true,
      animateRows: false,
      suppressColumnVirtualisation: true,
      onCellFocused: () => this.showCurrent(),
      onGridReady: () => this.nameGrid(),
    });
    darkScheme().addEventListener('change', (e) => this.api.setGridOption('theme', gridTheme(e.matches)));
  }

  // The grid is the table "Studies", as in the desktop window.
  private nameGrid(): void {
    const grid = byId<HTMLDivElement>('grid').querySelector('[role="grid"], [role="treegrid"]');
    grid?.setAttribute('aria-label', 'Studies');
  }

  // Keys the page handles rather than the grid: Delete, undo and redo.
  private ownKey(p: SuppressKeyboardEventParams<RowData>): boolean {
    if (p.editing) return false;
    const e = p.event;
    const ctrl = e.ctrlKey || e.metaKey;
    if (e.key === 'Delete' || e.key === 'Backspace') return true;
    return ctrl && ['a', 'z', 'y', 'A', 'Z', 'Y'].includes(e.key);
  }

  private columnDefs(): ColDef<RowData>[] {
    const defs: ColDef<RowData>[] = [
      {
        colId: 'mark',
        headerName: 'Row',
        width: 136,
        pinned: 'left',
        editable: false,
        valueGetter: (p: ValueGetterParams<RowData>) => this.markText(p.data?.r ?? 0),
        cellClass: (p: CellClassParams<RowData>) => this.markClass(p.data?.r ?? 0),
      },
    ];
    const n = this.table.columns();
    for (let c = 0; c < n; ++c) {
      const result = this.table.isResultColumn(c);
      const name = this.table.columnName(c);
      defs.push({
        colId: `c${c}`,
        headerName: this.table.heading(c),
        width: name === 'warning' || name === 'refusal' ? 320 : result ? 150 : name === 'study' || name === 'notes' ? 160 : 96,
        editable: (p) => !result && !this.table.isFilledIn(p.data?.r ?? 0, c),
        valueGetter: (p: ValueGetterParams<RowData>) => this.table.cell(p.data?.r ?? 0, c),
        valueSetter: (p: ValueSetterParams<RowData>) => {
          this.table.setCell(p.data.r, c, String(p.newValue ?? ''));
          this.changed();
          return false;
        },
        cellClass: (p: CellClassParams<RowData>) => this.cellClass(p.data?.r ?? 0, c, name, result),
      });
    }
    return defs;
  }

  private markText(r: number): string {
    if (r >= this.table.rows()) return '* new';
    const mark = this.table.mark(r);
    return `${r + 1}${mark === 2 ? ' ✖ refused' : mark === 1 ? ' ⚠ warning' : ''}`;
  }

  private markClass(r: number): string {
    const mark = this.table.mark(r);
    return mark === 2 ? 'mark refused' : mark === 1 ? 'mark warned' : 'mark';
  }

  private cellClass(r: number, c: number, name: string, result: boolean): string {
    if (r >= this.table.rows()) return '';
    if (name === 'warning' && result && this.table.cell(r, c) !== '') return 'warned';
    if (name === 'refusal' && result && this.table.cell(r, c) !== '') return 'refused';
    if (result || this.table.isFilledIn(r, c)) return 'result';
    return '';
  }

  // After any change to the table: the columns, the rows and the texts.
  refresh(): void {
    // New columns and new rows go to the grid together: it lays them out once.
    const options: { columnDefs?: ColDef<RowData>[]; rowData?: RowData[] } = {};
    const columns = this.table.columns();
    let headings = '';
    for (let c = 0; c < columns; ++c) headings += this.table.heading(c) + '\t';
    if (columns !== this.shownColumns || headings !== this.shownHeadings) {
      this.shownColumns = columns;
      this.shownHeadings = headings;
      options.columnDefs = this.columnDefs();
    }
    const rows = this.table.rows();
    if (rows !== this.shownRows) {
      this.shownRows = rows;
      const data: RowData[] = new Array(rows + 1);
      for (let r = 0; r <= rows; ++r) data[r] = { r };
      options.rowData = data;
    }
    if (options.columnDefs || options.rowData) this.api.updateGridOptions(options);
    // Rows the grid keeps show their cells again: a change of the settings
    // moves their results.
    if (!options.rowData) this.api.refreshCells({ force: true });
    const tally = this.table.tally();
    const studies = `${tally.rows} ${tally.rows === 1 ? 'study' : 'studies'}`;
    const warnings = `${tally.warnings} ${tally.warnings === 1 ? 'warning' : 'warnings'}`;
    this.tallyText.textContent = `${studies}, ${warnings}, ${tally.refused} refused`;
    byId<HTMLButtonElement>('undo').disabled = !this.table.canUndo();
    byId<HTMLButtonElement>('redo').disabled = !this.table.canRedo();
    this.showCurrent();
  }

  private changed(): void {
    this.message.textContent = '';
    queueMicrotask(() => this.refresh());
  }

  private currentRow(): number {
    return this.api.getFocusedCell()?.rowIndex ?? -1;
  }

  private showCurrent(): void {
    const r = this.currentRow();
    this.working.value = r >= 0 ? this.table.working(r) : '';
    const message = r >= 0 ? this.table.message(r) : '';
    if (message !== '') {
      const kind = this.table.mark(r) === 2 ? 'refused' : 'warning';
      this.announce.textContent = `Row ${r + 1} ${kind}: ${message}`;
    }
  }

  private say(text: string): void {
    this.message.textContent = text;
  }

  // --- keys and the clipboard ---------------------------------------------

  private focused(): { row: number; column: number } {
    const cell = this.api.getFocusedCell();
    if (!cell) return { row: 0, column: 0 };
    const id = cell.column.getColId();
    return { row: cell.rowIndex, column: id.startsWith('c') ? Number(id.slice(1)) : 0 };
  }

  private selectedRows(): number[] {
    const rows = this.api
      .getSelectedNodes()
      .map((n) => n.data?.r ?? -1)
      .filter((r) => r >= 0 && r < this.table.rows());
    if (rows.length === 0) {
      const r = this.currentRow();
      if (r >= 0 && r < this.table.rows()) rows.push(r);
    }
    return rows.sort((a, b) => a - b);
  }

  private editing(target: EventTarget | null): boolean {
    return target instanceof HTMLInputElement || target instanceof HTMLTextAreaElement;
  }

  private wireKeys(): void {
    const grid = byId<HTMLDivElement>('grid');
    grid.addEventListener('keydown', (e) => {
      if (this.editing(e.target)) return;
      const ctrl = e.ctrlKey || e.metaKey;
      if (e.key === 'Delete' || e.key === 'Backspace') {
        e.preventDefault();
        this.clearSelection();
      } else if (ctrl && (e.key === 'a' || e.key === 'A')) {
        e.preventDefault();
        this.api.selectAll();
      }
    });
    // Undo and redo from anywhere in the table view but a text box.
    byId<HTMLElement>('view-table').addEventListener('keydown', (e) => {
      if (this.editing(e.target) || !(e.ctrlKey || e.metaKey)) return;
      const key = e.key.toLowerCase();
      if (key === 'z' && !e.shiftKey) {
        e.preventDefault();
        this.undo();
      } else if (key === 'y' || (key === 'z' && e.shiftKey)) {
        e.preventDefault();
        this.redo();
      }
    });
    grid.addEventListener('paste', (e) => {
      if (this.editing(e.target)) return;
      e.preventDefault();
      this.paste(e.clipboardData?.getData('text/plain') ?? '');
    });
    grid.addEventListener('copy', (e) => {
      if (this.editing(e.target)) return;
      e.preventDefault();
      e.clipboardData?.setData('text/plain', this.copyText());
    });
    // Drag and drop of a file anywhere on the table view.
    const view = byId<HTMLElement>('view-table');
    view.addEventListener('dragover', (e) => {
      e.preventDefault();
      view.classList.add('dropping');
    });
    view.addEventListener('dragleave', () => view.classList.remove('dropping'));
    view.addEventListener('drop', (e) => {
      e.preventDefault();
      view.classList.remove('dropping');
      const file = e.dataTransfer?.files[0];
      if (file) void this.openFile(file);
    });
  }

  paste(text: string): void {
    const at = this.focused();
    // As UTF-8 bytes: the browser's encoder is much faster than the module's.
    const outcome = this.table.paste(new TextEncoder().encode(text), at.row, at.column);
    if (!outcome.ok) {
      this.say(outcome.message);
      return;
    }
    this.changed();
  }

  // The selected rows (or the current one) whole, with the header.
  copyText(): string {
    const rows = this.selectedRows();
    const last = this.table.columns() - 1;
    if (rows.length === 0) return this.table.copyBlock(0, 0, -1, last, true);
    let text = this.table.copyBlock(0, 0, -1, last, true);
    // Runs of consecutive rows as one block each.
    for (let i = 0; i < rows.length; ) {
      let j = i;
      while (j + 1 < rows.length && rows[j + 1] === rows[j] + 1) ++j;
      text += this.table.copyBlock(rows[i], 0, rows[j], last, false);
      i = j + 1;
    }
    return text;
  }

  private clearSelection(): void {
    const selected = this.api.getSelectedNodes().length > 1;
    if (selected) {
      this.table.clearRows(this.selectedRows());
    } else {
      const at = this.focused();
      this.table.clearCells(at.row, at.column, at.row, at.column);
    }
    this.changed();
  }

  undo(): void {
    if (this.table.undo()) this.changed();
  }

  redo(): void {
    if (this.table.redo()) this.changed();
  }

  // --- files --------------------------------------------------------------

  async openFile(file: File): Promise<void> {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const outcome = this.table.open(bytes);
    if (!outcome.ok) {
      this.say(`${file.name} cannot be opened: ${outcome.message}`);
      return;
    }
    this.fileName = file.name;
    this.say('');
    this.api.deselectAll();
    this.refresh();
  }

  private download(bytes: Uint8Array, name: string, type: string): void {
    const url = URL.createObjectURL(new Blob([bytes as BlobPart], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10_000);
  }

  save(): void {
    const saved = this.table.save();
    if (!saved.ok) {
      this.say(`The table cannot be saved: ${saved.message}`);
      return;
    }
    this.download(saved.bytes, this.fileName, 'text/csv');
  }

  private async saveXlsx(): Promise<void> {
    const bytes = await exportXlsx(this.table, this.decimal);
    this.download(bytes, this.fileName.replace(/\.[^.]*$/, '') + '.xlsx',
      'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet');
  }

  private wireToolbar(): void {
    const input = byId<HTMLInputElement>('open-file');
    input.addEventListener('change', () => {
      const file = input.files?.[0];
      if (file) void this.openFile(file).then(() => (input.value = ''));
    });
    byId('save-csv').addEventListener('click', () => this.save());
    byId('save-xlsx').addEventListener('click', () => void this.saveXlsx());
    byId('undo').addEventListener('click', () => this.undo());
    byId('redo').addEventListener('click', () => this.redo());
    byId('insert-row').addEventListener('click', () => {
      const r = Math.max(this.currentRow(), 0);
      this.table.insertRow(r);
      this.changed();
    });
    byId('delete-rows').addEventListener('click', () => {
      this.table.deleteRows(this.selectedRows());
      this.api.deselectAll();
      this.changed();
    });
    for (const id of ['method-t', 'method-z']) {
      byId(id).addEventListener('change', () => {
        if (this.applySettings(true)) this.changed();
      });
    }
    this.level.addEventListener('change', () => {
      if (this.applySettings(true)) {
        this.say('');
        this.changed();
      }
    });
    this.median.addEventListener('change', () => {
      this.table.setMedian(this.median.value);
      localStorage.setItem(kMedianKey, this.median.value);
      this.changed();
    });
    for (const box of [this.corr, this.corrValue]) {
      box.addEventListener('change', () => {
        if (this.applyCorrelation(true)) {
          this.say('');
          this.changed();
        }
        if (box === this.corr && this.corr.value === 'value') this.corrValue.focus();
      });
    }
  }
}
