// Helpers for driving the UI as a person does: by role and accessible name.
import assert from 'node:assert/strict';

export const kWaitMs = 10000;

// Polls until `probe` returns a truthy value (and returns it), or fails with `what`.
export async function waitFor(probe, what = 'condition', timeout = kWaitMs) {
  const end = Date.now() + timeout;
  let last;
  for (;;) {
    try {
      last = await probe();
      if (last) return last;
    } catch (e) {
      last = e;
    }
    if (Date.now() > end) throw new Error(`timed out waiting for ${what} (last: ${last})`);
    await new Promise((r) => setTimeout(r, 40));
  }
}

export async function openUi(browser, backend, { width = 1100, height = 720 } = {}) {
  const page = await browser.context.newPage();
  await page.setViewportSize({ width, height });
  await page.goto(backend.openUrl);
  await page.getByRole('listbox', { name: 'Pages' }).waitFor();
  return page;
}

export const pageItem = (page, title) => page.getByRole('listbox', { name: 'Pages' }).getByRole('option', { name: title, exact: true });
export const dialog = (page, name) => page.getByRole('dialog', { name, exact: true });
export const messageBox = (page) => page.getByRole('alertdialog', { name: 'Tidewell' });

// The titles in the list, in display order.
export async function listedTitles(page) {
  return page.getByRole('listbox', { name: 'Pages' }).getByRole('option').evaluateAll((items) =>
    items
      .map((el) => ({ title: el.getAttribute('aria-label'), at: Number(el.getAttribute('aria-posinset')) }))
      .sort((a, b) => a.at - b.at)
      .map((x) => x.title),
  );
}

// Checks the message box's exact text and icon, presses its button, and waits for it to go.
export async function answerMessage(page, { text, icon, button = 'OK' }) {
  const box = messageBox(page);
  await box.waitFor();
  const shown = await box.locator('.box-text').textContent();
  assert.equal(shown, text.replace(/\r\n/g, '\n'));
  if (icon) assert.equal(await box.getByRole('img').getAttribute('aria-label'), icon);
  else assert.equal(await box.getByRole('img').count(), 0, 'a message box without icon');
  await box.getByRole('button', { name: button, exact: true }).click();
  await box.waitFor({ state: 'detached' });
  await focusReturned(page);
}

// Focus goes back to where it was in the frame after a dialog closes; a key pressed before that
// would reach nothing a person could have reached.
export async function focusReturned(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

export async function addPageThroughDialog(page, title, address) {
  await page.getByRole('toolbar').getByRole('button', { name: 'Add Page' }).click();
  const add = dialog(page, 'Add Page - Tidewell');
  await add.getByLabel('Title:').fill(title);
  await add.getByLabel('Address:').fill(address);
  await add.getByRole('button', { name: 'OK' }).click();
  return add;
}

// Opens the item menu of a page and closes it again with Escape, which leaves the page selected
// and the list focused. Each step waits for the menu, as a person sees it come and go.
export async function selectThroughItemMenu(page, title) {
  await pageItem(page, title).click({ button: 'right' });
  const menu = page.getByRole('menu');
  await menu.waitFor();
  await page.keyboard.press('Escape');
  await menu.waitFor({ state: 'detached' });
}

export async function menuCommand(page, title, command) {
  await pageItem(page, title).click({ button: 'right' });
  await page.getByRole('menu').getByRole('menuitem', { name: command, exact: true }).click();
}

// Closes whatever a failed test left open, so that the next test starts from the main window.
export async function closeAll(page) {
  for (let i = 0; i < 6; i++) {
    const open = await page.locator('[role="dialog"], [role="alertdialog"], [role="menu"]').count();
    if (!open) return;
    await page.keyboard.press('Escape');
    await page.waitForTimeout(50);
  }
}

// F5 as a user presses it: once the window offers Refresh again. While the window still shows a
// check running, F5 stops it instead, and the service may have ended a pass before the window
// has heard so.
export async function pressRefresh(page) {
  await page.getByRole('toolbar').getByRole('button', { name: 'Refresh' }).waitFor();
  await page.keyboard.press('F5');
}

// Runs one check pass through the service and waits until it has fetched each of `paths` and
// ended, whatever else it checks.
export async function checkAndWait(backend, web, paths) {
  await waitFor(async () => !(await backend.api('checking.state')).running, 'no check', 20000);
  const seen = paths.map((p) => web.hits(p));
  await backend.api('checking.refresh');
  await waitFor(async () => paths.every((p, i) => web.hits(p) > seen[i]), `${paths} fetched`, 20000);
  await waitFor(async () => !(await backend.api('checking.state')).running, 'the check to end', 20000);
}
