// Debian's chromium, driven by playwright-core, with a fresh profile for every launch.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const kChromium = process.env.TW_CHROMIUM ?? '/usr/bin/chromium';

export async function launchBrowser() {
  const profile = mkdtempSync(join(tmpdir(), 'tw-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
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
