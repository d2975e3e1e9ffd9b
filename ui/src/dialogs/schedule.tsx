// "Schedule - Tidewell": when the offline check (`tidewell /r`) runs by itself, while no
// Tidewell runs: daily, every few hours, on chosen weekdays, or at log-on.
import { useEffect, useRef, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { OfflineSchedule, Weekday } from '../api/types';
import type { Controller } from '../controller';
import { Checkbox, NumberField, OkCancel, focusField } from '../ui/fields';
import { Mn, accessKey } from '../ui/mnemonic';
import { Dialog } from '../ui/modals';
import { toNumber } from './properties';

const kDays: [Weekday, string][] = [
  ['mon', 'Monday'],
  ['tue', 'Tuesday'],
  ['wed', 'Wednesday'],
  ['thu', 'Thursday'],
  ['fri', 'Friday'],
  ['sat', 'Saturday'],
  ['sun', 'Sunday'],
];

interface Form {
  enabled: boolean;
  repeat: OfflineSchedule['repeat'];
  at: string;
  everyHours: string;
  days: Weekday[];
}

// Opening the dialog with no schedule yet is how one is made, so it starts switched on.
function readForm(s: OfflineSchedule | null): Form {
  return {
    enabled: true,
    repeat: s?.repeat ?? 'daily',
    at: s?.at ?? '09:00',
    everyHours: String(s?.everyHours ?? 1),
    days: s?.days ?? ['mon'],
  };
}

function writeSchedule(f: Form): OfflineSchedule | null {
  if (!f.enabled) return null;
  switch (f.repeat) {
    case 'logon':
      return { repeat: 'logon' };
    case 'hourly':
      return { repeat: 'hourly', everyHours: toNumber(f.everyHours), at: f.at };
    case 'weekly':
      return { repeat: 'weekly', days: f.days, at: f.at };
    default:
      return { repeat: 'daily', at: f.at };
  }
}

export function openSchedule(c: Controller): Promise<boolean> {
  return c.modals.open<boolean>((close) => <ScheduleDialog c={c} close={close} />);
}

function ScheduleDialog({ c, close }: { c: Controller; close: (saved: boolean) => void }) {
  const [form, setForm] = useState<Form | null>(null);
  const [busy, setBusy] = useState(false);
  const root = useRef<HTMLFormElement>(null);

  useEffect(() => {
    c.client
      .getSchedule()
      .then((info) => setForm(readForm(info.schedule)))
      .catch(async (e) => {
        await c.report(e);
        close(false);
      });
  }, []);

  const set = (change: Partial<Form>) => setForm({ ...form!, ...change });
  const submit = async (e: Event) => {
    e.preventDefault();
    if (!form || busy) return;
    setBusy(true);
    try {
      await c.client.setSchedule(writeSchedule(form));
      close(true);
    } catch (error) {
      setBusy(false);
      await c.report(error);
      focusField(root.current, error instanceof ApiError ? error.body.field : undefined);
    }
  };
  const off = !form?.enabled;

  return (
    <Dialog title="Schedule - Tidewell" class="schedule" onCancel={() => close(false)}>
      <form ref={root} noValidate onSubmit={submit}>
        {!form ? (
          <div class="loading">Loading...</div>
        ) : (
          <div class="page">
            <p class="note">Tidewell checks your pages at these times also when it is not running.</p>
            <Checkbox label="&Check pages on a schedule" checked={form.enabled} onChange={(v) => set({ enabled: v })} />
            <div class="field">
              <label for="schedule-repeat">
                <Mn label="&Run:" />
              </label>
              <select
                id="schedule-repeat"
                name="repeat"
                accessKey={accessKey('&Run:')}
                disabled={off}
                value={form.repeat}
                onChange={(e) => set({ repeat: (e.target as HTMLSelectElement).value as Form['repeat'] })}
              >
                <option value="daily">Daily</option>
                <option value="hourly">Hourly</option>
                <option value="weekly">Weekly</option>
                <option value="logon">At log on</option>
              </select>
            </div>
            {form.repeat === 'hourly' && (
              <NumberField
                label="&Every:"
                name="everyHours"
                value={form.everyHours}
                min={1}
                max={23}
                unit="Hours"
                disabled={off}
                onInput={(v) => set({ everyHours: v })}
              />
            )}
            {form.repeat !== 'logon' && (
              <div class="field">
                <label for="schedule-at">
                  <Mn label={form.repeat === 'hourly' ? '&First at:' : '&At:'} />
                </label>
                <input
                  id="schedule-at"
                  name="at"
                  type="time"
                  accessKey={accessKey('&At:')}
                  disabled={off}
                  value={form.at}
                  onInput={(e) => set({ at: (e.target as HTMLInputElement).value })}
                />
              </div>
            )}
            {form.repeat === 'weekly' && (
              <fieldset class="group days" name="days" disabled={off}>
                <legend>On these days</legend>
                {kDays.map(([day, name]) => (
                  <Checkbox
                    key={day}
                    label={name}
                    checked={form.days.includes(day)}
                    onChange={(v) => set({ days: v ? [...form.days, day] : form.days.filter((d) => d !== day) })}
                  />
                ))}
              </fieldset>
            )}
          </div>
        )}
        <OkCancel okDisabled={!form || busy} onCancel={() => close(false)} />
      </form>
    </Dialog>
  );
}
