// Tell a Friend as a user meets it: the dialog's rules and messages, the recommendation opened
// through a recommendation service on loopback or as a mail message through the desktop, the
// sender remembered, and the friend imported from a vCard file or the Thunderbird address book.
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, afterEach, before, describe, test } from 'node:test';
import { kBackendKind, startBackend } from './support/backend.mjs';
import { launchBrowser } from './support/browser.mjs';
import { fakeDesktopOpener, setRecommendationService, writeThunderbirdAddressBook } from './support/mail.mjs';
import { closeAll, dialog, messageBox, openUi, waitFor } from './support/ui.mjs';
import { startWebServer } from './support/web-server.mjs';

const kEnterValue = 'Please enter a value.';
const kMailAddressStart = 'E-Mail address has an incorrect format.';
const kAddressBookError = 'An error occurred while accessing the Address Book.';
const kBrowserError = 'An error occurred while communicating with the web browser.';
const kTitle = 'Tell a Friend - Tidewell';

let web;
let backend;
let browser;
let page;
let opener;
let files;

before(async () => {
  if (kBackendKind !== 'real') return;
  files = mkdtempSync(join(tmpdir(), 'tw-friend-'));
  web = await startWebServer();
  web.set('/recommend', '<p>Thank you, your friend will hear from us.</p>');
  backend = await startBackend({
    env: (home) => {
      opener = fakeDesktopOpener(home);
      return { PATH: `${opener.bin}:${process.env.PATH}` };
    },
  });
  browser = await launchBrowser();
  page = await openUi(browser, backend);
});
afterEach(() => page && closeAll(page));
after(async () => {
  await browser?.close();
  await backend?.stop();
  await web?.close();
  if (files) rmSync(files, { recursive: true, force: true });
});

const skip = kBackendKind !== 'real' && 'Tell a Friend needs tidewell serve';

async function openDialog() {
  await page.getByRole('toolbar').getByRole('button', { name: 'Tell a Friend' }).click();
  const box = dialog(page, kTitle);
  await box.waitFor();
  return box;
}

function fieldsOf(box) {
  const to = box.getByRole('group', { name: 'To' });
  const from = box.getByRole('group', { name: 'From' });
  return {
    toName: to.getByLabel('Name:', { exact: true }),
    toAddress: to.getByLabel('Address:', { exact: true }),
    fromName: from.getByLabel('Name:', { exact: true }),
    fromAddress: from.getByLabel('Address:', { exact: true }),
    html: box.getByRole('radio', { name: 'HTML' }),
    plainText: box.getByRole('radio', { name: 'Plain Text' }),
  };
}

async function fill(box, values) {
  const fields = fieldsOf(box);
  for (const [name, value] of Object.entries(values)) await fields[name].fill(value);
}

// The message box's text, its error icon, and where the focus goes once it is answered.
async function expectRefusal(box, { text, startsWith, focused }) {
  const shown = messageBox(page);
  await shown.waitFor();
  const said = await shown.locator('.box-text').textContent();
  if (text) assert.equal(said, text);
  if (startsWith) assert.ok(said.startsWith(startsWith), said);
  assert.equal(await shown.getByRole('img').getAttribute('aria-label'), 'Error');
  await shown.getByRole('button', { name: 'OK' }).click();
  await shown.waitFor({ state: 'detached' });
  await waitFor(() => fieldsOf(box)[focused].evaluate((el) => el === document.activeElement), `focus on ${focused}`);
  assert.equal(await fieldsOf(box)[focused].getAttribute('aria-invalid'), 'true');
}

