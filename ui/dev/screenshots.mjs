// Screenshots of the main window and every dialog, light and dark, wide, a 360-pixel side panel
// and 230 pixels, for looking at the design:  node dev/screenshots.mjs [OUT_DIR] [NAME,...]
import { mkdirSync } from 'node:fs';
import { startBackend } from '../tests/support/backend.mjs';
import { launchBrowser } from '../tests/support/browser.mjs';
import { startWebServer } from '../tests/support/web-server.mjs';
import { writeThunderbirdAddressBook } from '../tests/support/mail.mjs';

const out = process.argv[2] ?? '/tmp/tw-shots';
const only = process.argv[3]?.split(',');
mkdirSync(out, { recursive: true });
const web = await startWebServer();
web.set('/news', '<p>news</p>');
const backend = await startBackend();
for (const [i, name] of ['Weather in Oslo', 'Release notes', 'City council agenda', 'Train timetable', 'Job offers', 'Concert tickets'].entries())
  await backend.addElsewhere(i === 4 ? 'http://127.0.0.1:9/broken' : web.url(`/p${i}`), name);
await backend.api('pages.add', { title: 'Local news', address: web.url('/news'), mode: 'plain' });
await backend.api('checking.refresh');
for (let i = 0; i < 6; i++) web.set(`/p${i}`, `<p>page ${i}</p>`);
const browser = await launchBrowser();

async function shoot(name, { width, height, scheme }, act) {
  const page = await browser.context.newPage();
  await page.emulateMedia({ colorScheme: scheme });
  await page.setViewportSize({ width, height });
  await page.goto(backend.openUrl);
  await page.getByRole('listbox', { name: 'Pages' }).waitFor();
  await page.waitForTimeout(400);
  if (act) await act(page);
  await page.waitForTimeout(250);
  await page.screenshot({ path: `${out}/${name}.png` });
  await page.close();
}

