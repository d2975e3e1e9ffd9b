// The side panel: the main window in its side-bar setting over the native host. It lists the
// pages, follows a page added by another process, and opens a page in the browser's tab.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { listedTitles, messageBox, pageItem, waitFor } from '../../ui/tests/support/ui.mjs';
import { startWebServer } from '../../ui/tests/support/web-server.mjs';
import { startSession } from './support/session.mjs';

let web;
let session;
let panel;

before(async () => {
  web = await startWebServer();
  web.set('/tides', '<html><head><title>Tides</title></head><body>High water at noon</body></html>');
  web.set('/harbour', '<html><head><title>Harbour</title></head><body>Two ships in</body></html>');
  session = await startSession({
    prepare: (s) => {
      s.tidewell('add', web.url('/tides'), 'Tides');
    },
  });
  panel = await session.openExtensionPage('sidepanel.html');
  await panel.setViewportSize({ width: 360, height: 640 });
});

after(async () => {
  await session?.close();
  await web?.close();
});

test('the panel lists the pages in details view with the side bar toolbar', async () => {
  await pageItem(panel, 'Tides').waitFor();
  // Details view, the side bar's default: the list has its columns.
  await panel.getByRole('separator', { name: 'Page column width' }).waitFor();
  const toolbar = panel.getByRole('toolbar', { name: 'Toolbar' });
  await toolbar.getByRole('button', { name: 'Add Current Page' }).waitFor();
  await panel.screenshot({ path: 'test-results/side-panel.png' });
});

test('a page added by another process appears in the panel', async () => {
  session.tidewell('add', web.url('/harbour'), 'Harbour');
  await pageItem(panel, 'Harbour').waitFor();
  assert.deepEqual((await listedTitles(panel)).sort(), ['Harbour', 'Tides']);
});

test('opening a page navigates the browser tab the user was in', async () => {
  const tab = await session.context.newPage();
  await tab.goto(web.url('/harbour'));
  await panel.bringToFront();
  // A click opens; the second click of a double click is the same open.
  await pageItem(panel, 'Tides').dblclick();
  await waitFor(() => tab.url() === web.url('/tides'), 'the tab to show the opened page');
  await tab.waitForLoadState('load');
  assert.equal(await messageBox(panel).count(), 0);
  await tab.close();
});

test('the panel finds the host again after it ended', async () => {
  const hosts = await waitFor(() => {
    const found = session.nativeHosts();
    return found.length >= 2 && found; // the background's and the panel's
  }, 'the native hosts to run');
  for (const pid of hosts) process.kill(pid, 'SIGTERM');
  // The browser starts a new host for the panel, which lists the pages again.
  await waitFor(() => session.nativeHosts().some((pid) => !hosts.includes(pid)), 'a new native host');
  session.tidewell('add', web.url('/tides'), 'Tides again');
  await pageItem(panel, 'Tides again').waitFor();
  await pageItem(panel, 'Harbour').waitFor();
});

test('view settings of the side bar are its own', async () => {
  await panel.getByRole('listbox', { name: 'Pages' }).click({ button: 'right', position: { x: 150, y: 200 } });
  const menu = panel.getByRole('menu');
  await menu.getByRole('menuitem', { name: 'View' }).click();
  await panel.getByRole('menuitemradio', { name: 'List' }).click();
  await panel.getByRole('separator', { name: 'Page column width' }).waitFor({ state: 'detached' });
  await waitFor(() => session.storedValue('ViewModeIE') === 3, 'ViewModeIE to be stored');
  assert.equal(session.storedValue('ViewMode'), undefined, 'the host program keeps its own view mode');
});
