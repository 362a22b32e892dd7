// The C++ rules as the WebAssembly module gives them (web/bindings.cpp).
// @ts-ignore: the module is built by the wasm preset, without types.
import KelmoryModule from 'kelmory-wasm';

export interface Outcome {
  ok: boolean;
  message: string;
}

export interface Table {
  setSettings(method: string, level: string): Outcome;
  setMedian(median: string): boolean; // normal, qe, lognormal or auto
  setCorrelation(kind: string, value: string): Outcome; // none, value or table
  open(bytes: Uint8Array): Outcome;
  clear(): void;
  paste(text: string | Uint8Array, top: number, left: number): Outcome;
  setCell(row: number, column: number, text: string): void;
  clearCells(top: number, left: number, bottom: number, right: number): void;
  insertRow(row: number): void;
  deleteRows(rows: number[]): void; // one undo step
  clearRows(rows: number[]): void; // one undo step
  undo(): boolean;
  redo(): boolean;
  canUndo(): boolean;
  canRedo(): boolean;
  rows(): number;
  columns(): number;
  inputColumns(): number;
  isResultColumn(column: number): boolean;
  heading(column: number): string;
  columnName(column: number): string;
  cell(row: number, column: number): string;
  isFilledIn(row: number, column: number): boolean;
  kind(column: number): number; // 0 text, 1 number, 2 percent
  mark(row: number): number; // 0 none, 1 warning, 2 refusal
  message(row: number): string;
  working(row: number): string;
  tally(): { rows: number; warnings: number; refused: number };
  copyBlock(top: number, left: number, bottom: number, right: number, header: boolean): string;
  save(): Outcome & { bytes: Uint8Array };
  decimal(): string;
  delimiter(): string;
  delete(): void; // frees the C++ object
}

export interface Derivation {
  ok: boolean;
  refusal: string;
  result: string;
  working: string;
  advisory: string | null;
}

export interface Rules {
  WebTable: new (decimal: string) => Table;
  derive(se: string, n: string, ci: string, z: string, choice: number, decimal: string): Derivation;
  tTable(decimal: string): string[][];
}

export async function loadRules(): Promise<Rules> {
  return (await KelmoryModule()) as Rules;
}
