// The benchmarks' review as a spreadsheet copies it: studies of every common
// kind (se, a half-width, bounds with a mean and a level) and a refused one
// now and then; with `warnings`, bounds off-centre enough now and then to be
// warned of.
export function reviewText(rows, { warnings = false } = {}) {
  let text = 'study\tn\tse\tci\tlower\tupper\tmean\tlevel\tnotes\n';
  for (let r = 0; r < rows; ++r) {
    const n = 10 + (r % 90);
    const upper = (r % 5) + (warnings ? (r % 3) + 3 : 4);
    switch (r % 4) {
      case 0: text += `Study ${r}\t${n}\t${(1 + (r % 13) / 10).toFixed(1)}\t\t\t\t\t\tse\n`; break;
      case 1: text += `Study ${r}\t${n}\t\t${(2 + (r % 7) / 4).toFixed(2)}\t\t\t\t\thalf-width\n`; break;
      case 2: text += `Study ${r}\t${n}\t\t\t${r % 5}\t${upper}\t${(r % 5) + 2}\t90%\tbounds\n`; break;
      default: text += `Study ${r}\t${r % 50 === 3 ? 1 : n}\t0.5\t\t\t\t\t\t\n`;
    }
  }
  return text;
}
