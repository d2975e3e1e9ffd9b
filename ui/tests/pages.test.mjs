// Adding, checking, renaming, deleting and editing pages through the main window.
import assert from 'node:assert/strict';
import { existsSync, readdirSync, renameSync } from 'node:fs';
import { join } from 'node:path';
import { after, afterEach, before, describe, test } from 'node:test';
import { startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import {
  addPageThroughDialog,
  checkAndWait,
  closeAll,
  answerMessage,
  dialog,
  menuCommand,
  messageBox,
  openUi,
  pageItem,
  pressRefresh,
  selectThroughItemMenu,
  waitFor,
} from './support/ui.mjs';
import { startWebServer } from './support/web-server.mjs';

const kInvalidTitle = 'The title can not contain any of the following characters:\r\n/ \\ : * ? " < > |';

let web;
let backend;
let browser;
let page;

before(async () => {
  web = await startWebServer();
  backend = await startBackend();
  browser = await launchBrowser();
  page = await openUi(browser, backend);
});
afterEach(() => closeAll(page));
after(async () => {
  await browser?.close();
  await backend?.stop();
  await web?.close();
});

describe('adding a page', () => {
  test('shows it pending, then checked, then updated when the server changes it', async () => {
    web.set('/news', '<p>first edition</p>');
    const add = await addPageThroughDialog(page, 'Harbour news', web.url('/news'));
    await add.waitFor({ state: 'detached' });
    const item = pageItem(page, 'Harbour news');
    await item.waitFor();
    await waitFor(async () => !(await item.getAttribute('class')).includes('pending'), 'the page to arrive');
    await waitFor(async () => (await backend.api('pages.list')).pages.some((p) => p.title === 'Harbour news' && !p.error), 'first check');

    web.set('/news', '<p>second edition</p>');
    await pressRefresh(page);
    const updated = dialog(page, 'Updated Pages - Tidewell');
    await updated.waitFor();
    assert.equal((await item.getAttribute('aria-description')).split(', ')[0], 'Updated');
    assert.match(await page.title(), /^Tidewell \(1\)$/);

    // Choosing the page opens it in a new tab and clears its flag.
    const tab = browser.context.waitForEvent('page');
    await updated.getByRole('button', { name: 'Harbour news' }).click();
    const opened = await tab;
    await waitFor(() => opened.url() === web.url('/news'), 'the page to open');
    await opened.close();
    await page.bringToFront();
    await waitFor(async () => (await item.getAttribute('aria-description'))?.split(', ')[0] !== 'Updated', 'the flag to clear');
  });

  test('refuses addresses and titles with the exact messages, keeping the dialog open', async () => {
    const cases = [
      { title: 'A', address: '', text: 'An address is required to add a page.', icon: undefined, field: 'Address:' },
      { title: 'A', address: 'ftp://example.org/', text: "Only HTTP URL's are supported.", icon: 'Warning', field: 'Address:' },
      { title: 'what?', address: 'example.org', text: kInvalidTitle, icon: 'Warning', field: 'Title:' },
      { title: 'tab\there', address: 'example.org', text: kInvalidTitle, icon: 'Warning', field: 'Title:' },
      { title: 'harbour NEWS', address: 'example.org', text: 'A page with this title already exists.', icon: 'Warning', field: 'Title:' },
    ];
    for (const c of cases) {
      const add = await addPageThroughDialog(page, c.title, c.address);
      await answerMessage(page, { text: c.text, icon: c.icon });
      assert.equal(await add.isVisible(), true, `dialog stays open for ${c.text}`);
      await waitFor(() => add.getByLabel(c.field).evaluate((el) => el === document.activeElement), `focus on ${c.field}`);
      await add.getByRole('button', { name: 'Cancel' }).click();
      await add.waitFor({ state: 'detached' });
    }
  });

  test('takes the title from the address and puts http:// in front', async () => {
    const add = await addPageThroughDialog(page, '', 'example.org');
    await add.waitFor({ state: 'detached' });
    await pageItem(page, 'example.org').waitFor();
    const listed = await waitFor(async () => (await backend.api('pages.list')).pages.find((p) => p.title === 'example.org'), 'the page');
    assert.equal(listed.address, 'http://example.org');
  });

  // The extension's Add Current Page, as both the service and its stand-in answer it.
  test('the browser\'s current page is proposed first, then added at once once asked not to', async () => {
    await assert.rejects(backend.api('pages.addCurrent', { title: 'x', address: '' }), (e) => e.body.code === 'browser-failed');
    const asked = await backend.api('pages.addCurrent', { title: 'Docs: a/b?', address: web.url('/current') });
    assert.deepEqual(asked.dialog, {
      mode: 'currentPage',
      title: 'Docs- a-b#',
      address: web.url('/current'),
      caption: 'Add Current Page - Tidewell',
      note: 'Edit the title and address for the currently loaded page in your web browser, before adding.',
    });
    await backend.api('settings.set', { setting: 'host', values: { ConfirmAC: 0 } });
    try {
      await backend.api('pages.addCurrent', { address: web.url('/current') });
      // The title comes from the address, made usable as a file name.
      await pageItem(page, web.url('/current').replace('http://', '').replace(/[:/]/g, '-')).waitFor();
      const taken = await backend.api('pages.addCurrent', { address: web.url('/current') });
      assert.equal(taken.dialog.mode, 'plain');
      assert.equal(taken.dialog.problem.code, 'title-taken');
    } finally {
      await backend.api('settings.set', { setting: 'host', values: { ConfirmAC: 1 } });
    }
  });
});

describe('renaming in place', () => {
  test('F2 edits the title; Enter renames, Escape keeps the old one', async () => {
    await backend.addElsewhere(web.url('/a'), 'Tide tables');
    const item = pageItem(page, 'Tide tables');
    await item.waitFor();
    await selectThroughItemMenu(page, 'Tide tables');
    await page.keyboard.press('F2');
    const editor = page.getByRole('textbox', { name: 'Title' });
    await editor.fill('Tide tables 2027');
    await page.keyboard.press('Enter');
    await pageItem(page, 'Tide tables 2027').waitFor();
    assert.equal(await item.count(), 0);

    await page.keyboard.press('F2');
    await editor.fill('Something else');
    await page.keyboard.press('Escape');
    await editor.waitFor({ state: 'detached' });
    assert.equal(await pageItem(page, 'Tide tables 2027').count(), 1);
  });

  test('a refused title shows why and brings the editor back with what was typed', async () => {
    await menuCommand(page, 'Tide tables 2027', 'Rename');
    const editor = page.getByRole('textbox', { name: 'Title' });
    await editor.fill('Tides: winter');
    await page.keyboard.press('Enter');
    await answerMessage(page, { text: kInvalidTitle, icon: 'Warning' });
    await waitFor(async () => (await editor.inputValue()) === 'Tides: winter', 'the editor to come back');
    await editor.fill('Harbour News');
    await page.keyboard.press('Enter');
    await answerMessage(page, { text: 'A page with this title already exists.', icon: 'Warning' });
    await page.keyboard.press('Escape');
    assert.equal(await pageItem(page, 'Tide tables 2027').count(), 1);
  });
});

describe('deleting', () => {
  test('the Delete key asks first; No keeps the page, Yes moves it to the trash', async () => {
    await backend.addElsewhere(web.url('/b'), 'Ferry times');
    const item = pageItem(page, 'Ferry times');
    await selectThroughItemMenu(page, 'Ferry times');
    await page.keyboard.press('Delete');
    await answerMessage(page, { text: 'Are you sure you want to delete this page?', icon: 'Question', button: 'No' });
    assert.equal(await item.count(), 1);

    await page.keyboard.press('Delete');
    await answerMessage(page, { text: 'Are you sure you want to delete this page?', icon: 'Question', button: 'Yes' });
    await item.waitFor({ state: 'detached' });

    if (backend.kind === 'real') {
      // Restored from the trash, the page comes back by itself.
      const trash = join(backend.env.XDG_DATA_HOME, 'Trash', 'files');
      const file = readdirSync(trash).find((f) => f.startsWith('Ferry times'));
      const folder = join(backend.home, 'Documents', 'My Tidewell');
      renameSync(join(trash, file), join(folder, 'Ferry times.twp'));
      await item.waitFor();
      assert.equal(existsSync(join(folder, 'Ferry times.twp')), true);
    }
  });

  test('Shift+Delete deletes for good after its own warning', async () => {
    await backend.addElsewhere(web.url('/c'), 'Lighthouse log');
    const item = pageItem(page, 'Lighthouse log');
    await selectThroughItemMenu(page, 'Lighthouse log');
    await page.keyboard.press('Shift+Delete');
    await answerMessage(page, {
      text: 'Are you sure you want to delete this page permanently? It can not be restored.',
      icon: 'Warning',
      button: 'Yes',
    });
    await item.waitFor({ state: 'detached' });
  });
});

describe('properties', () => {
  test('edits title, address and the advanced settings, and refuses a count out of range', async () => {
    await backend.addElsewhere(web.url('/d'), 'Buoy data');
    await menuCommand(page, 'Buoy data', 'Properties');
    const props = dialog(page, 'Properties - Tidewell');
    assert.equal(await props.getByLabel('Title:').inputValue(), 'Buoy data');
    const advanced = props.getByRole('button', { name: 'Advanced >>' });
    assert.equal(await advanced.getAttribute('aria-expanded'), 'false');
    await advanced.click();
    assert.equal(await props.getByRole('button', { name: '<< Advanced' }).getAttribute('aria-expanded'), 'true');

    await props.getByLabel('Enable Smart Update').check();
    await props.getByLabel('Check for Changes:').fill('21');
    await props.getByRole('button', { name: 'OK' }).click();
    await answerMessage(page, { text: 'Please enter a value between 0 and 20.', icon: 'Information' });
    await waitFor(() => props.getByLabel('Check for Changes:').evaluate((el) => el === document.activeElement), 'focus on the count');

    await props.getByLabel('Check for Changes:').fill('3');
    await props.getByLabel('Last Check Wait Time:').fill('2');
    await props.getByLabel('Ignore Page Expiration Time').check();
    await props.getByLabel('Title:').fill('Buoy readings');
    await props.getByLabel('Address:').fill(web.url('/d2').replace('http://', ''));
    await props.getByRole('button', { name: 'OK' }).click();
    await props.waitFor({ state: 'detached' });
    await pageItem(page, 'Buoy readings').waitFor();
    const stored = (await backend.api('pages.list')).pages.find((p) => p.title === 'Buoy readings');
    assert.deepEqual(
      [stored.address, stored.smartUpdate, stored.checkCount, stored.waitSeconds, stored.ignoreExpires],
      [web.url('/d2'), true, 3, 120, true],
    );

    // Switching Smart Update off stores no count and no wait.
    await menuCommand(page, 'Buoy readings', 'Properties');
    await props.getByRole('button', { name: 'Advanced >>' }).click();
    assert.equal(await props.getByLabel('Check for Changes:').inputValue(), '3');
    await props.getByLabel('Enable Smart Update').uncheck();
    assert.equal(await props.getByLabel('Check for Changes:').isDisabled(), true);
    await props.getByRole('button', { name: 'OK' }).click();
    await props.waitFor({ state: 'detached' });
    await waitFor(async () => {
      const p = (await backend.api('pages.list')).pages.find((x) => x.title === 'Buoy readings');
      return !p.smartUpdate && p.checkCount === 0 && p.waitSeconds === 0;
    }, 'Smart Update off');
  });
});

describe('Smart Update Wizard', () => {
  test('refuses a wait of 31 minutes, then turns Smart Update on for a page marked wrongly', async () => {
    await backend.addElsewhere(web.url('/e'), 'Surf report');
    await menuCommand(page, 'Surf report', 'Properties');
    const props = dialog(page, 'Properties - Tidewell');
    await props.getByRole('button', { name: 'Advanced >>' }).click();
    await props.getByLabel('Enable Smart Update').uncheck();
    await props.getByRole('button', { name: 'OK' }).click();
    await props.waitFor({ state: 'detached' });

    await menuCommand(page, 'Surf report', 'Smart Update Wizard');
    const wizard = dialog(page, 'Smart Update Wizard - Tidewell');
    await wizard.getByRole('heading', { name: 'Welcome to the Smart Update Wizard' }).waitFor();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'What is the problem that you are having with this page?' }).waitFor();
    assert.equal(
      await wizard.getByLabel('Updating - The page is marked as updated, but nothing appears to have changed.').isChecked(),
      true,
    );
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByLabel('Enter the amount of the time the page takes to update.').fill('31');
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await answerMessage(page, { text: 'Please enter a value between 0 and 30.', icon: 'Information' });
    await wizard.getByLabel('Enter the amount of the time the page takes to update.').fill('5');
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'You have completed the Smart Update Wizard.' }).waitFor();
    await wizard.getByRole('button', { name: 'Finish' }).click();
    await wizard.waitFor({ state: 'detached' });
    await waitFor(async () => {
      const p = (await backend.api('pages.list')).pages.find((x) => x.title === 'Surf report');
      return p.smartUpdate && p.checkCount === 0 && p.waitSeconds === 300;
    }, 'the wizard to set the page');
  });

  test('Not Updating skips the wait page, and Cancel changes nothing', async () => {
    await menuCommand(page, 'Surf report', 'Smart Update Wizard');
    const wizard = dialog(page, 'Smart Update Wizard - Tidewell');
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByLabel('Not Updating - The page has changed, but is not marked as being updated.').check();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'You have completed the Smart Update Wizard.' }).waitFor();
    await wizard.getByRole('button', { name: 'Cancel' }).click();
    await wizard.waitFor({ state: 'detached' });
    const p = (await backend.api('pages.list')).pages.find((x) => x.title === 'Surf report');
    assert.equal(p.smartUpdate, true);
  });
});

