// Show Changes: a real page, checked again and again against a web server on loopback whose
// content changes, shows what changed since each kept version, from the item menu and from the
// Updated Pages dialog.
import assert from 'node:assert/strict';
import { after, afterEach, before, describe, test } from 'node:test';
import { kBackendKind, startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import { checkAndWait, closeAll, dialog, menuCommand, openUi, pageItem, waitFor } from './support/ui.mjs';
import { startWebServer } from './support/web-server.mjs';

const kTitle = 'Show Changes - Tidewell';
const kNoEarlierStart = 'No earlier version of this page is kept yet.';

let web;
let backend;
let browser;
let page;

before(async () => {
  if (kBackendKind !== 'real') return;
  web = await startWebServer();
  backend = await startBackend();
  browser = await launchBrowser();
  page = await openUi(browser, backend);
});
afterEach(() => page && closeAll(page));
after(async () => {
  await browser?.close();
  await backend?.stop();
  await web?.close();
});

const skip = kBackendKind !== 'real' && 'Show Changes needs tidewell serve';

const tidePage = (body) =>
  `<html><head><title>Tides</title><style>p { color: teal }</style><script>var x = 1;</script></head>` +
  `<body><h1>Tide table</h1>${body}<iframe src="/tides/frame"></iframe></body></html>`;

// The text inside the view's insertions and deletions, as a screen reader is given them.
const marked = (view, role) => view.getByRole(role).allTextContents();

async function dismissUpdatedPages() {
  const updated = dialog(page, 'Updated Pages - Tidewell');
  if (await updated.count()) await updated.getByRole('button', { name: 'Close' }).click();
}

describe('Show Changes', { skip }, () => {
  test('says that no earlier version is kept before the page first changes', async () => {
    web.set('/tides', tidePage('<p>High water at 06:10 and 18:32.</p>'));
    web.set('/tides/frame', '<p>Wind from the west, force 4.</p>');
    await backend.addElsewhere(web.url('/tides'), 'Tides');
    await pageItem(page, 'Tides').waitFor();
    await checkAndWait(backend, web, ['/tides']);

    await menuCommand(page, 'Tides', 'Show Changes');
    const view = dialog(page, kTitle);
    await view.waitFor();
    const status = view.getByRole('status');
    await waitFor(async () => (await status.textContent())?.startsWith(kNoEarlierStart), 'the empty state');
    assert.equal(await view.getByRole('combobox', { name: 'Compare with:' }).count(), 0);
    assert.equal(await view.getByRole('heading', { name: 'Tides' }).count(), 1);
    // The keys scroll the changes at once.
    const changes = view.getByRole('region', { name: 'Changes', exact: true });
    assert.ok(await changes.evaluate((el) => el === document.activeElement), 'the changes have the focus');
    await view.getByRole('button', { name: 'Close' }).click();
    await view.waitFor({ state: 'detached' });
  });

  test('shows the words that changed in the page and its frame, from the Updated Pages dialog, and the HTML behind a toggle', async () => {
    web.set('/tides', tidePage('<p>High water at 06:45 and 19:02.</p>'));
    web.set('/tides/frame', '<p>Wind from the north, force 4.</p>');
    await checkAndWait(backend, web, ['/tides']);

    const updated = dialog(page, 'Updated Pages - Tidewell');
    await updated.waitFor({ timeout: 15000 });
    await updated.getByRole('listitem').filter({ hasText: 'Tides' }).getByRole('button', { name: 'Show Changes' }).click();
    const view = dialog(page, kTitle);
    await view.waitFor();

    const pageDoc = view.getByRole('region', { name: 'Page' });
    await pageDoc.getByRole('deletion').first().waitFor();
    assert.deepEqual(await marked(pageDoc, 'deletion'), ['[removed: 06:10]', '[removed: 18:32.]']);
    assert.deepEqual(await marked(pageDoc, 'insertion'), ['[added: 06:45]', '[added: 19:02.]']);
    const text = await pageDoc.locator('.diff-text').textContent();
    assert.ok(text.includes('Tide table'), text);
    assert.ok(!/color: teal|var x/.test(text), 'no styles or scripts in the text');

    const frame = view.getByRole('region', { name: 'Frame 1' });
    assert.deepEqual(await marked(frame, 'deletion'), ['[removed: west,]']);
    assert.deepEqual(await marked(frame, 'insertion'), ['[added: north,]']);

    // The raw HTML only on request.
    const htmlToggle = view.getByRole('checkbox', { name: 'Show the HTML changes' });
    assert.equal(await view.getByRole('group', { name: 'HTML changes of the page' }).count(), 0);
    await htmlToggle.check();
    const html = view.getByRole('group', { name: 'HTML changes of the page' });
    const lines = await html.textContent();
    assert.match(lines, /^-.*06:10/m);
    assert.match(lines, /^\+.*06:45/m);
    assert.match(lines, /^@@ /m);

    // Closing the view goes back to the Updated Pages dialog.
    await view.getByRole('button', { name: 'Close' }).click();
    await view.waitFor({ state: 'detached' });
    assert.ok(await updated.isVisible());
    await updated.getByRole('button', { name: 'Close' }).click();
  });

  test('lists the kept versions newest first and compares with the one chosen', async () => {
    web.set('/tides', tidePage('<p>High water at 07:20 and 19:02.</p>'));
    await checkAndWait(backend, web, ['/tides']);
    await dismissUpdatedPages();

    await menuCommand(page, 'Tides', 'Show Changes');
    const view = dialog(page, kTitle);
    const picker = view.getByRole('combobox', { name: 'Compare with:' });
    await picker.waitFor();
    const versions = (await backend.api('pages.versions', { title: 'Tides' })).versions;
    assert.equal(versions.length, 2);
    const options = picker.getByRole('option');
    assert.equal(await options.count(), 2);
    assert.equal(await picker.inputValue(), String(versions[0].id), 'the newest first and chosen');
    const pageDoc = view.getByRole('region', { name: 'Page' });
    await waitFor(async () => (await marked(pageDoc, 'insertion')).join() === '[added: 07:20]', 'the diff with the newest');
    assert.deepEqual(await marked(pageDoc, 'deletion'), ['[removed: 06:45]']);
    // The frame did not change since then.
    assert.equal(await view.getByRole('region', { name: 'Frame 1' }).getByRole('insertion').count(), 0);

    await picker.selectOption(String(versions[1].id));
    await waitFor(async () => (await marked(pageDoc, 'deletion')).length === 2, 'the diff with the oldest');
    assert.deepEqual(await marked(pageDoc, 'deletion'), ['[removed: 06:10]', '[removed: 18:32.]']);
    assert.deepEqual(await marked(pageDoc, 'insertion'), ['[added: 07:20]', '[added: 19:02.]']);

    // A change found while the view is open adds its version to the list; the choice stays.
    web.set('/tides', tidePage('<p>High water at 07:55 and 19:02.</p>'));
    await checkAndWait(backend, web, ['/tides']);
    await waitFor(async () => (await options.count()) === 3, 'the new version listed');
    assert.equal(await picker.inputValue(), String(versions[1].id));
    // The list may show the new version a moment before the diff with the page as it is now.
    await waitFor(
      async () => (await marked(pageDoc, 'insertion')).join() === '[added: 07:55],[added: 19:02.]',
      'the diff with the page now',
    );
  });

  test('shortens long unchanged text beside a change until the whole text is asked for', async () => {
    const sentences = Array.from({ length: 40 }, (_, i) => `Entry ${i} of the almanac stays as it was.`);
    const almanac = (moon) => `<p>${sentences.join(' ')} The moon is ${moon} tonight. ${sentences.join(' ')}</p>`;
    web.set('/almanac', almanac('waxing'));
    await backend.addElsewhere(web.url('/almanac'), 'Almanac');
    await pageItem(page, 'Almanac').waitFor();
    await checkAndWait(backend, web, ['/almanac']);
    web.set('/almanac', almanac('full'));
    await checkAndWait(backend, web, ['/almanac']);
    await dismissUpdatedPages();

    // From the task pane of the selected page.
    await pageItem(page, 'Almanac').click();
    await page.getByRole('complementary', { name: 'Task pane' }).getByRole('button', { name: 'See what changed' }).click();
    const view = dialog(page, kTitle);
    const text = view.getByRole('region', { name: 'Page' }).locator('.diff-text');
    await text.waitFor();
    const short = await text.textContent();
    assert.match(short, /The moon is \[removed: waxing\] \[added: full\] tonight\./);
    assert.ok(short.includes('…'), short);
    assert.ok(!short.includes('Entry 10 of'), 'the text far from the change is left out');
    assert.ok(short.length < 1000, `${short.length} characters`);

    await view.getByRole('checkbox', { name: 'Show the whole text' }).check();
    const whole = await text.textContent();
    assert.ok(!whole.includes('…'));
    for (const sentence of [sentences[0], sentences[10], sentences[39]]) assert.ok(whole.includes(sentence), sentence);
  });

  test('a window opened for one page\'s changes, as the desktop notification\'s Show Changes opens it, shows them first', async () => {
    const opened = await browser.context.newPage();
    try {
      await opened.goto(`${backend.openUrl}&changes=${encodeURIComponent('Almanac')}`);
      const view = dialog(opened, kTitle);
      await view.waitFor();
      assert.equal(await view.getByRole('heading', { name: 'Almanac' }).count(), 1);
      const text = view.getByRole('region', { name: 'Page' }).locator('.diff-text');
      await text.waitFor();
      assert.match(await text.textContent(), /The moon is \[removed: waxing\] \[added: full\] tonight\./);
      // The address keeps neither the secret nor the page: a reload shows the page list alone.
      assert.equal(new URL(opened.url()).search, '');
      await view.getByRole('button', { name: 'Close' }).click();
      await view.waitFor({ state: 'detached' });
      await pageItem(opened, 'Almanac').waitFor();
    } finally {
      await opened.close();
    }
  });
});
