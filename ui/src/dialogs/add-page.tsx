// The Add Page dialog, in its three modes: plain, the browser's current page, a Smart History
// proposal. The service checks the address and the title; a refusal keeps the dialog open with
// the focus on the field at fault.
import { useEffect, useRef, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { AddMode } from '../api/types';
import type { Controller } from '../controller';
import { Checkbox, OkCancel, TextField, focusField } from '../ui/fields';
import { Dialog } from '../ui/modals';

export const kMaxAddressLength = 2084;

const kTitles: Record<AddMode, string> = {
  plain: 'Add Page - Tidewell',
  currentPage: 'Add Current Page - Tidewell',
  smartHistory: 'Smart History Add Page - Tidewell',
};
const kPlainNote = 'Enter the title and address for the page that you would like to add.';
const kCurrentNote =
  'Edit the title and address for the currently loaded page in your web browser, before adding.';

export interface AddPageOptions {
  mode: AddMode;
  title?: string;
  address?: string;
  // The service's own window title and text for the mode, where it gives them.
  caption?: string;
  note?: string;
  // The field to start in: the one a refusal was about.
  focus?: string;
}

// Resolves true when a page was handed to the service, false on Cancel.
export function openAddPage(c: Controller, options: AddPageOptions): Promise<boolean> {
  return c.modals.open<boolean>((close) => <AddPageDialog c={c} options={options} close={close} />);
}

function AddPageDialog({ c, options, close }: { c: Controller; options: AddPageOptions; close: (added: boolean) => void }) {
  const [title, setTitle] = useState(options.title ?? '');
  const [address, setAddress] = useState(options.address ?? '');
  const [doNotAsk, setDoNotAsk] = useState(false);
  const [busy, setBusy] = useState(false);
  const form = useRef<HTMLFormElement>(null);
  useEffect(() => focusField(form.current, options.focus), []);

  const submit = async (e: Event) => {
    e.preventDefault();
    if (busy) return;
    setBusy(true);
    try {
      await c.addPage(title, address, options.mode, options.mode === 'currentPage' ? doNotAsk : undefined);
      close(true);
    } catch (error) {
      setBusy(false);
      await c.report(error, 'An error occurred while adding the page.');
      if (error instanceof ApiError) focusField(form.current, error.body.field ?? 'address');
    }
  };

  return (
    <Dialog title={options.caption ?? kTitles[options.mode]} class="add-page" onCancel={() => close(false)}>
      <form ref={form} noValidate onSubmit={submit}>
        <p class="note">{options.note ?? (options.mode === 'currentPage' ? kCurrentNote : kPlainNote)}</p>
        <TextField label="&Title:" name="title" value={title} onInput={setTitle} maxLength={c.maxTitleLength} autoFocus />
        <TextField
          label="&Address:"
          name="address"
          value={address}
          onInput={setAddress}
          maxLength={kMaxAddressLength}
          autoComplete="url"
        />
        {options.mode === 'currentPage' && (
          <Checkbox label="&Do not show this window again" checked={doNotAsk} onChange={setDoNotAsk} />
        )}
        <OkCancel okDisabled={busy} onCancel={() => close(false)} />
      </form>
    </Dialog>
  );
}
