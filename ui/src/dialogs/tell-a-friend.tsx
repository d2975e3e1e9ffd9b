// The Tell a Friend dialog: the friend, the sender and the mail format. The service checks the
// fields, remembers the sender and builds the recommendation address; a refusal keeps the dialog
// open with the focus on the field at fault. "Import" takes the friend from a vCard file the user
// picks, "Import MAPI" from the mail program's address book.
import type { ComponentProps } from 'preact';
import { useRef, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { Contact, FriendMessage, MailFormat } from '../api/types';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { Button, Group, OkCancel, Radio, TextField, focusField } from '../ui/fields';
import { Dialog } from '../ui/modals';
import { openContactPicker } from './contact-picker';

export const kTellAFriendTitle = 'Tell a Friend - Tidewell';
// Typed values; an imported address may be longer.
const kMaxFieldChars = 100;
const kMaxImportedAddressChars = 200;
// The service takes requests of up to 16 MiB.
const kMaxVCardBytes = 15 * 1024 * 1024;

export async function openTellAFriend(c: Controller): Promise<boolean> {
  let initial: FriendMessage;
  try {
    initial = await c.client.openTellAFriend();
  } catch (e) {
    await c.report(e);
    return false;
  }
  return c.modals.open<boolean>((close) => <TellAFriendDialog c={c} initial={initial} close={close} />);
}

// The text of a vCard file: UTF-8 as most programs write it, else the single-byte code page that
// older ones use (quoted-printable values name their own character set).
export async function readVCardText(file: File): Promise<string> {
  const bytes = new Uint8Array(await file.arrayBuffer());
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    return new TextDecoder('windows-1252').decode(bytes);
  }
}

function TellAFriendDialog({
  c,
  initial,
  close,
}: {
  c: Controller;
  initial: FriendMessage;
  close: (sent: boolean) => void;
}) {
  const [fields, setFields] = useState<FriendMessage>(initial);
  const [invalid, setInvalid] = useState<string | null>(null);
  const [busy, setBusy] = useState(false);
  const form = useRef<HTMLFormElement>(null);
  const filePicker = useRef<HTMLInputElement>(null);
  const set = (name: Exclude<keyof FriendMessage, 'format'>) => (value: string) => setFields((f) => ({ ...f, [name]: value }));
  const setFormat = (format: MailFormat) => setFields((f) => ({ ...f, format }));
  // A field of the message, marked when sending finds it wrong.
  const field = (label: string, name: Exclude<keyof FriendMessage, 'format'>, extra: Partial<ComponentProps<typeof TextField>>) => (
    <TextField
      label={label}
      name={name}
      value={fields[name]}
      onInput={set(name)}
      maxLength={kMaxFieldChars}
      invalid={invalid === name}
      {...extra}
    />
  );

  const takeContact = (contact: Contact | undefined) => {
    if (!contact) return;
    setFields((f) => ({
      ...f,
      toName: contact.name.slice(0, kMaxFieldChars),
      toAddress: contact.address.slice(0, kMaxImportedAddressChars),
    }));
    setInvalid(null);
  };

  // One import at a time; the buttons stay enabled so that the focus stays on them.
  const importing = useRef(false);
  const importVCard = async (file: File) => {
    if (importing.current) return;
    importing.current = true;
    try {
      // A file larger than the service takes is refused as unreadable, as the service would.
      if (file.size > kMaxVCardBytes) {
        await c.message({ text: msg.addressBookError, icon: 'error' });
        return;
      }
      const { contacts } = await c.client.importVCardText(await readVCardText(file));
      takeContact(contacts[0]);
    } catch (e) {
      await c.report(e, msg.addressBookError);
    } finally {
      importing.current = false;
    }
  };

  const importAddressBook = async () => {
    if (importing.current) return;
    importing.current = true;
    try {
      const { contacts } = await c.client.importAddressBook();
      takeContact(await openContactPicker(c, contacts));
    } catch (e) {
      await c.report(e, msg.addressBookError);
    } finally {
      importing.current = false;
    }
  };

  const submit = async (e: Event) => {
    e.preventDefault();
    if (busy) return;
    setBusy(true);
    try {
      const { address } = await c.client.sendTellAFriend(fields, false);
      await deliver(c, fields, address);
      close(true);
    } catch (error) {
      setBusy(false);
      const field = error instanceof ApiError ? error.body.field : undefined;
      setInvalid(field ?? null);
      await c.report(error);
      focusField(form.current, field);
    }
  };

  return (
    <Dialog title={kTellAFriendTitle} class="tell-a-friend" onCancel={() => close(false)}>
      <form ref={form} noValidate onSubmit={submit}>
        <p class="note">Recommend Tidewell to a friend. Your own name and address are remembered for the next time.</p>
        <Group legend="To">
          {field('&Name:', 'toName', { autoFocus: true })}
          {field('&Address:', 'toAddress', { maxLength: Math.max(kMaxFieldChars, fields.toAddress.length) })}
          <div class="import-row">
            <Button label="&Import" title="Take the friend from a vCard file (.vcf)" onClick={() => filePicker.current?.click()} />
            <Button
              label="Import &MAPI"
              title="Pick the friend from your Thunderbird address book"
              onClick={() => void importAddressBook()}
            />
            <input
              ref={filePicker}
              type="file"
              accept=".vcf,.vcard,text/vcard,text/x-vcard,text/directory"
              hidden
              tabIndex={-1}
              aria-hidden="true"
              onChange={(e) => {
                const input = e.target as HTMLInputElement;
                const file = input.files?.[0];
                input.value = '';
                if (file) void importVCard(file);
              }}
            />
          </div>
        </Group>
        <Group legend="From">
          {field('Nam&e:', 'fromName', { autoComplete: 'name' })}
          {field('A&ddress:', 'fromAddress', { autoComplete: 'email' })}
        </Group>
        <Group legend="Format" class="choices-row">
          <Radio label="&HTML" name="format" checked={fields.format === 'html'} onSelect={() => setFormat('html')} />
          <Radio label="&Plain Text" name="format" checked={fields.format === 'plainText'} onSelect={() => setFormat('plainText')} />
        </Group>
        <OkCancel okDisabled={busy} onCancel={() => close(false)} />
      </form>
    </Dialog>
  );
}

// Opens the recommendation: a web address in a new tab (in the side panel, the browser's tab); a
// mail message in the user's mail program, which the service starts on this machine.
async function deliver(c: Controller, message: FriendMessage, address: string) {
  if (/^https?:/i.test(address) || c.setting !== 'host') {
    if (!(await c.host.openAddress(address))) throw new ApiError({ code: 'browser-failed', message: msg.browserError, icon: 'error' });
    return;
  }
  await c.client.sendTellAFriend(message, true);
}
