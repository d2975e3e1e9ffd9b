// The options sheet, page by page, and the Page Setup Wizard: what is shown is what is stored.
import assert from 'node:assert/strict';
import { after, afterEach, before, describe, test } from 'node:test';
import { startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import { answerMessage, closeAll, dialog, openUi, waitFor } from './support/ui.mjs';

let backend;
let browser;
let page;

before(async () => {
  backend = await startBackend();
  browser = await launchBrowser();
  page = await openUi(browser, backend);
});
afterEach(() => closeAll(page));
after(async () => {
  await browser?.close();
  await backend?.stop();
});

const stored = async () => (await backend.api('settings.get', { setting: 'host' })).values;

async function openOptions(tab) {
  await page.getByRole('toolbar').getByRole('button', { name: 'Options' }).click();
  const sheet = dialog(page, 'Options - Tidewell');
  await sheet.getByRole('tab', { name: 'General' }).waitFor();
  if (tab) await sheet.getByRole('tab', { name: tab }).click();
  return sheet;
}

async function ok(sheet) {
  await sheet.getByRole('button', { name: 'OK' }).click();
  await sheet.waitFor({ state: 'detached' });
}

describe('the options sheet', () => {
  test('has its five pages in order, and Cancel changes nothing', async () => {
    const sheet = await openOptions();
    const tabs = await sheet.getByRole('tab').allTextContents();
    assert.deepEqual(tabs, ['General', 'Schedule', 'Smart Update', 'Smart History', 'Advanced']);
    await sheet.getByLabel('Allow Tidewell to run in the background').uncheck();
    const before = await stored();
    await sheet.getByRole('button', { name: 'Cancel' }).click();
    await sheet.waitFor({ state: 'detached' });
    assert.deepEqual(await stored(), before);
  });

  test('General: the boxes are stored, and the re-notify box follows the notify box', async () => {
    let sheet = await openOptions();
    await sheet.getByLabel('Allow Tidewell to run in the background').uncheck();
    await sheet.getByLabel('Add Current Page confirmation').uncheck();
    await sheet.getByLabel('Notify me when a page is updated').uncheck();
    assert.equal(await sheet.getByLabel('Notify me each time pages are changed.').isDisabled(), true);
    await sheet.getByLabel('Show Tasks').uncheck();
    await ok(sheet);
    const values = await stored();
    assert.deepEqual([values.RunBkg, values.ConfirmAC, values.PageNotify, values.TaskPad].map(Number), [0, 0, 0, 0]);
    // Without the task pane the window shows the list alone.
    await page.getByRole('complementary', { name: 'Task pane' }).waitFor({ state: 'detached' });

    sheet = await openOptions();
    assert.equal(await sheet.getByLabel('Allow Tidewell to run in the background').isChecked(), false);
    await sheet.getByLabel('Show Tasks').check();
    await sheet.getByLabel('Notify me when a page is updated').check();
    await ok(sheet);
    await page.getByRole('complementary', { name: 'Task pane' }).waitFor();
  });

  test('Schedule: None stores 0 and 0; every 3 hours stores 2 and 3', async () => {
    let sheet = await openOptions('Schedule');
    await sheet.getByRole('radio', { name: 'Every', description: 'Minutes' }).check();
    await sheet.getByLabel('Minutes').fill('15');
    await ok(sheet);
    let values = await stored();
    assert.deepEqual([Number(values.Interval), Number(values.IntervalValue)], [1, 15]);

    sheet = await openOptions('Schedule');
    assert.equal(await sheet.getByLabel('Minutes').inputValue(), '15');
    await sheet.getByRole('radio', { name: 'Every', description: 'Hours' }).check();
    await sheet.getByLabel('Hours').fill('3');
    await ok(sheet);
    values = await stored();
    assert.deepEqual([Number(values.Interval), Number(values.IntervalValue)], [2, 3]);

    sheet = await openOptions('Schedule');
    await sheet.getByLabel('None').check();
    await ok(sheet);
    values = await stored();
    assert.deepEqual([Number(values.Interval), Number(values.IntervalValue)], [0, 0]);
  });

  test('Schedule...: the offline schedule is made, refused out of range, and removed', async () => {
    const sheet = await openOptions('Schedule');
    await sheet.getByText('To setup the schedule, click on the schedule button.').waitFor();
    await sheet.getByRole('button', { name: 'Schedule...' }).click();
    const schedule = dialog(page, 'Schedule - Tidewell');
    await schedule.getByLabel('Run:').selectOption({ label: 'Hourly' });
    await schedule.getByLabel('Every:').fill('24');
    await schedule.getByLabel('First at:').fill('08:00');
    await schedule.getByRole('button', { name: 'OK' }).click();
    await answerMessage(page, { text: 'Please enter a value between 1 and 23.', icon: 'Information' });
    await schedule.getByLabel('Every:').fill('3');
    await schedule.getByRole('button', { name: 'OK' }).click();
    await schedule.waitFor({ state: 'detached' });
    await sheet.getByText('Next run time:', { exact: false }).waitFor();
    assert.deepEqual((await backend.api('schedule.get')).schedule, { repeat: 'hourly', everyHours: 3, at: '08:00' });

    await sheet.getByRole('button', { name: 'Schedule...' }).click();
    assert.equal(await schedule.getByLabel('Every:').inputValue(), '3');
    await schedule.getByLabel('Check pages on a schedule').uncheck();
    await schedule.getByRole('button', { name: 'OK' }).click();
    await schedule.waitFor({ state: 'detached' });
    await sheet.getByText('To setup the schedule, click on the schedule button.').waitFor();
    assert.equal((await backend.api('schedule.get')).schedule, null);
    await sheet.getByRole('button', { name: 'Cancel' }).click();
  });

  test('Smart Update: the wait is stored in seconds; a wait of 31 keeps the focus without a message', async () => {
    let sheet = await openOptions('Smart Update');
    await sheet.getByLabel('Check for Changes:').fill('4');
    await sheet.getByLabel('Last Check Wait Time:').fill('31');
    await sheet.getByRole('button', { name: 'OK' }).click();
    await waitFor(() => sheet.getByLabel('Last Check Wait Time:').evaluate((el) => el === document.activeElement), 'focus on the wait');
    assert.equal(await page.getByRole('alertdialog').count(), 0);
    // Nor can the page be left.
    await sheet.getByRole('tab', { name: 'Advanced' }).click();
    assert.equal(await sheet.getByRole('tab', { name: 'Smart Update' }).getAttribute('aria-selected'), 'true');
    await sheet.getByLabel('Last Check Wait Time:').fill('2');
    await ok(sheet);
    const values = await stored();
    assert.deepEqual([Number(values.Noc), Number(values.CheckWait)], [4, 120]);

    sheet = await openOptions('Smart Update');
    assert.equal(await sheet.getByLabel('Last Check Wait Time:').inputValue(), '2');
    await sheet.getByLabel('Enable Smart Update').uncheck();
    assert.equal(await sheet.getByLabel('Check for Changes:').isDisabled(), true);
    await ok(sheet);
    assert.equal(Number((await stored()).EnableSmartUpdate), 0);
  });

  test('Smart History: the three choices, and Reset asks first', async () => {
    let sheet = await openOptions('Smart History');
    assert.equal(await sheet.getByLabel('Detect Smart History pages').isChecked(), true);
    await sheet.getByLabel('Do not notify me about Smart History pages').check();
    await sheet.getByRole('button', { name: 'Reset...' }).click();
    await answerMessage(page, {
      text: 'Are you sure you want to reset Smart History?\r\n This may cause Smart History to process pages that you do not want.',
      icon: 'Question',
      button: 'No',
    });
    await ok(sheet);
    assert.equal(Number((await stored()).AutoSH), 2);
    sheet = await openOptions('Smart History');
    assert.equal(await sheet.getByLabel('Do not notify me about Smart History pages').isChecked(), true);
    await sheet.getByRole('button', { name: 'Cancel' }).click();
  });

  test('Advanced: a time-out of 301 is refused with the range message; 0 is taken', async () => {
    const sheet = await openOptions('Advanced');
    await sheet.getByLabel('Timeout:').fill('301');
    await sheet.getByRole('button', { name: 'OK' }).click();
    await answerMessage(page, { text: 'Please enter a value between 0 and 300.', icon: 'Information' });
    await waitFor(() => sheet.getByLabel('Timeout:').evaluate((el) => el === document.activeElement), 'focus on the time-out');
    await sheet.getByLabel('Timeout:').fill('0');
    await sheet.getByLabel('Ignore Last Modification Time').check();
    await sheet.getByLabel('Threads:').fill('12');
    assert.equal(await sheet.locator('output[for="options-threads"]').textContent(), '12');
    await ok(sheet);
    const values = await stored();
    assert.deepEqual([values.Timeout, values.IgnoreLastMod, values.Threads].map(Number), [0, 1, 12]);
  });

  test('Advanced: Browse picks the page folder in "Select Page Location"', async () => {
    const sheet = await openOptions('Advanced');
    const folder = await sheet.getByLabel('Directory:').inputValue();
    assert.ok(folder.endsWith('My Tidewell') || folder.length > 0);
    await sheet.getByRole('button', { name: 'Browse...' }).click();
    const picker = dialog(page, 'Select Page Location');
    await picker.getByRole('listbox', { name: 'Folders' }).waitFor();
    // From the page folder up to the home folder, where Documents is.
    await picker.getByRole('button', { name: 'Up' }).click();
    await waitFor(async () => (await picker.locator('.path-text').textContent()).endsWith('/Documents'), 'Documents');
    await picker.getByRole('button', { name: 'Up' }).click();
    await picker.getByRole('option', { name: 'Documents' }).waitFor();
    await picker.getByRole('option', { name: 'Documents' }).click();
    await picker.getByRole('button', { name: 'OK' }).click();
    await picker.waitFor({ state: 'detached' });
    assert.equal(await sheet.getByLabel('Directory:').inputValue(), `${backend.home}/Documents`);
    await sheet.getByRole('button', { name: 'Cancel' }).click();
  });
});

describe('the Page Setup Wizard from the options', () => {
  test('with every No and the fastest line sets no learning and eight threads, and closes the options', async () => {
    const before = await stored();
    const sheet = await openOptions();
    await sheet.getByRole('button', { name: 'Page Setup Wizard...' }).click();
    const wizard = dialog(page, 'Page Setup Wizard - Tidewell');
    await wizard.getByRole('heading', { name: 'Welcome to the Page Setup Wizard' }).waitFor();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'Favorites' }).waitFor();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'Automatic Setup' }).waitFor();
    for (const question of [
      'Enable Smart Update? (Slower)',
      'Automatically add Smart History pages?',
      'Check for updates every hour?',
    ])
      await wizard.getByRole('radiogroup', { name: question }).getByLabel('No').check();
    await wizard.getByLabel('Internet Connection Speed').selectOption({ label: 'T1/T3/LAN (1500k+)' });
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'Smart History' }).waitFor();
    await wizard.getByRole('button', { name: 'Next >' }).click();
    await wizard.getByRole('heading', { name: 'Page Setup Wizard Done' }).waitFor();
    assert.equal(await wizard.getByLabel('Display online help, after you press finish.').isChecked(), true);
    await wizard.getByRole('button', { name: 'Finish' }).click();
    await wizard.waitFor({ state: 'detached' });
    await sheet.waitFor({ state: 'detached' });
    const values = await stored();
    assert.deepEqual([values.Noc, values.CheckWait, values.Threads].map(Number), [0, 0, 8]);
    assert.deepEqual(
      [values.AutoSH, values.Interval, values.IntervalValue].map(Number),
      [before.AutoSH, before.Interval, before.IntervalValue].map(Number),
    );
  });
});

