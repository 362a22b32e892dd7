// The main window's calculator: the three boxes with their key filters, the
// level with its z or t box, Compute, Reset All, the result and the working,
// refusals and the small-sample advisory as message dialogs, and the t-table.
import type { Rules } from './kelmory';

function byId<T extends HTMLElement>(id: string): T {
  return document.getElementById(id) as T;
}

// A modal message titled "Kelmory" with one button; resolves when closed.
export function showMessage(text: string): Promise<void> {
  const dialog = byId<HTMLDialogElement>('message');
  byId('message-text').textContent = text;
  dialog.showModal();
  return new Promise((resolve) => dialog.addEventListener('close', () => resolve(), { once: true }));
}

export class CalcView {
  private readonly se = byId<HTMLInputElement>('calc-se');
  private readonly n = byId<HTMLInputElement>('calc-n');
  private readonly ci = byId<HTMLInputElement>('calc-ci');
  private readonly z = byId<HTMLInputElement>('calc-z');
  private readonly sd = byId<HTMLInputElement>('calc-sd');
  private readonly working = byId<HTMLTextAreaElement>('calc-working');

  constructor(
    private readonly rules: Rules,
    private readonly decimal: string,
  ) {
    // Typed keys are filtered as the desktop boxes filter them; a paste is not.
    for (const box of [this.se, this.ci, this.z]) this.filter(box, (text, key) => this.decimalKey(text, key));
    this.filter(this.n, (_text, key) => key >= '0' && key <= '9');
    for (const id of ['calc-95', 'calc-99', 'calc-other']) {
      byId(id).addEventListener('change', () => {
        byId<HTMLFieldSetElement>('calc-zframe').disabled = !byId<HTMLInputElement>('calc-other').checked;
      });
    }
    byId<HTMLFormElement>('calc').addEventListener('submit', (e) => {
      e.preventDefault();
      void this.compute();
    });
    byId('calc-reset').addEventListener('click', () => this.reset());
    byId('calc-ttable').addEventListener('click', () => this.showTTable());
  }

  private filter(box: HTMLInputElement, allowed: (text: string, key: string) => boolean): void {
    box.addEventListener('beforeinput', (e) => {
      if (e.inputType !== 'insertText' || e.data === null) return;
      for (const key of e.data) {
        if (!allowed(box.value, key)) {
          e.preventDefault();
          return;
        }
      }
    });
  }

  // Digits, and one separator (a point or the user's) in the whole box.
  private decimalKey(text: string, key: string): boolean {
    const separator = (c: string) => c === '.' || c === this.decimal;
    if (key >= '0' && key <= '9') return true;
    return separator(key) && ![...text].some(separator);
  }

  private choice(): number {
    if (byId<HTMLInputElement>('calc-95').checked) return 0;
    if (byId<HTMLInputElement>('calc-99').checked) return 1;
    return byId<HTMLInputElement>('calc-other').checked ? 2 : 3;
  }

  async compute(): Promise<void> {
    this.working.value = '';
    const outcome = this.rules.derive(this.se.value, this.n.value, this.ci.value, this.z.value, this.choice(), this.decimal);
    if (!outcome.ok) {
      await showMessage(outcome.refusal);
      return;
    }
    this.sd.value = outcome.result;
    this.sd.setSelectionRange(0, 0);
    this.working.value = outcome.working.replaceAll('\r\n', '\n');
    if (outcome.advisory !== null) await showMessage(outcome.advisory);
  }

  private reset(): void {
    for (const box of [this.se, this.n, this.ci, this.sd, this.z]) box.value = '';
    this.working.value = '';
  }

  private showTTable(): void {
    const table = byId<HTMLTableElement>('ttable-grid');
    table.replaceChildren();
    const head = table.createTHead().insertRow();
    for (const heading of ['DF', '50%', '60%', '70%', '80%', '90%', '95%', '96%', '98%', '99%', '99.5%', '99.8%', '99.9%']) {
      const cell = document.createElement('th');
      cell.scope = 'col';
      cell.textContent = heading;
      head.append(cell);
    }
    const body = table.createTBody();
    for (const row of this.rules.tTable(this.decimal)) {
      const line = body.insertRow();
      row.forEach((text, i) => {
        const cell = i === 0 ? document.createElement('th') : document.createElement('td');
        if (i === 0) (cell as HTMLTableCellElement).scope = 'row';
        cell.textContent = text;
        line.append(cell);
      });
    }
    byId<HTMLDialogElement>('ttable').showModal();
  }
}