describe('the Tell a Friend dialog', { skip }, () => {
  test('refuses empty fields in their order and malformed addresses, on the field at fault', async () => {
    const box = await openDialog();
    const fields = fieldsOf(box);
    assert.equal(await fields.html.isChecked(), true, 'the format starts as HTML');
    for (const name of ['toName', 'toAddress', 'fromName', 'fromAddress']) assert.equal(await fields[name].inputValue(), '');

    const ok = box.getByRole('button', { name: 'OK' });
    const steps = [
      [{}, 'toName'],
      [{ toName: 'Ann' }, 'toAddress'],
      [{ toAddress: 'ann@example.org' }, 'fromName'],
      [{ fromName: 'Carol' }, 'fromAddress'],
    ];
    for (const [values, focused] of steps) {
      await fill(box, values);
      await ok.click();
      await expectRefusal(box, { text: kEnterValue, focused });
    }
    // Six characters are too few; an address whose only "." is before the "@", or that ends with
    // its ".", is none.
    const addresses = [
      [{ toAddress: 'a@b.cd', fromAddress: 'carol@example.org' }, 'toAddress'],
      [{ toAddress: 'ann.b@example', fromAddress: 'carol@example.org' }, 'toAddress'],
      [{ toAddress: 'ab@c.de', fromAddress: 'carol@example.' }, 'fromAddress'],
    ];
    for (const [values, focused] of addresses) {
      await fill(box, values);
      await ok.click();
      await expectRefusal(box, { startsWith: kMailAddressStart, focused });
    }
    // Cancel leaves nothing behind: the sender was never accepted, so nothing is remembered.
    await box.getByRole('button', { name: 'Cancel' }).click();
    await box.waitFor({ state: 'detached' });
    const again = await openDialog();
    assert.equal(await fieldsOf(again).fromName.inputValue(), '');
    await page.keyboard.press('Escape');
    await again.waitFor({ state: 'detached' });
  });

  test('without a recommendation service, OK hands a mail message to the desktop, and says so when it cannot', async () => {
    const box = await openDialog();
    await fill(box, { toName: 'Ann', toAddress: 'ann@example.org', fromName: 'Carol', fromAddress: 'carol@example.org' });
    opener.failing(true);
    await box.getByRole('button', { name: 'OK' }).click();
    const shown = messageBox(page);
    await shown.waitFor({ timeout: 15000 });
    assert.equal(await shown.locator('.box-text').textContent(), kBrowserError);
    await shown.getByRole('button', { name: 'OK' }).click();
    assert.ok(await box.isVisible(), 'the dialog stays open');

    opener.failing(false);
    await box.getByRole('button', { name: 'OK' }).click();
    await box.waitFor({ state: 'detached', timeout: 15000 });
    const opened = opener.opened();
    assert.equal(opened.length, 1, 'opened once');
    const mail = new URL(opened[0]);
    assert.equal(mail.protocol, 'mailto:');
    assert.equal(decodeURIComponent(mail.pathname), 'ann@example.org');
    assert.match(decodeURIComponent(mail.searchParams.get('body') ?? opened[0]), /Carol/);
  });

  test('with a recommendation service, OK opens its address with every value encoded, and the sender is remembered', async () => {
    setRecommendationService(backend.env, web.url('/recommend?Source=tidewell'));
    const box = await openDialog();
    const fields = fieldsOf(box);
    // Remembered from the message of the test before.
    assert.equal(await fields.fromName.inputValue(), 'Carol');
    assert.equal(await fields.fromAddress.inputValue(), 'carol@example.org');
    await fill(box, { toName: 'Ann & Bob=1', toAddress: 'ann+news@example.org', fromName: 'Carol Côté', fromAddress: 'carol@example.org' });
    await fields.plainText.check();

    const tab = browser.context.waitForEvent('page');
    const asked = web.hits('/recommend');
    await box.getByRole('button', { name: 'OK' }).click();
    const opened = await tab;
    await box.waitFor({ state: 'detached' });
    await waitFor(() => web.hits('/recommend') > asked, 'the recommendation service to be asked');
    const query = new URLSearchParams(web.queries('/recommend').at(-1));
    assert.deepEqual(
      [...query.entries()],
      [
        ['Source', 'tidewell'],
        ['Count', '1'],
        ['EMF', '1'],
        ['FN', 'Carol Côté'],
        ['FA', 'carol@example.org'],
        ['TN0', 'Ann & Bob=1'],
        ['TA0', 'ann+news@example.org'],
      ],
    );
    await opened.close();
    await page.bringToFront();

    const again = await openDialog();
    const reopened = fieldsOf(again);
    assert.equal(await reopened.fromName.inputValue(), 'Carol Côté');
    assert.equal(await reopened.fromAddress.inputValue(), 'carol@example.org');
    assert.equal(await reopened.toName.inputValue(), '', 'the friend is not remembered');
    assert.equal(await reopened.html.isChecked(), true);
  });
});