describe('the first start', () => {
  test('runs the Page Setup Wizard once; its answers at a first start only turn things on', async () => {
    const fresh = await startBackend({ firstRun: true });
    try {
      const first = await openUi(browser, fresh);
      const wizard = dialog(first, 'Page Setup Wizard - Tidewell');
      await wizard.waitFor();
      const before = (await fresh.api('settings.get', { setting: 'host' })).values;
      for (let i = 0; i < 2; i++) await wizard.getByRole('button', { name: 'Next >' }).click();
      for (const question of ['Enable Smart Update? (Slower)', 'Automatically add Smart History pages?', 'Check for updates every hour?'])
        await wizard.getByRole('radiogroup', { name: question }).getByLabel('No').check();
      await wizard.getByLabel('Internet Connection Speed').selectOption({ label: 'ISDN (64k - 128k)' });
      for (let i = 0; i < 2; i++) await wizard.getByRole('button', { name: 'Next >' }).click();
      await wizard.getByLabel('Display online help, after you press finish.').uncheck();
      await wizard.getByRole('button', { name: 'Finish' }).click();
      await wizard.waitFor({ state: 'detached' });
      const values = (await fresh.api('settings.get', { setting: 'host' })).values;
      assert.equal(Number(values.Threads), 4);
      for (const name of ['Noc', 'CheckWait', 'AutoSH', 'Interval', 'IntervalValue', 'EnableSmartUpdate'])
        assert.equal(Number(values[name]), Number(before[name]), name);

      // A second window does not ask again.
      const second = await openUi(browser, fresh);
      await second.waitForTimeout(300);
      assert.equal(await dialog(second, 'Page Setup Wizard - Tidewell').count(), 0);
      await first.close();
      await second.close();
    } finally {
      await fresh.stop();
    }
  });
});
