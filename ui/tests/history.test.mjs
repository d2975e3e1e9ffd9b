// Smart History and Import as a person meets them: the proposals of a real `tidewell serve` whose
// HOME holds a Firefox profile with a history and bookmarks in the browser's own schema.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, afterEach, before, describe, test } from 'node:test';
import { kBackendKind, kTestHelper, startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import { startWebServer } from './support/web-server.mjs';
import { answerMessage, closeAll, dialog, messageBox, openUi, pageItem, waitFor } from './support/ui.mjs';

// The stand-in of the service has no Smart History: these run against the real one only.
const skip = kBackendKind !== 'real' && 'needs tidewell serve (TW_UI_BACKEND=real)';

let backend;
let browser;
let page;
let web;

const kVisits = [
  ['/often', 'Often', 3],
  ['/daily', 'Daily', 5],
  ['/weekly', 'Weekly', 1],
  ['/frequent', 'Frequent', 5],
  ['/taken', 'News', 3],
  ['/monthly', 'Monthly', 3],
];
const kBookmarks = [
  ['/mail', 'Mail'],
  ['/news', 'News'],
];

// A Firefox profile, as Firefox makes it, in the HOME of the service.
function makeFirefoxProfile(home) {
  const firefox = join(home, '.mozilla', 'firefox');
  mkdirSync(join(firefox, 'p'), { recursive: true });
  writeFileSync(join(firefox, 'profiles.ini'), '[Profile0]\nPath=p\n');
  const args = [join(firefox, 'p', 'places.sqlite')];
  for (const [path, title, days] of kVisits) args.push('visit', web.url(path), title, String(days));
  for (const [path, title] of kBookmarks) args.push('bookmark', web.url(path), title);
  const made = spawnSync(kTestHelper, ['firefox-places', ...args], { encoding: 'utf8' });
  assert.equal(made.status, 0, made.stderr);
}

// Favorites kept outside the browsers: a bookmarks file a browser exported, a file that goes away
// before it is read, and a folder of Internet shortcuts with a sub-folder.
function makeExportedFavorites(home) {
  mkdirSync(join(home, 'exported'));
  writeFileSync(
    join(home, 'exported', 'bookmarks.html'),
    `<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF="${web.url('/exported')}">Exported Page</A>\n</DL>\n`,
  );
  writeFileSync(join(home, 'exported', 'gone.html'), '<DL></DL>');
  writeFileSync(join(home, 'exported', 'notes.txt'), 'not a bookmarks file');
  mkdirSync(join(home, 'Shortcuts', 'Travel'), { recursive: true });
  writeFileSync(join(home, 'Shortcuts', 'Weather.url'), `[InternetShortcut]\nURL=${web.url('/weather')}\n`);
  writeFileSync(join(home, 'Shortcuts', 'Travel', 'Trains.url'), `[InternetShortcut]\nURL=${web.url('/trains')}\n`);
}

before(async () => {
  if (skip) return;
  web = await startWebServer();
  for (const path of ['/monthly', '/often', '/daily', '/weekly', '/frequent', '/taken', '/mail', '/news', '/front', '/exported', '/weather', '/trains'])
    web.set(path, `<html><body>${path}</body></html>`);
  backend = await startBackend({
    prepareHome: (home) => {
      makeFirefoxProfile(home);
      makeExportedFavorites(home);
    },
  });
  await backend.addElsewhere(web.url('/front'), 'News');
  browser = await launchBrowser();
  page = await openUi(browser, backend);
  await pageItem(page, 'News').waitFor();
});
afterEach(() => page && closeAll(page));
after(async () => {
  await browser?.close();
  await backend?.stop();
  await web?.close();
});

const navigate = (path, title) => backend.api('smartHistory.navigated', { address: web.url(path), title });
const stored = async () => (await backend.api('settings.get', { setting: 'host' })).values;

async function smartHistoryDialog() {
  const shown = dialog(page, 'Smart History - Tidewell');
  await shown.waitFor();
  return shown;
}

// Opens every folder of a tree that is closed.
async function expandAll(tree) {
  for (;;) {
    const closed = tree.locator('button[aria-expanded="false"]');
    if ((await closed.count()) === 0) return;
    await closed.first().click();
  }
}

describe('Smart History', { skip }, () => {
  test('a taken title opens "Smart History Add Page - Tidewell" with the page filled in', async () => {
    await navigate('/taken', 'News');
    const proposals = await smartHistoryDialog();
    await proposals.getByRole('checkbox', { name: /^News/ }).check();
    await proposals.getByRole('button', { name: 'OK' }).click();
    const add = dialog(page, 'Smart History Add Page - Tidewell');
    await add.waitFor();
    assert.equal(await add.getByLabel('Title:').inputValue(), 'News');
    assert.equal(await add.getByLabel('Address:').inputValue(), web.url('/taken'));
    await add.getByLabel('Title:').fill('News from afar');
    await add.getByRole('button', { name: 'OK' }).click();
    await add.waitFor({ state: 'detached' });
    await pageItem(page, 'News from afar').waitFor();
  });

  test('the dialog adds what is checked; after Reset the rest is proposed again', async () => {
    await navigate('/weekly', 'Weekly'); // visited once: not proposed
    await navigate('/often', 'Often');
    await navigate('/daily', 'Daily');
    let proposals = await smartHistoryDialog();
    await waitFor(async () => (await proposals.getByRole('checkbox').count()) === 2, 'both proposals');
    assert.equal(
      await proposals.locator('.note').textContent(),
      'Based on your browsing history, the following pages appear to be frequently visited. Place a check next to the pages that you want checked for updates.',
    );
    await proposals.getByRole('checkbox', { name: /^Often/ }).check();
    await proposals.getByRole('button', { name: 'OK' }).click();
    await pageItem(page, 'Often').waitFor();

    // Daily was not checked: it stays known until Smart History is reset.
    await page.getByRole('toolbar').getByRole('button', { name: 'Options' }).click();
    const sheet = dialog(page, 'Options - Tidewell');
    await sheet.getByRole('tab', { name: 'Smart History' }).click();
    await sheet.getByRole('button', { name: 'Reset...' }).click();
    await answerMessage(page, {
      text: 'Are you sure you want to reset Smart History?\r\n This may cause Smart History to process pages that you do not want.',
      icon: 'Question',
      button: 'Yes',
    });
    await sheet.getByRole('button', { name: 'Cancel' }).click();
    await navigate('/daily', 'Daily');
    proposals = await smartHistoryDialog();
    await proposals.getByRole('checkbox', { name: /^Daily/ }).waitFor();

    // The choice of what Smart History does from now on waits behind "Advanced".
    const advanced = proposals.getByRole('button', { name: 'Advanced >>' });
    assert.equal(await advanced.getAttribute('aria-expanded'), 'false');
    await advanced.click();
    await proposals.getByRole('button', { name: '<< Advanced' }).waitFor();
    const choices = proposals.getByRole('radiogroup', { name: 'Smart History' });
    assert.equal(await choices.getByRole('radio', { name: 'Detect Smart History pages' }).isChecked(), true);
    await choices.getByRole('radio', { name: 'Do not notify me about Smart History pages' }).check();
    await proposals.getByRole('button', { name: 'OK' }).click();
    await proposals.waitFor({ state: 'detached' });
    await waitFor(async () => Number((await stored()).AutoSH) === 2, 'AutoSH stored');
    assert.equal(await pageItem(page, 'Daily').count(), 0);
  });
});

describe('Smart History with no window', { skip }, () => {
  test('the address the desktop notification opens shows the Smart History dialog', async () => {
    // Detect and propose, as by default; then no window: the proposal waits.
    await backend.api('settings.set', { setting: 'host', values: { AutoSH: 0 } });
    await page.close();
    page = await browser.context.newPage();
    await page.setViewportSize({ width: 1100, height: 720 });
    await navigate('/monthly', 'Monthly');
    await waitFor(
      async () => (await backend.api('smartHistory.state')).proposals.some((p) => p.title === 'Monthly'),
      'the proposal waiting',
    );
    await page.goto(`${backend.openUrl}&smartHistory=1`);
    const proposals = await smartHistoryDialog();
    await proposals.getByRole('checkbox', { name: /^Monthly/ }).check();
    // The address keeps neither the secret nor the request: a reload shows the page list alone.
    assert.equal(new URL(page.url()).search, '');
    await proposals.getByRole('button', { name: 'OK' }).click();
    await proposals.waitFor({ state: 'detached' });
    await pageItem(page, 'Monthly').waitFor();
    assert.deepEqual((await backend.api('smartHistory.state')).proposals, []);
  });
});

describe('Import', { skip }, () => {
  test('adds checked favorites and history once, and says why one could not be added', async () => {
    await page.getByRole('toolbar').getByRole('button', { name: 'Import' }).click();
    const wizard = dialog(page, 'Import - Tidewell');
    const favorites = wizard.getByRole('group', { name: 'Favorites' });
    await favorites.getByRole('checkbox', { name: 'Mail' }).waitFor();
    // The folder's box checks all below it, and shows when only some are checked.
    const toolbar = favorites.getByRole('checkbox', { name: 'Bookmarks Toolbar' });
    await toolbar.check();
    assert.equal(await favorites.getByRole('checkbox', { name: 'News' }).isChecked(), true);
    await favorites.getByRole('checkbox', { name: 'Mail' }).uncheck();
    assert.equal(await toolbar.getAttribute('aria-checked'), 'mixed');
    await favorites.getByRole('checkbox', { name: 'Mail' }).check();

    await wizard.getByRole('button', { name: 'Next >' }).click();
    // The add's own message, then the wizard's.
    const box = messageBox(page);
    await box.getByText('A page with this title already exists.').waitFor();
    assert.equal(await box.getByRole('img').getAttribute('aria-label'), 'Warning');
    await box.getByRole('button', { name: 'OK' }).click();
    await box.getByText('An error occurred while adding the favorite pages you selected.').waitFor();
    await answerMessage(page, { text: 'An error occurred while adding the favorite pages you selected.', icon: 'Error' });
    await pageItem(page, 'Mail').waitFor();

    const history = wizard.getByRole('group', { name: 'History' });
    await history.waitFor();
    await expandAll(history);
    // Pages already watched have no box; the others can be chosen.
    assert.equal(await history.getByRole('checkbox', { name: 'Often', exact: true }).count(), 0);
    await history.getByText('Often').first().waitFor();
    await history.getByRole('checkbox', { name: 'Weekly', exact: true }).check();

    // Back: Mail shows as added and is not added again; News is still checked.
    await wizard.getByRole('button', { name: 'Back' }).click();
    const mail = favorites.getByRole('checkbox', { name: 'Mail' });
    await mail.waitFor();
    assert.equal(await mail.isDisabled(), true);
    assert.equal(await mail.isChecked(), true);
    await favorites.getByRole('checkbox', { name: 'News' }).uncheck();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await history.waitFor();
    await wizard.getByRole('button', { name: 'Finish' }).click();
    await wizard.waitFor({ state: 'detached' });
    await pageItem(page, 'Weekly').waitFor();
    const titles = (await backend.api('pages.list')).pages.map((p) => p.title);
    assert.equal(titles.filter((t) => t === 'Mail').length, 1);
  });
});

describe('Favorites from outside the browsers', { skip }, () => {
  test('a bookmarks file and a folder of shortcuts join the tree, and their pages are added', async () => {
    await page.getByRole('toolbar').getByRole('button', { name: 'Import' }).click();
    const wizard = dialog(page, 'Import - Tidewell');
    const favorites = wizard.getByRole('group', { name: 'Favorites' });
    await favorites.getByText('Mail').waitFor();

    // The file picker opens at home and shows folders and bookmarks files, nothing else.
    await wizard.getByRole('button', { name: 'Add Bookmarks File...' }).click();
    let picker = dialog(page, 'Add Bookmarks File');
    let list = picker.getByRole('listbox', { name: 'Folders and files' });
    assert.equal(await picker.getByRole('button', { name: 'OK' }).isDisabled(), true);
    await list.getByRole('option', { name: 'exported' }).click();
    await picker.getByRole('button', { name: 'Open' }).click();
    await list.getByRole('option', { name: 'bookmarks.html' }).waitFor();
    assert.deepEqual(await list.getByRole('option').allTextContents(), ['bookmarks.html', 'gone.html']);
    await list.getByRole('option', { name: 'bookmarks.html' }).click();
    await picker.getByRole('button', { name: 'OK' }).click();
    await picker.waitFor({ state: 'detached' });
    await favorites.getByRole('checkbox', { name: 'Exported Page' }).check();

    // The folder picker takes the folder chosen; its sub-folders come along.
    await wizard.getByRole('button', { name: 'Add Folder of Shortcuts...' }).click();
    picker = dialog(page, 'Add Folder of Shortcuts');
    await picker.getByRole('listbox', { name: 'Folders' }).getByRole('option', { name: 'Shortcuts' }).click();
    await picker.getByRole('button', { name: 'OK' }).click();
    await picker.waitFor({ state: 'detached' });
    await favorites.getByRole('checkbox', { name: 'Weather' }).check();
    await favorites.getByRole('checkbox', { name: 'Trains' }).waitFor();
    // What was checked before the tree was filled again is still checked.
    assert.equal(await favorites.getByRole('checkbox', { name: 'Exported Page' }).isChecked(), true);

    // A file that is gone by the time it is read: the Favorites load error, and the rest stays.
    await wizard.getByRole('button', { name: 'Add Bookmarks File...' }).click();
    picker = dialog(page, 'Add Bookmarks File');
    list = picker.getByRole('listbox', { name: 'Folders and files' });
    await list.getByRole('option', { name: 'exported' }).dblclick();
    await list.getByRole('option', { name: 'gone.html' }).click();
    rmSync(join(backend.home, 'exported', 'gone.html'));
    await picker.getByRole('button', { name: 'OK' }).click();
    await answerMessage(page, { text: 'An error occurred while loading your list of favorite web pages.', icon: 'Error' });
    assert.equal(await favorites.getByRole('checkbox', { name: 'Weather' }).isChecked(), true);
    await favorites.getByRole('checkbox', { name: 'Trains' }).waitFor();

    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('group', { name: 'History' }).waitFor();
    await wizard.getByRole('button', { name: 'Cancel' }).click();
    await pageItem(page, 'Exported Page').waitFor();
    await pageItem(page, 'Weather').waitFor();
    assert.equal(await pageItem(page, 'Trains').count(), 0);
  });
});

describe('Page Setup Wizard', { skip }, () => {
  test('its Favorites and Smart History pages add what is checked', async () => {
    await page.getByRole('toolbar').getByRole('button', { name: 'Options' }).click();
    const sheet = dialog(page, 'Options - Tidewell');
    await sheet.getByRole('button', { name: 'Page Setup Wizard...' }).click();
    const wizard = dialog(page, 'Page Setup Wizard - Tidewell');
    await wizard.getByRole('button', { name: 'Next >' }).click();
    const favorites = wizard.getByRole('group', { name: 'Favorites' });
    await favorites.waitFor();
    // Mail is a page now: no box.
    await favorites.getByText('Mail').waitFor();
    assert.equal(await favorites.getByRole('checkbox', { name: 'Mail', exact: true }).count(), 0);
    // Shortcuts can be added here too; Weather is a page already.
    await wizard.getByRole('button', { name: 'Add Folder of Shortcuts...' }).click();
    const picker = dialog(page, 'Add Folder of Shortcuts');
    await picker.getByRole('listbox', { name: 'Folders' }).getByRole('option', { name: 'Shortcuts' }).dblclick();
    await picker.getByRole('listbox', { name: 'Folders' }).getByRole('option', { name: 'Travel' }).waitFor();
    await picker.getByRole('button', { name: 'OK' }).click();
    await favorites.getByRole('checkbox', { name: 'Trains' }).check();
    assert.equal(await favorites.getByRole('checkbox', { name: 'Weather', exact: true }).count(), 0);
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard
      .getByRole('radiogroup', { name: 'Automatically add Smart History pages?' })
      .getByRole('radio', { name: 'No' })
      .check();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard
      .getByRole('status')
      .getByText('Based on your browsing history, the following pages appear to be frequently visited.')
      .waitFor();
    // Visited on five days: found; on three days: not.
    const found = wizard.getByRole('group', { name: /Based on your browsing history/ });
    await found.getByRole('checkbox', { name: /^Frequent/ }).check();
    assert.equal(await found.getByRole('checkbox', { name: /^Often/ }).count(), 0);
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('button', { name: 'Finish' }).click();
    await wizard.waitFor({ state: 'detached' });
    await pageItem(page, 'Frequent').waitFor();
    await pageItem(page, 'Trains').waitFor();
  });
});
