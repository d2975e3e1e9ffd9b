// "Schedule - Tidewell": when the offline check runs (a systemd user timer, or a crontab line
// where there is none), with its Schedule and Settings pages.
import { useEffect, useState } from 'preact/hooks';
import type { OfflineSchedule } from '../api/types';
import type { Controller } from '../controller';
import { Button, Buttons, Checkbox, NumberField } from '../ui/fields';
import { Mn, accessKey } from '../ui/mnemonic';
import { Dialog } from '../ui/modals';
import { Tabs } from '../ui/tabs';
import { toNumber } from './properties';

const kDefault: OfflineSchedule = { enabled: true, every: 1, unit: 'hours', at: '09:00', catchUp: true };

export function openSchedule(c: Controller): Promise<boolean> {
  return c.modals.open<boolean>((close) => <ScheduleDialog c={c} close={close} />);
}

function ScheduleDialog({ c, close }: { c: Controller; close: (saved: boolean) => void }) {
  const [schedule, setSchedule] = useState<OfflineSchedule | null>(null);
  const [every, setEvery] = useState('1');
  const [tab, setTab] = useState(0);
  const [busy, setBusy] = useState(false);

  useEffect(() => {
    c.client
      .getSchedule()
      .then((info) => {
        const s = info.schedule ?? kDefault;
        setSchedule(s);
        setEvery(String(s.every));
      })
      .catch(async (e) => {
        await c.report(e);
        close(false);
      });
  }, []);

  const set = (change: Partial<OfflineSchedule>) => setSchedule({ ...schedule!, ...change });
  const submit = async (e: Event) => {
    e.preventDefault();
    if (!schedule || busy) return;
    setBusy(true);
    try {
      await c.client.setSchedule({ ...schedule, every: toNumber(every) });
      close(true);
    } catch (error) {
      setBusy(false);
      await c.report(error);
    }
  };

  return (
    <Dialog title="Schedule - Tidewell" class="schedule" onCancel={() => close(false)}>
      <form noValidate onSubmit={submit}>
        {!schedule ? (
          <div class="loading">Loading...</div>
        ) : (
          <Tabs names={['Schedule', 'Settings']} current={tab} onSelect={setTab}>
            {tab === 0 ? (
              <div class="page">
                <p class="note">Tidewell checks your pages at these times, also when its window is not open.</p>
                <Checkbox label="&Enabled" checked={schedule.enabled} onChange={(v) => set({ enabled: v })} />
                <NumberField label="Run e&very:" name="every" value={every} min={1} max={999} disabled={!schedule.enabled} onInput={setEvery} />
                <div class="field">
                  <label for="schedule-unit">
                    <Mn label="&Unit:" />
                  </label>
                  <select
                    id="schedule-unit"
                    accessKey={accessKey('&Unit:')}
                    disabled={!schedule.enabled}
                    value={schedule.unit}
                    onChange={(e) => set({ unit: (e.target as HTMLSelectElement).value as OfflineSchedule['unit'] })}
                  >
                    <option value="minutes">Minutes</option>
                    <option value="hours">Hours</option>
                    <option value="days">Days</option>
                  </select>
                </div>
                <div class="field">
                  <label for="schedule-at">
                    <Mn label="&Start time:" />
                  </label>
                  <input
                    id="schedule-at"
                    type="time"
                    accessKey={accessKey('&Start time:')}
                    disabled={!schedule.enabled}
                    value={schedule.at}
                    onInput={(e) => set({ at: (e.target as HTMLInputElement).value })}
                  />
                </div>
              </div>
            ) : (
              <div class="page">
                <Checkbox
                  label="Run a check that was &missed while the computer was off"
                  checked={schedule.catchUp}
                  onChange={(v) => set({ catchUp: v })}
                />
              </div>
            )}
          </Tabs>
        )}
        <Buttons>
          <Button label="OK" type="submit" disabled={!schedule || busy} />
          <Button label="Cancel" onClick={() => close(false)} />
        </Buttons>
      </form>
    </Dialog>
  );
}
