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

function wireTabs(): void {
  const tabs = Array.from(document.querySelectorAll<HTMLButtonElement>('[role="tab"]'));
  const select = (tab: HTMLButtonElement) => {
    for (const other of tabs) {
      const chosen = other === tab;
      other.setAttribute('aria-selected', String(chosen));
      other.tabIndex = chosen ? 0 : -1;
      document.getElementById(other.getAttribute('aria-controls')!)!.hidden = !chosen;
    }
    tab.focus();
  };
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
}

void start();