describe('importing the friend', { skip }, () => {
  async function importFile(box, name, content) {
    const file = join(files, name);
    writeFileSync(file, content);
    const chooser = page.waitForEvent('filechooser');
    await box.getByRole('button', { name: 'Import', exact: true }).click();
    await (await chooser).setFiles(file);
  }

  test('Import takes the first contact with an e-mail address of a vCard file the user picks', async () => {
    const box = await openDialog();
    const fields = fieldsOf(box);
    await importFile(
      box,
      'friends.vcf',
      [
        'BEGIN:VCARD', 'VERSION:3.0', 'FN:No Mail', 'TEL:+44 1', 'END:VCARD',
        'BEGIN:VCARD', 'VERSION:2.1', 'N:;=C3=89lise;;;', 'FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=89lise Ma=',
        'rtin', 'EMAIL;INTERNET:elise@example.org', 'END:VCARD',
        'BEGIN:VCARD', 'VERSION:4.0', 'FN:Second Friend', 'EMAIL:second@example.org', 'END:VCARD', '',
      ].join('\r\n'),
    );
    await waitFor(async () => (await fields.toName.inputValue()) === 'Élise Martin', 'the first contact with an address');
    assert.equal(await fields.toAddress.inputValue(), 'elise@example.org');

    // A file an older program wrote in its single-byte code page.
    const latin1 = Buffer.from('BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë Brontë\r\nEMAIL:zoe@example.org\r\nEND:VCARD\r\n', 'latin1');
    await importFile(box, 'zoe.vcf', latin1);
    await waitFor(async () => (await fields.toName.inputValue()) === 'Zoë Brontë', 'the single-byte file read');

    // A file that is no vCard is refused and changes nothing.
    await importFile(box, 'notes.vcf', 'shopping: bread, milk\n');
    const shown = messageBox(page);
    await shown.waitFor();
    assert.equal(await shown.locator('.box-text').textContent(), kAddressBookError);
    await shown.getByRole('button', { name: 'OK' }).click();
    await shown.waitFor({ state: 'detached' });
    // The focus goes back to the button, where the keys of the dialog work again.
    const importButton = box.getByRole('button', { name: 'Import', exact: true });
    await waitFor(() => importButton.evaluate((el) => el === document.activeElement), 'the focus back on Import');
    assert.equal(await fields.toName.inputValue(), 'Zoë Brontë');
    assert.equal(await fields.toAddress.inputValue(), 'zoe@example.org');
  });

  test('Import MAPI offers the Thunderbird address book to pick from; Cancel changes nothing', async () => {
    const box = await openDialog();
    const fields = fieldsOf(box);
    const importMapi = box.getByRole('button', { name: 'Import MAPI' });

    // No Thunderbird on this machine.
    await importMapi.click();
    const shown = messageBox(page);
    await shown.waitFor();
    assert.equal(await shown.locator('.box-text').textContent(), kAddressBookError);
    await shown.getByRole('button', { name: 'OK' }).click();
    await shown.waitFor({ state: 'detached' });

    writeThunderbirdAddressBook(backend.home, [
      { uid: 'c1', properties: { DisplayName: 'Carol Example', PrimaryEmail: 'carol@example.org', SecondEmail: 'carol@work.example' } },
      { uid: 'c2', properties: { FirstName: 'Bea', LastName: 'Bright', PrimaryEmail: 'bea@example.org' } },
      { uid: 'c3', properties: { DisplayName: 'No Mail' } },
    ]);
    await fill(box, { toName: 'Typed', toAddress: 'typed@example.org' });
    await importMapi.click();
    const book = dialog(page, 'Address Book');
    await book.waitFor();
    const contacts = book.getByRole('listbox', { name: 'Contacts' }).getByRole('option');
    assert.deepEqual(await contacts.allTextContents(), [
      'Bea Brightbea@example.org',
      'Carol Examplecarol@example.org',
      'Carol Examplecarol@work.example',
    ]);
    await book.getByRole('button', { name: 'Cancel' }).click();
    await book.waitFor({ state: 'detached' });
    assert.equal(await messageBox(page).count(), 0, 'cancelling shows nothing');
    assert.equal(await fields.toName.inputValue(), 'Typed');

    await importMapi.click();
    await book.waitFor();
    await book.getByLabel('Find:').fill('work');
    assert.equal(await contacts.count(), 1);
    await page.keyboard.press('Enter');
    await book.waitFor({ state: 'detached' });
    assert.equal(await fields.toName.inputValue(), 'Carol Example');
    assert.equal(await fields.toAddress.inputValue(), 'carol@work.example');

    await importMapi.click();
    await book.waitFor();
    await contacts.filter({ hasText: 'Bea Bright' }).dblclick();
    await book.waitFor({ state: 'detached' });
    assert.equal(await fields.toName.inputValue(), 'Bea Bright');
    assert.equal(await fields.toAddress.inputValue(), 'bea@example.org');
  });
});