describe('clear and reset', () => {
  test('Clear Update Flag unmarks an updated page; Reset starts a page over without its settings', async () => {
    web.set('/f', '<p>first</p>');
    await backend.addElsewhere(web.url('/f'), 'Pier cam');
    await checkAndWait(backend, web, ['/f']);
    web.set('/f', '<p>second</p>');
    await checkAndWait(backend, web, ['/f']);
    await closeAll(page);
    const item = pageItem(page, 'Pier cam');
    await waitFor(async () => (await item.getAttribute('aria-description'))?.split(', ')[0] === 'Updated', 'the page updated');
    await menuCommand(page, 'Pier cam', 'Clear Update Flag');
    await waitFor(async () => (await item.getAttribute('aria-description'))?.split(', ')[0] !== 'Updated', 'the flag cleared');

    await menuCommand(page, 'Pier cam', 'Properties');
    const props = dialog(page, 'Properties - Tidewell');
    await props.getByRole('button', { name: 'Advanced >>' }).click();
    await props.getByLabel('Enable Smart Update').check();
    await props.getByLabel('Check for Changes:').fill('2');
    await props.getByRole('button', { name: 'OK' }).click();
    await props.waitFor({ state: 'detached' });
    await menuCommand(page, 'Pier cam', 'Reset');
    await waitFor(async () => {
      const p = (await backend.api('pages.list')).pages.find((x) => x.title === 'Pier cam');
      return !p.smartUpdate && p.checkCount === 0 && !p.updated;
    }, 'the page reset');
  });
});

