// The main window's calculator: the three boxes with their key filters, the
// level with its z or t box, Compute, Reset All, Exit, the result and the
// working, refusals and the small-sample advisory as message dialogs, the
// t-table, and Credits with the window's access keys.
import type { Rules } from './kelmory';
import { byId } from './dom';

// The credits window's texts as the desktop shows them, line ends and the
// blank before each of them included.
const kMakerWebsite = 'https://www.varonel.example/';
const kCitationText =
  'Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \n' +
  'https://www.varonel.example/ Brennholme upon Aske, Ostreland.\n';
const kTermsOfUseText = [
  'I. Summary',
  'This software is provided to you free of charge, on an as-is basis. You may use it, and you may ',
  'pass it on to other people, as long as it stays whole and all of its credits remain in place.',
  '',
  'II. Limitations',
  'II. a. Good Faith',
  'The programme was coded in good faith. Anyone who doubts the honesty of its code may ',
  'be given insight into the code through a trusted organisation, such as a university, within ',
  'limits: for example a single copy, for a limited time, to be removed when the evaluation ends.',
  '',
  'II. b. Warranty',
  'The makers have tried to make the code as stable as they could. They warrant that no code was placed ',
  'in the programme to harm your system, and that no spyware or similar malware is in it or attached to it.',
  '',
  'II.c. Liability',
  'The programme was written with care, and it was tested on a good number of systems before its release. ',
  'So far nobody has reported any damage to their system from using it. Even so, the makers are not ',
  'liable for any damage however caused, including any damage that you might do to your own system with it.',
  '',
  'II.d. Use of application in whole',
  'Use of this software is limited to the application in whole; using only ',
  'parts of it, on their own or inside other software, is not permitted.',
  '',
  'Kelmory is written and given away freely by Varonel.',
  '',
].join('\n');

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
    byId('calc-exit').addEventListener('click', () => this.exit());
    this.wireCredits();
    document.addEventListener('keydown', (e) => this.accessKey(e));
  }

  // A page cannot close its own tab, so Exit leaves the calculator for the
  // table of studies.
  private exit(): void {
    byId('tab-table').click();
  }

  private wireCredits(): void {
    // Each box opens at its first line, not at the line end its text ends with.
    for (const [id, text] of [['credits-citation', kCitationText], ['credits-terms', kTermsOfUseText]]) {
      const box = byId<HTMLTextAreaElement>(id);
      box.value = text;
      box.setSelectionRange(0, 0);
    }
    // A link the user follows in a tab of its own; the page itself fetches nothing.
    byId<HTMLAnchorElement>('credits-website').href = kMakerWebsite;
    const credits = byId<HTMLDialogElement>('credits');
    byId('calc-credits').addEventListener('click', () => {
      // Modeless, as the desktop's: the calculator stays usable beside it.
      credits.show();
      byId('credits-terms').focus();
    });
    const close = () => {
      credits.close();
      const opener = byId('calc-credits');
      if (opener.checkVisibility()) opener.focus();
    };
    byId('credits-close').addEventListener('click', close);
    credits.addEventListener('keydown', (e) => {
      if (e.key === 'Escape') {
        e.preventDefault();
        close();
      }
    });
  }

  // Alt and a caption's underlined letter click its button, as in the
  // desktop windows: the credits' own while the focus is in them.
  private accessKey(e: KeyboardEvent): void {
    if (!e.altKey || e.ctrlKey || e.metaKey || e.shiftKey || e.key.length !== 1) return;
    if (document.querySelector('dialog:modal')) return;
    const credits = byId<HTMLDialogElement>('credits');
    const inCredits = credits.open && credits.contains(document.activeElement);
    const keys: Record<string, string> = inCredits
      ? { v: 'credits-website', c: 'credits-close' }
      : byId('view-calc').hidden
        ? {}
        : { c: 'calc-compute', r: 'calc-reset', x: 'calc-exit', e: 'calc-credits' };
    const id = keys[e.key.toLowerCase()];
    if (!id) return;
    e.preventDefault();
    byId(id).click();
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
