// The row rules on a million-row table: kelmory-batch built for WebAssembly
// (the wasm preset, under Node.js) against the native program, best of
// three each, on the same file with --working. The WebAssembly build must
// convert at least a third as fast.
//   node benchmarks/web/wasm_vs_native.mjs NATIVE_KELMORY_BATCH WASM_KELMORY_BATCH_JS
import { execFileSync } from 'node:child_process';
import { mkdtemp, rm, writeFile, readFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [native, wasm] = process.argv.slice(2);
if (!native || !wasm) {
  console.error('usage: wasm_vs_native.mjs NATIVE_KELMORY_BATCH WASM_KELMORY_BATCH_JS');
  process.exit(2);
}
const rows = Number(process.env.ROWS ?? 1_000_000);
const folder = await mkdtemp(join(tmpdir(), 'kelmory-bench-'));
try {
  const lines = ['study,n,se,ci,lower,upper,mean,level,median,q1,q3,min,max,notes'];
  for (let r = 0; r < rows; ++r) {
    const n = 10 + (r % 90);
    lines.push([
      `Study ${r},${n},1.${r % 10},,,,,,,,,,,se`,
      `Study ${r},${n},,2.${r % 100},,,,,,,,,,ci`,
      `Study ${r},${n},,,${r % 5},${(r % 5) + 4},${(r % 5) + 2},90%,,,,,,bounds`,
      `Study ${r},${n},,,,,,,6,4,10,2,14,median`,
    ][r % 4]);
  }
  const input = join(folder, 'review.csv');
  await writeFile(input, lines.join('\n') + '\n');
  const run = (command, args, output) => {
    const start = performance.now();
    try {
      execFileSync(command, [...args, '--working', '-o', output, input], { stdio: 'ignore' });
    } catch (error) {
      if (error.status !== 1) throw error; // 1: some rows refused
    }
    return performance.now() - start;
  };
  const times = { native: [], wasm: [] };
  for (let i = 0; i < 3; ++i) {
    times.native.push(run(native, [], join(folder, 'native.csv')));
    times.wasm.push(run(process.execPath, [wasm], join(folder, 'wasm.csv')));
  }
  // The outputs run to a gigabyte: compared as bytes.
  const [a, b] = [await readFile(join(folder, 'native.csv')), await readFile(join(folder, 'wasm.csv'))];
  const same = a.equals(b);
  if (!same) {
    // The first line that differs, for the report: the bytes must agree.
    let i = 0;
    while (i < a.length && i < b.length && a[i] === b[i]) ++i;
    const start = a.lastIndexOf(10, i) + 1;
    const line = (buffer) => buffer.subarray(start, Math.min(buffer.indexOf(10, i) >>> 0, start + 160)).toString();
    console.log(JSON.stringify({ firstDifferenceAtByte: i, native: line(a), wasm: line(b) }));
  }
  const best = (t) => Math.min(...t);
  const speed = best(times.native) / best(times.wasm);
  for (const [name, t] of Object.entries(times))
    console.log(JSON.stringify({ benchmark: `kelmory-batch ${name}`, rows, bestMs: Math.round(best(t)), allMs: t.map(Math.round) }));
  console.log(JSON.stringify({ benchmark: 'wasm speed / native speed', ratio: Number(speed.toFixed(3)), limit: '>= 0.333', sameBytes: same }));
  process.exitCode = speed >= 1 / 3 && same ? 0 : 1;
} finally {
  await rm(folder, { recursive: true, force: true });
}
