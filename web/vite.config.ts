import { resolve } from 'node:path';
import { defineConfig } from 'vite';
import { viteSingleFile } from 'vite-plugin-singlefile';

// The WebAssembly module comes from the wasm preset's build (KELMORY_WASM
// names another build of it); the page is one file with everything inside.
const wasm = process.env.KELMORY_WASM ?? resolve(__dirname, '../build-wasm/web/kelmory-web.mjs');

export default defineConfig({
  base: './',
  resolve: { alias: { 'kelmory-wasm': wasm } },
  plugins: [viteSingleFile()],
  build: { target: 'es2022', outDir: 'dist', emptyOutDir: true, reportCompressedSize: false },
});
