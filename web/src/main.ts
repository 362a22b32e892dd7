// Kelmory in the browser: the table of studies and the calculator, over the
// C++ rules compiled to WebAssembly. Nothing leaves the page.
import './style.css';
import { loadRules } from './kelmory';
import { CalcView } from './calc_view';
import { TableView } from './table_view';

// The user's decimal separator, from the browser's language.
export function userDecimal(): string {
  const parts = new Intl.NumberFormat(navigator.language).formatToParts(1.5);
  return parts.find((p) => p.type === 'decimal')?.value === ',' ? ',' : '.';
}

// The view last chosen comes back with the page.
const kViewKey = 'kelmory.view';

function wireTabs(): void {
  const tabs = Array.from(document.querySelectorAll<HTMLButtonElement>('[role="tab"]'));
  const show = (tab: HTMLButtonElement) => {
    for (const other of tabs) {
      const chosen = other === tab;
      other.setAttribute('aria-selected', String(chosen));
      other.tabIndex = chosen ? 0 : -1;
      document.getElementById(other.getAttribute('aria-controls')!)!.hidden = !chosen;
    }
    localStorage.setItem(kViewKey, tab.id);
  };
  const select = (tab: HTMLButtonElement) => {
    show(tab);
    tab.focus();
  };
  const kept = tabs.find((tab) => tab.id === localStorage.getItem(kViewKey));
  if (kept) show(kept);
  tabs.forEach((tab, i) => {
    tab.addEventListener('click', () => select(tab));
    tab.addEventListener('keydown', (e) => {
      const step = e.key === 'ArrowRight' ? 1 : e.key === 'ArrowLeft' ? -1 : 0;
      if (step) select(tabs[(i + step + tabs.length) % tabs.length]);
    });
  });
}

async function start(): Promise<void> {
  const rules = await loadRules();
  const decimal = userDecimal();
  wireTabs();
  const table = new TableView(rules, decimal);
  const calc = new CalcView(rules, decimal);
  // For the benchmarks, which time the table behind the grid.
  (window as unknown as { kelmory: unknown }).kelmory = { rules, table, calc };
  document.body.dataset.ready = 'true';
  performance.mark('kelmory-ready');
  void warmUp(rules, decimal);
}

// The browser first runs WebAssembly through a quick compiler and moves a
// function to its optimising one only after the function has run a while,
// from its next call on: a few tables of 15,000 rows of each kind, read,
// computed and written one to a slice once the page is ready, make a
// reviewer's first paste run at full speed.
async function warmUp(rules: Awaited<ReturnType<typeof loadRules>>, decimal: string): Promise<void> {
  const table = new rules.WebTable(decimal);
  let text = 'study\tn\tse\tci\tlower\tupper\tmean\tlevel\tmedian\tq1\tq3\tmin\tmax\tnotes\n';
  for (let r = 0; r < 15000; ++r) {
    const n = 10 + (r % 40);
    text += [
      `Study ${r}\t${n}\t1.5\t\t\t\t\t\t\t\t\t\t\tse`,
      `Study ${r}\t${n}\t\t2.25\t\t\t\t\t\t\t\t\t\tci`,
      `Study ${r}\t${n}\t\t\t1\t5\t3\t90%\t\t\t\t\t\tbounds`,
      `Study ${r}\t${n}\t\t\t\t\t\t\t6\t4\t10\t2\t14\tmedian`,
    ][r % 4] + '\n';
  }
  const bytes = new TextEncoder().encode(text);
  for (let i = 0; i < 6; ++i) {
    await new Promise((resolve) => setTimeout(resolve, 0));
    table.clear();
    table.paste(bytes, 0, 0);
    for (let r = 0; r < 50; ++r) for (let c = 0; c < table.columns(); ++c) table.cell(r, c);
    if (i % 3 === 2) table.save();
  }
  table.delete();
  document.body.dataset.warm = 'true';
}
void start();
