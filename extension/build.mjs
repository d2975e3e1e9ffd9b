// Builds the extension into OUT (default ../build/extension): one unpacked folder per browser
// (chromium/, firefox/) and a zip of each. The side panel is the web UI's own main window; the
// help page comes from the UI's build (ui/dist), which scripts/build-ui makes first.
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { build } from 'vite';
import { kBrowsers, kIconSizes, manifestFor } from './manifest.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const out = resolve(process.argv[2] ?? join(here, '..', 'build', 'extension'));
const uiDist = join(here, '..', 'ui', 'dist');

function run(command, args, options = {}) {
  const result = spawnSync(command, args, { stdio: ['ignore', 'inherit', 'inherit'], ...options });
  if (result.status !== 0) throw new Error(`${command} ${args.join(' ')} failed (${result.status ?? result.signal})`);
}

// The UI's sources import preact from their own folder; one copy must serve both. Each browser
// gets a build of its own, so that neither carries calls that only the other knows.
function config(browser, outDir) {
  return {
    configFile: false,
    root: here,
    base: './',
    logLevel: 'warn',
    resolve: { dedupe: ['preact'] },
    define: { 'import.meta.env.TW_BROWSER': JSON.stringify(browser) },
    build: { outDir, target: 'es2022', modulePreload: { polyfill: false }, assetsInlineLimit: 0 },
  };
}

async function buildFor(browser) {
  const folder = join(out, browser);
  const base = config(browser, folder);
  // The side panel and the toolbar popup: pages of the extension, no inline scripts or styles.
  await build({
    ...base,
    build: {
      ...base.build,
      emptyOutDir: true,
      rollupOptions: { input: { sidepanel: join(here, 'sidepanel.html'), popup: join(here, 'popup.html') } },
    },
  });
  // The background script stands alone: a service worker in Chromium, an event page in Firefox.
  await build({
    ...base,
    build: {
      ...base.build,
      emptyOutDir: false,
      lib: { entry: join(here, 'src', 'background.ts'), formats: ['iife'], name: 'tidewellBackground', fileName: () => 'background.js' },
    },
  });
  copyHelp(folder);
  makeIcons(folder);
  writeFileSync(join(folder, 'manifest.json'), `${JSON.stringify(manifestFor(browser), null, 2)}\n`);
  run('zip', ['-q', '-r', '-X', join(out, `tidewell-${browser}.zip`), '.'], { cwd: folder });
}

// The help page and the files it names.
function copyHelp(folder) {
  const help = readFileSync(join(uiDist, 'help.html'), 'utf8');
  writeFileSync(join(folder, 'help.html'), help);
  for (const [, file] of help.matchAll(/(?:src|href)="\.\/([^"]+)"/g)) {
    if (!existsSync(join(uiDist, file))) throw new Error(`help.html names ${file}, which ui/dist lacks`);
    mkdirSync(dirname(join(folder, file)), { recursive: true });
    cpSync(join(uiDist, file), join(folder, file));
  }
}

function makeIcons(folder) {
  mkdirSync(join(folder, 'icons'));
  for (const size of kIconSizes) {
    const png = join(folder, 'icons', `tidewell-${size}.png`);
    run('rsvg-convert', ['-w', String(size), '-h', String(size), '-o', png, join(here, '..', 'data', 'tidewell.svg')]);
  }
}

rmSync(out, { recursive: true, force: true });
for (const browser of kBrowsers) await buildFor(browser);
console.log(`extension built in ${out}`);
