// The toolbar button's popup: Add Current Page with and without "Add Current Page confirmation",
// Refresh that turns into Stop while a check runs, and Tell a Friend in the side panel.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { dialog, pageItem, waitFor } from '../../ui/tests/support/ui.mjs';
import { startWebServer } from '../../ui/tests/support/web-server.mjs';
import { startSession } from './support/session.mjs';

let web;
let session;
let panel;
let popup;

before(async () => {
  web = await startWebServer();
  session = await startSession();
  panel = await session.openExtensionPage('sidepanel.html');
  await panel.setViewportSize({ width: 360, height: 640 });
  await panel.getByRole('listbox', { name: 'Pages' }).waitFor();
  popup = await session.openExtensionPage('popup.html');
});

after(async () => {
  await session?.close();
  await web?.close();
});

const tool = (name) => popup.getByRole('toolbar', { name: 'Tidewell' }).getByRole('button', { name, exact: true });

// Shows a page in a tab of its own and makes it the page the user looks at, then goes to the
// popup as a person clicks the toolbar button.
async function showPage(path, html) {
  web.set(path, html);
  const tab = await session.context.newPage();
  await tab.goto(web.url(path));
  await tab.bringToFront();
  await popup.bringToFront();
  return tab;
}

test('the popup offers the toolbar buttons', async () => {
  for (const name of ['Add Current Page', 'Refresh', 'Show Tidewell', 'Tell a Friend', 'Tidewell.org']) {
    await tool(name).waitFor();
  }
  await popup.setViewportSize({ width: 220, height: 240 });
  await popup.screenshot({ path: 'test-results/popup.png' });
});

test('Add Current Page asks first, and no longer once told not to', async () => {
  const tab = await showPage('/weather', '<html><head><title>Weather: "Today" | Coast</title></head><body>Sun</body></html>');
  await tool('Add Current Page').click();
  const add = dialog(panel, 'Add Current Page - Tidewell');
  await add.waitFor();
  await add.getByText('Edit the title and address for the currently loaded page in your web browser, before adding.').waitFor();
  // The title is made usable as a file name before it is shown.
  assert.equal(await add.getByLabel('Title:').inputValue(), "Weather- 'Today' - Coast");
  assert.equal(await add.getByLabel('Address:').inputValue(), web.url('/weather'));
  await panel.screenshot({ path: 'test-results/add-current-page.png' });
  await add.getByRole('checkbox', { name: 'Do not show this window again' }).check();
  await add.getByRole('button', { name: 'OK' }).click();
  await pageItem(panel, "Weather- 'Today' - Coast").waitFor();
  await waitFor(() => session.storedValue('ConfirmAC') === 0, 'ConfirmAC to be turned off');
  await tab.close();

  const quiet = await showPage('/untitled', '<html><body>No title here</body></html>');
  await tool('Add Current Page').click();
  const added = await waitFor(() => session.pages().find((p) => p.address === web.url('/untitled')), 'the page to be added');
  assert.equal(await dialog(panel, 'Add Current Page - Tidewell').count(), 0);
  assert.equal(await dialog(panel, 'Add Page - Tidewell').count(), 0);
  // A page without a title is added under its address without the scheme.
  assert.equal(added.title, web.url('/untitled').replace('http://', '').replace(/[/:]/g, '-'));
  await pageItem(panel, added.title).waitFor();
  await quiet.close();
});

test('with confirmation off, a page that can not be added as it is brings up the dialog', async () => {
  const tab = await showPage('/weather-again', '<html><head><title>Weather- \'Today\' - Coast</title></head><body>Rain</body></html>');
  await tool('Add Current Page').click();
  const add = dialog(panel, 'Add Page - Tidewell');
  await add.waitFor();
  assert.equal(await add.getByRole('checkbox', { name: 'Do not show this window again' }).count(), 0);
  assert.equal(await add.getByLabel('Address:').inputValue(), web.url('/weather-again'));
  // The title is taken: the dialog starts in it.
  assert.ok(await add.getByLabel('Title:').evaluate((field) => field === document.activeElement));
  await add.getByLabel('Title:').fill('Weather again');
  await add.getByRole('button', { name: 'OK' }).click();
  await pageItem(panel, 'Weather again').waitFor();
  await tab.close();
});

test('Refresh starts a check and turns into Stop until the check ends', async () => {
  web.set('/slow', '<html><head><title>Slow</title></head><body>Slow page</body></html>');
  web.delay('/slow', 3000);
  session.tidewell('add', web.url('/slow'), 'Slow');
  await pageItem(panel, 'Slow').waitFor();
  // The new page's own first check may be under way; the button follows whatever runs.
  await waitFor(async () => (await tool('Refresh').count()) === 1, 'no check to run', 20000);
  const hits = web.hits('/slow');
  await tool('Refresh').click();
  await tool('Stop').waitFor();
  await waitFor(() => web.hits('/slow') > hits, 'the check to fetch the page', 15000);
  await tool('Refresh').waitFor({ timeout: 20000 });
});

test('a check run by another process shows Stop too', async () => {
  web.delay('/slow', 3000);
  const hits = web.hits('/slow');
  const elsewhere = session.refresh();
  await tool('Stop').waitFor();
  await elsewhere;
  assert.ok(web.hits('/slow') > hits);
  await tool('Refresh').waitFor({ timeout: 20000 });
});

test('Stop ends a running check', async () => {
  web.delay('/slow', 8000);
  await tool('Refresh').click();
  await tool('Stop').click();
  await tool('Refresh').waitFor({ timeout: 20000 });
});

test('Tell a Friend opens its dialog in the side panel', async () => {
  await popup.bringToFront();
  await tool('Tell a Friend').click();
  const friend = dialog(panel, 'Tell a Friend - Tidewell');
  await friend.waitFor();
  await friend.getByRole('button', { name: 'Cancel' }).click();
  await friend.waitFor({ state: 'detached' });
});

// Last: from here on the browser's own side panel is the newest panel of the window.
test('Show Tidewell opens the side panel of the window', async () => {
  const sidePanels = () =>
    session.worker.evaluate(async () => (await chrome.runtime.getContexts({ contextTypes: ['SIDE_PANEL'] })).length);
  assert.equal(await sidePanels(), 0);
  await tool('Show Tidewell').click();
  await waitFor(async () => (await sidePanels()) === 1, 'the side panel to open');
  assert.equal(await popup.getByRole('alertdialog').count(), 0);
});
