// One person's session: a temporary HOME where `tidewell register` put the native host's
// manifest, and Debian's chromium with the built extension and a fresh profile in that HOME, so
// that the browser starts the real `tidewell native-host` against the HOME's own page folder.
import { execFile, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { kChromium, kChromiumFlags } from '../../../ui/tests/support/browser.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const repo = resolve(here, '..', '..', '..');
export const kTidewell = process.env.TW_TIDEWELL ?? join(repo, 'build', 'tidewell');
export const kExtensionDir = process.env.TW_EXTENSION ?? join(repo, 'build', 'extension', 'chromium');
export const kExtensionId = 'dcknjfnokgfijfcfkagcfcldjjglmiji';
export const kExtensionOrigin = `chrome-extension://${kExtensionId}`;

if (!existsSync(join(kExtensionDir, 'manifest.json'))) {
  throw new Error(`${kExtensionDir} holds no extension; build it first (scripts/setup)`);
}
if (spawnSync(kTidewell, ['native-host', '--help']).status !== 0) {
  throw new Error(`${kTidewell} has no native host; build it first (scripts/setup)`);
}

// `options.prepare(session)` runs before the browser starts, with only `tidewell` and the
// page helpers at hand: what it checks is checked by no other process.
export async function startSession(options = {}) {
  const home = mkdtempSync(join(tmpdir(), 'tw-ext-home-'));
  mkdirSync(join(home, 'Documents'));
  const env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: join(home, '.config'),
    XDG_DATA_HOME: join(home, '.local', 'share'),
    XDG_CACHE_HOME: join(home, '.cache'),
    XDG_RUNTIME_DIR: join(home, 'run'),
  };
  mkdirSync(env.XDG_RUNTIME_DIR, { mode: 0o700 });

  const tidewell = (...args) => {
    const result = spawnSync(kTidewell, args, { env, encoding: 'utf8' });
    if (result.status !== 0) throw new Error(`tidewell ${args.join(' ')}: ${result.stderr}`);
    return result.stdout;
  };
  tidewell('register');
  // The first-start Page Setup Wizard is done, as a person's second start finds it.
  mkdirSync(join(env.XDG_CONFIG_HOME, 'tidewell'), { recursive: true });
  writeFileSync(join(env.XDG_CONFIG_HOME, 'tidewell', 'registry'), '[SOFTWARE\\Orvanta\\Tidewell\\Options]\n"FirstRun"=dword:00000001\n');
  // One check of every page; the test's web server answers meanwhile.
  const refresh = () =>
    new Promise((resolve, reject) => {
      execFile(kTidewell, ['refresh'], { env }, (error, _stdout, stderr) => (error ? reject(new Error(`tidewell refresh: ${stderr}`)) : resolve()));
    });
  const session = {
    home,
    env,
    tidewell,
    refresh,
    // The pages as `tidewell list --json` reads them from the page folder.
    pages() {
      return JSON.parse(tidewell('list', '--json')).pages;
    },
    page(title) {
      return this.pages().find((p) => p.title === title);
    },
    // A value of the settings store, as the program wrote it ("dword:0000001e" reads as 30).
    storedValue(name) {
      const file = join(env.XDG_CONFIG_HOME, 'tidewell', 'registry');
      if (!existsSync(file)) return undefined;
      const match = readFileSync(file, 'utf8').match(new RegExp(`^"${name}"=dword:([0-9a-f]{8})`, 'mi'));
      return match ? parseInt(match[1], 16) : undefined;
    },
  };
  await options.prepare?.(session);

  // Chromium looks for the user's native hosts in its user data folder, which is where
  // `tidewell register` writes for Chromium.
  const profile = join(env.XDG_CONFIG_HOME, 'chromium');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: false,
    env,
    args: [
      '--headless=new',
      ...kChromiumFlags,
      `--disable-extensions-except=${kExtensionDir}`,
      `--load-extension=${kExtensionDir}`,
    ],
    viewport: { width: 1000, height: 700 },
  });
  context.setDefaultTimeout(10000);
  const worker = context.serviceWorkers().find((w) => w.url().startsWith(kExtensionOrigin)) ??
    (await context.waitForEvent('serviceworker', { predicate: (w) => w.url().startsWith(kExtensionOrigin) }));

  return Object.assign(session, {
    context,
    worker,
    // A tab showing one of the extension's pages: the side panel or the toolbar's popup.
    async openExtensionPage(path) {
      const tab = await context.newPage();
      await tab.goto(`${kExtensionOrigin}/${path}`);
      return tab;
    },
    // The native hosts this browser started for the extension: their process ids.
    nativeHosts() {
      return readdirSync('/proc')
        .filter((name) => /^\d+$/.test(name))
        .filter((pid) => {
          try {
            const args = readFileSync(`/proc/${pid}/cmdline`, 'utf8').split('\0');
            const environ = readFileSync(`/proc/${pid}/environ`, 'utf8').split('\0');
            return args.includes(`${kExtensionOrigin}/`) && environ.includes(`HOME=${home}`);
          } catch {
            return false; // gone meanwhile, or not ours to read
          }
        })
        .map(Number);
    },
    async close() {
      await context.close();
      rmSync(home, { recursive: true, force: true });
    },
  });
}

// A page with an address that is watched and marked updated: added, checked once, changed and
// checked again, all before the browser runs, so that no other process checks it meanwhile.
export async function watchUpdatedPages(session, web, pages) {
  for (const { path, title } of pages) {
    web.set(path, `<html><head><title>${title}</title></head><body><p>First text of ${title}</p></body></html>`);
    session.tidewell('add', web.url(path), title);
  }
  await session.refresh();
  for (const { path, title } of pages) {
    web.set(path, `<html><head><title>${title}</title></head><body><p>Second text of ${title}</p></body></html>`);
  }
  await session.refresh();
  for (const { title } of pages) {
    if (!session.page(title)?.updated) throw new Error(`${title} did not become updated: ${JSON.stringify(session.pages())}`);
  }
}
