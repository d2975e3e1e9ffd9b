// Debian's chromium, driven by playwright-core, with a fresh profile for every launch.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const kChromium = process.env.TW_CHROMIUM ?? '/usr/bin/chromium';

// What every test browser runs with (the extension's tests too): no sandbox, GPU or QUIC, and
// nothing fetched or synced behind the test's back. The caller adds its own headless mode.
export const kChromiumFlags = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export async function launchBrowser() {
  const profile = mkdtempSync(join(tmpdir(), 'tw-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    args: ['--headless', ...kChromiumFlags],
    viewport: { width: 1100, height: 720 },
  });
  context.setDefaultTimeout(10000);
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