const sizes = {
  wide: { width: 1100, height: 680 },
  panel: { width: 360, height: 640 },
  narrow: { width: 230, height: 640 },
};
const dialogs = {
  main: null,
  addpage: (p) => p.getByRole('button', { name: 'Add Page' }).click(),
  itemmenu: (p) => p.getByRole('option', { name: 'Release notes' }).click({ button: 'right' }),
  viewmenu: async (p) => {
    await p.getByRole('button', { name: 'View' }).click();
    await p.getByRole('menuitem', { name: 'View' }).hover();
  },
  properties: async (p) => {
    await p.getByRole('option', { name: 'Release notes' }).click({ button: 'right' });
    await p.getByRole('menuitem', { name: 'Properties' }).click();
    await p.getByRole('button', { name: 'Advanced >>' }).click();
  },
  options: (p) => p.getByRole('button', { name: 'Options' }).click(),
  advanced: async (p) => {
    await p.getByRole('button', { name: 'Options' }).click();
    await p.getByRole('tab', { name: 'Advanced' }).click();
  },
  schedule: async (p) => {
    await p.getByRole('button', { name: 'Options' }).click();
    await p.getByRole('tab', { name: 'Schedule' }).click();
    await p.getByRole('button', { name: 'Schedule...' }).click();
  },
  largeicons: async (p) => {
    await p.getByRole('button', { name: 'View', exact: true }).click();
    await p.getByRole('menuitem', { name: 'View' }).hover();
    await p.getByRole('menuitemradio', { name: 'Large Icons' }).click();
  },
  details: async (p) => {
    await p.getByRole('button', { name: 'View', exact: true }).click();
    await p.getByRole('menuitem', { name: 'View' }).hover();
    await p.getByRole('menuitemradio', { name: 'Details' }).click();
    web.set('/news', `<p>news of ${Date.now()}</p>`);
    await backend.api('checking.refresh');
    await p.locator('.cell-updated').filter({ hasText: /\d/ }).first().waitFor({ timeout: 30000 });
    const updated = p.getByRole('dialog', { name: 'Updated Pages - Tidewell' });
    if (await updated.isVisible()) await updated.getByRole('button', { name: 'Close' }).click();
  },
  wizard: async (p) => {
    await p.getByRole('option', { name: 'Release notes' }).click({ button: 'right' });
    await p.getByRole('menuitem', { name: 'Smart Update Wizard' }).click();
    await p.getByRole('button', { name: 'Next >' }).click();
  },
  setup: async (p) => {
    await p.getByRole('button', { name: 'Options' }).click();
    await p.getByRole('button', { name: 'Page Setup Wizard...' }).click();
    await p.getByRole('button', { name: 'Next >' }).click();
    await p.getByRole('button', { name: 'Next >' }).click();
  },
  updated: async (p) => {
    web.set('/news', '<p>news changed</p>');
    await p.keyboard.press('F5');
    await p.getByRole('dialog', { name: 'Updated Pages - Tidewell' }).waitFor();
  },
  friend: async (p) => {
    const button = p.getByRole('toolbar').getByRole('button', { name: 'Tell a Friend' });
    if (await button.isVisible()) await button.click();
    else {
      await p.getByRole('button', { name: 'More' }).click();
      await p.getByRole('menuitem', { name: 'Tell a Friend' }).click();
    }
    await p.getByRole('dialog', { name: 'Tell a Friend - Tidewell' }).getByLabel('Name:').first().fill('Ann Example');
  },
  addressbook: async (p) => {
    writeThunderbirdAddressBook(backend.home, [
      { uid: 'a', properties: { DisplayName: 'Ann Example', PrimaryEmail: 'ann@example.org' } },
      { uid: 'b', properties: { FirstName: 'Bea', LastName: 'Bright', PrimaryEmail: 'bea.bright@mail.example' } },
      { uid: 'c', properties: { DisplayName: 'Carol Côté', PrimaryEmail: 'carol@example.org', SecondEmail: 'carol@work.example' } },
    ]);
    await dialogs.friend(p);
    await p.getByRole('button', { name: 'Import MAPI' }).click();
    await p.getByRole('dialog', { name: 'Address Book' }).waitFor();
  },
  changes: async (p) => {
    const versions = async () => (await backend.api('pages.versions', { title: 'Local news' })).versions.length;
    const before = await versions();
    web.set('/news', `<h1>Local news</h1><p>The ferry to the island leaves at ${8 + before}:15 from pier ${2 + before}.</p><p>Market on Saturday.</p>`);
    await backend.api('checking.refresh');
    for (let i = 0; i < 100 && (await versions()) === before; i++) await p.waitForTimeout(100);
    // From the Updated Pages dialog when it comes (one at a time, in every window), else from
    // the item menu.
    const updated = p.getByRole('dialog', { name: 'Updated Pages - Tidewell' });
    if (await updated.waitFor({ timeout: 2000 }).then(() => true, () => false))
      await updated.getByRole('listitem').filter({ hasText: 'Local news' }).getByRole('button', { name: 'Show Changes' }).click();
    else {
      await p.getByRole('option', { name: 'Local news' }).click({ button: 'right' });
      await p.getByRole('menuitem', { name: 'Show Changes' }).click();
    }
    await p.getByRole('dialog', { name: 'Show Changes - Tidewell' }).getByRole('region').first().waitFor();
  },
  changeshtml: async (p) => {
    await dialogs.changes(p);
    await p.getByRole('checkbox', { name: 'Show the HTML changes' }).check();
  },
  message: async (p) => {
    await p.getByRole('button', { name: 'Add Page' }).click();
    await p.getByLabel('Title:').fill('bad/title');
    await p.getByLabel('Address:').fill('example.org');
    await p.getByRole('button', { name: 'OK' }).click();
  },
};
for (const scheme of ['light', 'dark'])
  for (const [sizeName, size] of Object.entries(sizes))
    for (const [name, act] of Object.entries(dialogs)) {
      if (only && !only.includes(name)) continue;
      if (sizeName !== 'wide' && scheme === 'dark' && !['main', 'details', 'friend', 'changes'].includes(name)) continue;
      await shoot(`${name}-${sizeName}-${scheme}`, { ...size, scheme }, act).catch((e) => console.error(name, e.message));
    }
await browser.close();
await backend.stop();
await web.close();
console.log(out);
