// The main window as a whole: it follows every change made anywhere, keeps several windows in
// step, survives a restart of the service, and offers its views, filter and toolbar.
import assert from 'node:assert/strict';
import { after, afterEach, before, describe, test } from 'node:test';
import { kBackendKind, startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import { checkAndWait, closeAll, dialog, listedTitles, openUi, pageItem, pressRefresh, waitFor } from './support/ui.mjs';
import { startWebServer } from './support/web-server.mjs';

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

const viewMenu = async (p = page) => {
  await p.getByRole('button', { name: 'View', exact: true }).click();
  return p.getByRole('menu', { name: 'View' });
};

describe('following the page folder', () => {
  test('a page added by another process shows at once, in every window', async () => {
    const second = await openUi(browser, backend);
    try {
      await backend.addElsewhere(web.url('/x'), 'Added elsewhere');
      await pageItem(page, 'Added elsewhere').waitFor();
      await pageItem(second, 'Added elsewhere').waitFor();

      // A rename in one window shows in the other.
      await pageItem(page, 'Added elsewhere').click({ button: 'right' });
      await page.getByRole('menuitem', { name: 'Rename' }).click();
      await page.getByRole('textbox', { name: 'Title' }).fill('Renamed elsewhere');
      await page.keyboard.press('Enter');
      await pageItem(second, 'Renamed elsewhere').waitFor();
      await pageItem(second, 'Added elsewhere').waitFor({ state: 'detached' });
    } finally {
      await second.close();
    }
  });

  test('a display setting changed in one window applies in the other', async () => {
    const second = await openUi(browser, backend);
    try {
      const hasColumn = (p) => p.locator('.list-header').getByText('Updated', { exact: true }).count();
      const menu = await viewMenu();
      await menu.getByRole('menuitem', { name: 'View' }).hover();
      await page.getByRole('menuitemradio', { name: 'Details' }).click();
      await waitFor(async () => (await hasColumn(second)) === 1, 'the Updated column in the second window');
      const checked = await viewMenu();
      assert.equal(await checked.getByRole('menuitemcheckbox', { name: 'Show Updated Column' }).getAttribute('aria-checked'), 'true');
      await checked.getByRole('menuitemcheckbox', { name: 'Show Updated Column' }).click();
      await waitFor(async () => (await hasColumn(second)) === 0, 'the column to go in the second window');
      const again = await viewMenu();
      assert.equal(await again.getByRole('menuitemcheckbox', { name: 'Show Updated Column' }).getAttribute('aria-checked'), 'false');
      await again.getByRole('menuitemcheckbox', { name: 'Show Updated Column' }).click();
    } finally {
      await second.close();
    }
  });
});

describe('views and sorting', () => {
  test('the view menu reads as it should and each view mode shows the pages', async () => {
    const menu = await viewMenu();
    const top = await menu.evaluate((m) =>
      [...m.children].map((el) => el.getAttribute('role') === 'separator' ? '-' : el.getAttribute('aria-label')),
    );
    assert.deepEqual(top, ['View', '-', 'Show Updated Column', 'Sort by Updated Status', '-', 'Refresh']);
    assert.equal(await menu.getByRole('menuitem', { name: 'Refresh' }).getAttribute('aria-keyshortcuts'), 'F5');
    await menu.getByRole('menuitem', { name: 'View' }).press('ArrowRight');
    const modes = await page.getByRole('menuitemradio').evaluateAll((items) => items.map((i) => i.getAttribute('aria-label')));
    assert.deepEqual(modes, ['Large Icons', 'Small Icons', 'List', 'Details']);
    await page.keyboard.press('Escape');
    await page.keyboard.press('Escape');

    for (const mode of ['Large Icons', 'Small Icons', 'List', 'Details']) {
      const m = await viewMenu();
      await m.getByRole('menuitem', { name: 'View' }).hover();
      await page.getByRole('menuitemradio', { name: mode }).click();
      await waitFor(async () => (await listedTitles(page)).includes('Renamed elsewhere'), `the list in ${mode}`);
      const again = await viewMenu();
      await again.getByRole('menuitem', { name: 'View' }).hover();
      assert.equal(await page.getByRole('menuitemradio', { name: mode }).getAttribute('aria-checked'), 'true');
      await closeAll(page);
    }
    const stored = (await backend.api('settings.get', { setting: 'host' })).values;
    assert.equal(Number(stored.ViewMode), 1);
  });

  test('by status: pending, then updated, then in error, then by title; by title: pending last', async () => {
    web.set('/ok1', '<p>a</p>');
    web.set('/ok2', '<p>b</p>');
    await backend.addElsewhere(web.url('/ok1'), 'aa plain');
    await backend.addElsewhere(web.url('/ok2'), 'zz changes');
    await backend.addElsewhere(web.url('/missing'), 'mm broken');
    await checkAndWait(backend, web, ['/ok1', '/ok2', '/missing']);
    await waitFor(async () => (await pageItem(page, 'mm broken').getAttribute('aria-description'))?.startsWith('Error'), 'the error');
    web.set('/ok2', '<p>b changed</p>');
    await checkAndWait(backend, web, ['/ok2']);
    await dialog(page, 'Updated Pages - Tidewell').waitFor();
    await closeAll(page);
    // The service adds a page in a moment; only the stand-in holds an add long enough to see
    // where its placeholder sorts.
    const holdsAdds = backend.kind === 'fake';
    if (holdsAdds) {
      web.set('/slow2', 'slow');
      web.delay('/slow2', 3000);
      await page.getByRole('toolbar').getByRole('button', { name: 'Add Page' }).click();
      const add = dialog(page, 'Add Page - Tidewell');
      await add.getByLabel('Title:').fill('pp pending');
      await add.getByLabel('Address:').fill(web.url('/slow2'));
      await add.getByRole('button', { name: 'OK' }).click();
      await pageItem(page, 'pp pending').waitFor();
    }

    const titles = await listedTitles(page);
    const at = (t) => titles.indexOf(t);
    if (holdsAdds) assert.ok(at('pp pending') === 0, `pending first: ${titles}`);
    assert.ok(at('zz changes') < at('mm broken'), `updated before error: ${titles}`);
    assert.ok(at('mm broken') < at('aa plain'), `error before the rest: ${titles}`);

    const menu = await viewMenu();
    await menu.getByRole('menuitemcheckbox', { name: 'Sort by Updated Status' }).click();
    const byTitle = await listedTitles(page);
    if (holdsAdds) assert.equal(byTitle[byTitle.length - 1], 'pp pending');
    assert.ok(byTitle.indexOf('aa plain') < byTitle.indexOf('mm broken'));
    assert.ok(byTitle.indexOf('mm broken') < byTitle.indexOf('zz changes'));
    const restore = await viewMenu();
    await restore.getByRole('menuitemcheckbox', { name: 'Sort by Updated Status' }).click();
  });
});

describe('the details view and the task pane', () => {
  test('the Updated column shows the whole date in a side panel and at 230 pixels', async () => {
    web.set('/dated', '<p>a</p>');
    await backend.addElsewhere(web.url('/dated'), 'dd dated');
    const panel = await openUi(browser, backend, { width: 360, height: 640 });
    try {
      await checkAndWait(backend, web, ['/dated']);
      web.set('/dated', '<p>a changed</p>');
      await checkAndWait(backend, web, ['/dated']);
      await closeAll(panel);
      const menu = await viewMenu(panel);
      await menu.getByRole('menuitem', { name: 'View' }).hover();
      await panel.getByRole('menuitemradio', { name: 'Details' }).click();
      const date = pageItem(panel, 'dd dated').locator('.cell-updated');
      await date.filter({ hasText: /\d/ }).waitFor();
      for (const width of [360, 230]) {
        await panel.setViewportSize({ width, height: 640 });
        await waitFor(async () => (await panel.getByRole('listbox', { name: 'Pages' }).boundingBox()).width <= width, `${width} px`);
        const cut = await date.evaluate((cell) => cell.scrollWidth > cell.clientWidth);
        assert.equal(cut, false, `the date is cut at ${width} px`);
      }
    } finally {
      await panel.close();
      await backend.api('pages.delete', { title: 'dd dated' });
      await pageItem(page, 'dd dated').waitFor({ state: 'detached' });
    }
  });

  test('column widths follow the keyboard and are saved', async () => {
    const edge = page.getByRole('separator', { name: 'Page column width' });
    const before = Number(await edge.getAttribute('aria-valuenow'));
    await edge.focus();
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('ArrowLeft');
    await waitFor(async () => Number(await edge.getAttribute('aria-valuenow')) === before - 32, 'the narrower column');
    await waitFor(
      async () => Number((await backend.api('settings.get', { setting: 'host' })).values.PageColSize) === before - 32,
      'the width saved',
    );
  });

  test('its sections fold, and the folding is saved', async () => {
    const pane = page.getByRole('complementary', { name: 'Task pane' });
    const links = pane.getByRole('button', { name: 'Internet Links' });
    assert.equal(await links.getAttribute('aria-expanded'), 'true');
    await links.click();
    assert.equal(await links.getAttribute('aria-expanded'), 'false');
    await waitFor(async () => Number((await backend.api('settings.get', { setting: 'host' })).values.TaskPane2) === 0, 'TaskPane2 0');
    await links.click();
    // A selected page brings its own tasks.
    await page.getByRole('listbox', { name: 'Pages' }).focus();
    await page.keyboard.press('Home');
    await pane.getByRole('button', { name: 'Page Tasks' }).waitFor();
    assert.deepEqual(await pane.getByRole('list').first().getByRole('button').allTextContents(), [
      'Open this page',
      'See what changed',
      'Clear this page',
      'Fix this page',
      'Reset this page',
      'Rename this page',
      'Delete this page',
    ]);
    await page.keyboard.press('Escape');
    await pane.getByRole('button', { name: 'Tasks', exact: true }).waitFor();
  });
});

describe('the filter', () => {
  test('narrows by title or address, never hides a page being added, and says when it hides updated pages', async () => {
    const filter = page.getByRole('searchbox', { name: 'Filter pages' });
    await filter.fill('/ok1');
    await waitFor(async () => {
      const t = await listedTitles(page);
      return t.includes('aa plain') && !t.includes('mm broken');
    }, 'the filter by address');
    assert.match(await page.getByRole('status').filter({ hasText: 'not shown' }).textContent(), /1 updated page is not shown/);
    await filter.fill('PLAIN');
    await waitFor(async () => (await listedTitles(page)).includes('aa plain'), 'the filter by title');
    await filter.press('Escape');
    assert.equal(await filter.inputValue(), '');
    await waitFor(async () => (await listedTitles(page)).includes('mm broken'), 'everything back');

    // Only the stand-in holds an add long enough to see its placeholder.
    if (backend.kind !== 'fake') return;
    web.set('/slow3', 'slow');
    web.delay('/slow3', 3000);
    await filter.fill('nothing matches this');
    await page.getByRole('toolbar').getByRole('button', { name: 'Add Page' }).click();
    const add = dialog(page, 'Add Page - Tidewell');
    await add.getByLabel('Title:').fill('Being added');
    await add.getByLabel('Address:').fill(web.url('/slow3'));
    await add.getByRole('button', { name: 'OK' }).click();
    await pageItem(page, 'Being added').waitFor();
    await filter.press('Escape');
  });
});

describe('the keyboard', () => {
  test('arrows select, Enter opens, the context-menu key opens the item menu', async () => {
    const list = page.getByRole('listbox', { name: 'Pages' });
    await list.focus();
    await page.keyboard.press('Home');
    const first = (await listedTitles(page))[0];
    assert.equal(await pageItem(page, first).getAttribute('aria-selected'), 'true');
    await page.keyboard.press('ArrowDown');
    const second = (await listedTitles(page))[1];
    assert.equal(await pageItem(page, second).getAttribute('aria-selected'), 'true');
    assert.equal(await list.getAttribute('aria-activedescendant'), await pageItem(page, second).getAttribute('id'));

    await page.keyboard.press('ContextMenu');
    const menu = page.getByRole('menu', { name: second });
    await menu.waitFor();
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Escape');
    await menu.waitFor({ state: 'detached' });

    // Typing a title's first letters selects it.
    await page.keyboard.type('aa');
    assert.equal(await pageItem(page, 'aa plain').getAttribute('aria-selected'), 'true');
    const tab = browser.context.waitForEvent('page');
    await page.keyboard.press('Enter');
    const opened = await tab;
    await waitFor(() => opened.url() === web.url('/ok1'), 'the page to open');
    await opened.close();
    await page.bringToFront();
  });
});

describe('the toolbar', () => {
  test('Refresh turns into Stop while a check runs, and back', async () => {
    web.delay('/ok1', 2500);
    // With no page selected, the task pane shows the state of checking.
    await page.getByRole('listbox', { name: 'Pages' }).focus();
    await page.keyboard.press('Escape');
    const bar = page.getByRole('toolbar');
    try {
    await bar.getByRole('button', { name: 'Refresh' }).click();
    await bar.getByRole('button', { name: 'Stop' }).waitFor();
    await page.getByRole('complementary', { name: 'Task pane' }).getByText('Checking pages...').waitFor();
    await bar.getByRole('button', { name: 'Stop' }).click();
    await bar.getByRole('button', { name: 'Refresh' }).waitFor({ timeout: 15000 });
    await page.getByRole('complementary', { name: 'Task pane' }).getByText('Ready').waitFor();
    } finally {
      web.delay('/ok1', 0);
    }
  });

  test('its menu sets large buttons and text, and a narrow window offers the rest under More', async () => {
    const bar = page.getByRole('toolbar');
    await bar.click({ button: 'right', position: { x: 600, y: 10 } });
    const menu = page.getByRole('menu', { name: 'Toolbar' });
    assert.deepEqual(
      await menu.evaluate((m) => [...m.children].map((el) => (el.getAttribute('role') === 'separator' ? '-' : el.getAttribute('aria-label')))),
      ['Small Icons', 'Large Icons', '-', 'Show Text'],
    );
    await menu.getByRole('menuitemcheckbox', { name: 'Show Text' }).click();
    await bar.getByRole('button', { name: 'Add Page' }).getByText('Add Page').waitFor();

    const narrow = await openUi(browser, backend, { width: 230, height: 600 });
    try {
      const more = narrow.getByRole('toolbar').getByRole('button', { name: 'More' });
      await more.click();
      const overflow = narrow.getByRole('menu', { name: 'More' });
      const offered = await overflow.getByRole('menuitem').evaluateAll((items) => items.map((i) => i.getAttribute('aria-label')));
      assert.ok(offered.includes('Help'), `Help is offered: ${offered}`);
      await overflow.getByRole('menuitem', { name: 'Options' }).click().catch(() => undefined);
      if (offered.includes('Options')) {
        await dialog(narrow, 'Options - Tidewell').waitFor();
        await closeAll(narrow);
      }
    } finally {
      await narrow.close();
    }
    await bar.click({ button: 'right', position: { x: 600, y: 10 } });
    await page.getByRole('menu', { name: 'Toolbar' }).getByRole('menuitemcheckbox', { name: 'Show Text' }).click();
  });
});

describe('notifications', () => {
  test('Updated Pages lists each page once, and "Do not show this window again" turns it off', async () => {
    web.set('/n1', '<p>one</p>');
    web.set('/n2', '<p>two</p>');
    await backend.addElsewhere(web.url('/n1'), 'Notify one');
    await backend.addElsewhere(web.url('/n2'), 'Notify two');
    const checkOnce = () => checkAndWait(backend, web, ['/n1', '/n2']);
    await checkOnce();
    await closeAll(page);
    web.set('/n1', '<p>one changed</p>');
    await pressRefresh(page);
    const updated = dialog(page, 'Updated Pages - Tidewell');
    await updated.getByRole('button', { name: 'Notify one' }).waitFor();
    web.set('/n2', '<p>two changed</p>');
    // A check started elsewhere while the dialog is open adds to it.
    await checkOnce();
    await updated.getByRole('button', { name: 'Notify two' }).waitFor();
    assert.equal(await updated.getByRole('button', { name: 'Notify one' }).count(), 1);
    await updated.getByLabel('Do not show this window again').check();
    await updated.getByRole('button', { name: 'Close' }).click();
    await updated.waitFor({ state: 'detached' });
    await waitFor(async () => Number((await backend.api('settings.get', { setting: 'host' })).values.PageNotify) === 0, 'PageNotify 0');
  });
});

describe('errors of background work', () => {
  test('are listed in the Errors window, and more join it while it is open', { skip: kBackendKind === 'real' }, async () => {
    await backend.showErrors(['Page Error: Harbour, Object not found']);
    const errors = dialog(page, 'Errors - Tidewell');
    await errors.getByText('The following errors occurred.').waitFor();
    await backend.showErrors(['Page Error: Ferry, Request Forbidden']);
    await waitFor(async () => (await errors.getByRole('listitem').count()) === 2, 'both errors');
    assert.deepEqual(await errors.getByRole('listitem').allTextContents(), [
      'Page Error: Harbour, Object not found',
      'Page Error: Ferry, Request Forbidden',
    ]);
    await errors.getByRole('button', { name: 'Close' }).click();
    await errors.waitFor({ state: 'detached' });
  });
});

describe('dropping onto the list', () => {
  test('an Internet shortcut becomes a page titled by its file name', async () => {
    web.set('/dropped', 'dropped');
    await page.getByRole('listbox', { name: 'Pages' }).evaluate((list, url) => {
      const data = new DataTransfer();
      data.items.add(new File([`[InternetShortcut]\r\nURL=${url}\r\n`], 'Dropped shortcut.url'));
      data.items.add(new File(['just text'], 'notes.txt'));
      for (const type of ['dragover', 'drop']) list.dispatchEvent(new DragEvent(type, { dataTransfer: data, bubbles: true, cancelable: true }));
    }, web.url('/dropped'));
    await pageItem(page, 'Dropped shortcut').waitFor();
    assert.equal(await pageItem(page, 'notes').count(), 0);
  });

  test('an address dropped as text becomes a page; a title it can not give is asked for', async () => {
    await page.getByRole('listbox', { name: 'Pages' }).evaluate((list, url) => {
      const data = new DataTransfer();
      data.setData('text/plain', url);
      list.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    }, web.url('/dropped-text'));
    if (backend.kind === 'real') {
      // The service makes a title a file can have from the address, and adds the page at once.
      await waitFor(
        async () => (await backend.api('pages.list')).pages.some((p) => p.address === web.url('/dropped-text')),
        'the dropped address added',
      );
      return;
    }
    // The stand-in keeps ":" and "/" in the title made from the address, which a title can not.
    const add = dialog(page, 'Add Page - Tidewell');
    await add.waitFor();
    assert.equal(await add.getByLabel('Address:').inputValue(), web.url('/dropped-text'));
    await add.getByLabel('Title:').fill('Dropped text');
    await add.getByRole('button', { name: 'OK' }).click();
    await pageItem(page, 'Dropped text').waitFor();
  });
});

describe('a restart of the service', () => {
  test('a restarted service is found again without reloading the window', async () => {
    const lost = page.getByRole('alert').getByText('Tidewell is not running', { exact: false });
    await backend.restart(() => lost.waitFor());
    await backend.addElsewhere(web.url('/after'), 'After the restart');
    await pageItem(page, 'After the restart').waitFor({ timeout: 15000 });
    await lost.waitFor({ state: 'detached' });
  });
});

describe('the event stream', () => {
  // The pages of a window that opens arrive in one burst, which the network hands over in pieces
  // cut anywhere: inside a message, a line or a character of more than one byte.
  test('a long list of pages with titles in several scripts arrives whole', async () => {
    const own = await startBackend();
    const count = 250;
    const marker = 'Ĉapelo ✓ 日本語 Ünïcödé';
    const padding = 'ß€'.repeat(20);
    try {
      for (let i = 0; i < count; i++)
        await own.api('pages.addQuietly', { title: `${marker} ${padding} ${i}`, address: web.url(`/many/${i}`) });
      const window = await openUi(browser, own);
      // A title with a character cut wrongly no longer matches the filter.
      await window.getByRole('searchbox', { name: 'Filter pages' }).fill(`${marker} ${padding}`);
      const first = window.getByRole('listbox', { name: 'Pages' }).getByRole('option').first();
      await waitFor(async () => (await first.getAttribute('aria-setsize')) === String(count), `all ${count} pages to match`);
      await window.close();
    } finally {
      await own.stop();
    }
  });
});
