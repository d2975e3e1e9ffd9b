// The Properties dialog of one page: title and address, its state, and behind "Advanced" its
// Smart Update and header settings. The service checks the values and writes the page.
import { useRef, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { Page } from '../api/types';
import type { Controller } from '../controller';
import { formatTime } from '../model/format';
import { kError, kUpdated, msg } from '../strings';
import { Button, Checkbox, Group, InfoRow, NumberField, OkCancel, TextField, focusField } from '../ui/fields';
import { Dialog } from '../ui/modals';
import { kMaxAddressLength } from './add-page';

const kAdvancedFields = new Set(['checkCount', 'waitMinutes']);

export function openProperties(c: Controller, page: Page): Promise<boolean> {
  return c.modals.open<boolean>((close) => <PropertiesDialog c={c} page={page} close={close} />);
}

export function statusText(page: Page): string {
  if (page.error) return `${kError}: ${page.error.text}`;
  return page.updated ? kUpdated : '';
}

function PropertiesDialog({ c, page, close }: { c: Controller; page: Page; close: (changed: boolean) => void }) {
  const [title, setTitle] = useState(page.title);
  const [address, setAddress] = useState(page.address);
  const [advanced, setAdvanced] = useState(false);
  const [smartUpdate, setSmartUpdate] = useState(page.smartUpdate);
  const [checkCount, setCheckCount] = useState(String(page.checkCount));
  const [waitMinutes, setWaitMinutes] = useState(String(Math.floor(page.waitSeconds / 60)));
  const [ignoreLastModified, setIgnoreLastModified] = useState(page.ignoreLastModified);
  const [ignoreExpires, setIgnoreExpires] = useState(page.ignoreExpires);
  const [invalid, setInvalid] = useState<string | null>(null);
  const [busy, setBusy] = useState(false);
  const form = useRef<HTMLFormElement>(null);

  const submit = async (e: Event) => {
    e.preventDefault();
    if (busy) return;
    setBusy(true);
    try {
      await c.client.setProperties({
        title: page.title,
        newTitle: title,
        address,
        smartUpdate,
        checkCount: toNumber(checkCount),
        waitMinutes: toNumber(waitMinutes),
        ignoreLastModified,
        ignoreExpires,
      });
      if (c.selected === page.title) c.select(title);
      close(true);
    } catch (error) {
      setBusy(false);
      const reported = error instanceof ApiError ? error.body.field : undefined;
      const field = reported === 'newTitle' ? 'title' : reported;
      if (field && kAdvancedFields.has(field)) setAdvanced(true);
      setInvalid(field ?? null);
      await c.report(error, msg.setPropertiesFailed);
      focusField(form.current, field);
    }
  };

  return (
    <Dialog title="Properties - Tidewell" class="properties" onCancel={() => close(false)}>
      <form ref={form} noValidate onSubmit={submit}>
        <TextField
          label="&Title:"
          name="title"
          value={title}
          onInput={setTitle}
          maxLength={c.maxTitleLength}
          autoFocus
          invalid={invalid === 'title'}
        />
        <TextField
          label="&Address:"
          name="address"
          value={address}
          onInput={setAddress}
          maxLength={kMaxAddressLength}
          invalid={invalid === 'address'}
        />
        <InfoRow label="Updated:" value={formatTime(page.updatedTime)} />
        <InfoRow label="Status:" value={statusText(page)} />
        <div class="advanced-toggle">
          <Button
            label={advanced ? '<< Ad&vanced' : 'Ad&vanced >>'}
            aria-expanded={advanced}
            aria-controls="properties-advanced"
            onClick={() => setAdvanced(!advanced)}
          />
        </div>
        <div id="properties-advanced" class="advanced" hidden={!advanced}>
          <Group legend="Smart Update">
            <Checkbox label="&Enable Smart Update" checked={smartUpdate} onChange={setSmartUpdate} />
            <NumberField
              label="&Check for Changes:"
              name="checkCount"
              value={checkCount}
              onInput={setCheckCount}
              min={0}
              max={20}
              disabled={!smartUpdate}
              invalid={invalid === 'checkCount'}
            />
            <NumberField
              label="Last Check &Wait Time:"
              name="waitMinutes"
              value={waitMinutes}
              onInput={setWaitMinutes}
              min={0}
              max={30}
              unit="Minutes"
              disabled={!smartUpdate}
              invalid={invalid === 'waitMinutes'}
            />
          </Group>
          <Group legend="Check Page">
            <InfoRow label="Last Modification:" value={formatTime(page.lastModified)} />
            <Checkbox
              label="Ignore &Last Modification Time"
              checked={ignoreLastModified}
              onChange={setIgnoreLastModified}
            />
            <InfoRow label="Expires:" value={formatTime(page.expires)} />
            <Checkbox label="Ignore &Page Expiration Time" checked={ignoreExpires} onChange={setIgnoreExpires} />
          </Group>
        </div>
        <OkCancel okDisabled={busy} onCancel={() => close(false)} />
      </form>
    </Dialog>
  );
}

// A field that is not a whole number goes to the service as NaN's stand-in, -1, which its
// range check refuses with the field's range.
export function toNumber(text: string): number {
  const trimmed = text.trim();
  return /^\d+$/.test(trimmed) ? Number(trimmed) : -1;
}