describe('the item menu', () => {
  test('offers the commands in order and disables what a page being added can not do', async () => {
    await pageItem(page, 'Surf report').click({ button: 'right' });
    const menu = page.getByRole('menu');
    const names = await menu.getByRole('menuitem').evaluateAll((items) => items.map((i) => i.getAttribute('aria-label')));
    assert.deepEqual(names, ['Open', 'Show Changes', 'Clear Update Flag', 'Smart Update Wizard', 'Reset', 'Rename', 'Delete', 'Properties']);
    assert.equal(await menu.getByRole('separator').count(), 3);
    await page.keyboard.press('Escape');
    // The service adds a page in a moment; only the stand-in holds an add long enough to look at
    // its placeholder.
    if (backend.kind !== 'fake') return;

    // A page whose server is slow to answer stays a placeholder long enough to look at.
    web.set('/slow', '<p>slow</p>');
    web.delay('/slow', 4000);
    const add = await addPageThroughDialog(page, 'Slow harbour', web.url('/slow'));
    await add.waitFor({ state: 'detached' });
    const placeholder = pageItem(page, 'Slow harbour');
    assert.equal(await placeholder.getAttribute('aria-description').then((d) => d.split(', ')[0]), 'Adding...');
    await placeholder.click({ button: 'right' });
    const disabled = await menu
      .getByRole('menuitem')
      .evaluateAll((items) => items.filter((i) => i.getAttribute('aria-disabled') === 'true').map((i) => i.getAttribute('aria-label')));
    assert.deepEqual(disabled, ['Show Changes', 'Reset', 'Rename', 'Delete', 'Properties']);
    await page.keyboard.press('Escape');
    await waitFor(async () => (await placeholder.getAttribute('aria-description'))?.split(', ')[0] !== 'Adding...', 'the page to arrive', 15000);
    assert.equal(await messageBox(page).count(), 0);
  });
});
