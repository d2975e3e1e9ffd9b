// The options sheet: General, Schedule, Smart Update, Smart History, Advanced. Values live in
// the sheet until OK, which sends everything it shows; the options watcher then tells every
// running part of Tidewell.
import { useEffect, useRef, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { SettingValues } from '../api/types';
import type { Controller } from '../controller';
import { formatTime } from '../model/format';
import { msg } from '../strings';
import { Button, Checkbox, Group, NumberField, OkCancel, Radio, TextField, focusField } from '../ui/fields';
import { Mn, accessKey } from '../ui/mnemonic';
import { Dialog, beep } from '../ui/modals';
import { Tabs } from '../ui/tabs';
import { openFolderPicker } from './folder-picker';
import { openPageSetupWizard } from './page-setup-wizard';
import { toNumber } from './properties';
import { openSchedule } from './schedule';

enum Tab {
  General,
  Schedule,
  SmartUpdate,
  SmartHistory,
  Advanced,
}
const kTabNames = ['General', 'Schedule', 'Smart Update', 'Smart History', 'Advanced'];

const kFieldTab: Record<string, Tab> = {
  IntervalValue: Tab.Schedule,
  minutes: Tab.Schedule,
  hours: Tab.Schedule,
  Interval: Tab.Schedule,
  EnableSmartUpdate: Tab.SmartUpdate,
  Noc: Tab.SmartUpdate,
  CheckWait: Tab.SmartUpdate,
  AutoSH: Tab.SmartHistory,
  IgnoreLastMod: Tab.Advanced,
  IgnoreExpire: Tab.Advanced,
  Timeout: Tab.Advanced,
  Threads: Tab.Advanced,
  PDB: Tab.Advanced,
};

export const kMaxDirectoryLength = 248;

interface Form {
  runOnStartup: boolean;
  RunBkg: boolean;
  ConfirmAC: boolean;
  PageNotify: boolean;
  PageReNotify: boolean;
  TaskPad: boolean;
  Interval: number;
  minutes: string;
  hours: string;
  EnableSmartUpdate: boolean;
  Noc: string;
  CheckWait: string; // minutes
  AutoSH: number;
  IgnoreLastMod: boolean;
  IgnoreExpire: boolean;
  Timeout: string;
  Threads: number;
  PDB: string;
}

function readForm(values: SettingValues, runOnStartup: boolean, folder: string): Form {
  const n = (name: string, fallback: number) => {
    const v = Number(values[name]);
    return values[name] === undefined || Number.isNaN(v) ? fallback : v;
  };
  const flag = (name: string, fallback: boolean) => (values[name] === undefined ? fallback : n(name, 0) !== 0);
  const interval = n('Interval', 0);
  const every = n('IntervalValue', 0);
  const autoSH = n('AutoSH', 0);
  return {
    runOnStartup,
    RunBkg: flag('RunBkg', true),
    ConfirmAC: flag('ConfirmAC', true),
    PageNotify: flag('PageNotify', true),
    PageReNotify: flag('PageReNotify', true),
    TaskPad: flag('TaskPad', true),
    Interval: every === 0 ? 0 : interval === 1 ? 1 : interval === 0 || interval === 2 ? 2 : 0,
    minutes: interval === 1 && every ? String(every) : '',
    hours: interval !== 1 && every ? String(every) : '',
    EnableSmartUpdate: flag('EnableSmartUpdate', true),
    Noc: String(n('Noc', 0)),
    CheckWait: String(Math.floor(n('CheckWait', 0) / 60)),
    AutoSH: autoSH >= 0 && autoSH <= 2 ? autoSH : 0,
    IgnoreLastMod: flag('IgnoreLastMod', false),
    IgnoreExpire: flag('IgnoreExpire', false),
    Timeout: String(n('Timeout', 40)),
    Threads: Math.min(31, Math.max(1, n('Threads', 1))),
    PDB: typeof values.PDB === 'string' && values.PDB ? values.PDB : folder,
  };
}

function writeValues(form: Form, host: boolean): SettingValues {
  const b = (v: boolean) => (v ? 1 : 0);
  const values: SettingValues = {
    RunBkg: b(form.RunBkg),
    ConfirmAC: b(form.ConfirmAC),
    PageNotify: b(form.PageNotify),
    PageReNotify: b(form.PageReNotify),
    Interval: form.Interval,
    IntervalValue: form.Interval === 1 ? toNumber(form.minutes) : form.Interval === 2 ? toNumber(form.hours) : 0,
    EnableSmartUpdate: b(form.EnableSmartUpdate),
    Noc: toNumber(form.Noc),
    CheckWait: toNumber(form.CheckWait) * 60,
    AutoSH: form.AutoSH,
    IgnoreLastMod: b(form.IgnoreLastMod),
    IgnoreExpire: b(form.IgnoreExpire),
    Timeout: toNumber(form.Timeout),
    Threads: form.Threads,
    PDB: form.PDB,
  };
  if (host) values.TaskPad = b(form.TaskPad);
  return values;
}

// A choice of the schedule: check every so many minutes or hours, with the count beside it.
function EveryRow(props: {
  label: string;
  unit: string;
  field: 'minutes' | 'hours';
  interval: number;
  fallback: string;
  max: number;
  form: Form;
  set: (change: Partial<Form>) => void;
}) {
  const { label, unit, field, interval, fallback, max, form, set } = props;
  const unitId = `unit-${field}`;
  return (
    <div class="radio-with-field">
      <Radio
        label={label}
        name="Interval"
        describedBy={unitId}
        checked={form.Interval === interval}
        onSelect={() => set({ Interval: interval, [field]: form[field] || fallback })}
      />
      <NumberField
        label={unit}
        labelId={unitId}
        name={field}
        value={form[field]}
        min={1}
        max={max}
        disabled={form.Interval !== interval}
        onInput={(v) => set({ [field]: v })}
      />
    </div>
  );
}

export function openOptions(c: Controller): Promise<boolean> {
  return c.modals.open<boolean>((close) => <OptionsSheet c={c} close={close} />);
}

function OptionsSheet({ c, close }: { c: Controller; close: (saved: boolean) => void }) {
  const [form, setForm] = useState<Form | null>(null);
  const [tab, setTab] = useState(Tab.General);
  const [status, setStatus] = useState('');
  const [busy, setBusy] = useState(false);
  const root = useRef<HTMLFormElement>(null);
  const host = c.setting === 'host';

  // The next run in the browser's own locale when the service gives the time.
  const loadStatus = () =>
    c.client
      .getSchedule()
      .then((s) => setStatus(s.nextRunTime ? `Next run time: \n${formatTime(s.nextRunTime)}` : s.status))
      .catch((e: unknown) => setStatus(e instanceof ApiError ? e.body.message : ''));

  useEffect(() => {
    c.client
      .getSettings(c.setting)
      .then((s) => setForm(readForm(s.values, s.runOnStartup, c.folder)))
      .catch(async (e) => {
        await c.report(e);
        close(false);
      });
    void loadStatus();
  }, []);

  const set = (change: Partial<Form>) => setForm({ ...form!, ...change });

  // The Smart Update page's fields: a count of 0 to 20 and a wait of 0 to 30 minutes. A field
  // out of range beeps and takes the focus.
  const smartUpdateFault = (f: Form): string | null => {
    if (!f.EnableSmartUpdate) return null;
    const count = toNumber(f.Noc);
    if (count < 0 || count > 20) return 'Noc';
    const wait = toNumber(f.CheckWait);
    if (wait < 0 || wait > 30) return 'CheckWait';
    return null;
  };
  const advancedFault = (f: Form): string | null => (toNumber(f.Timeout) < 0 ? 'Timeout' : null);

  const refuse = (field: string) => {
    beep();
    setTab(kFieldTab[field]);
    requestAnimationFrame(() => focusField(root.current, field));
  };

  // A page that does not validate is not left.
  const leaveTo = (next: Tab) => {
    if (!form) return;
    const fault = tab === Tab.SmartUpdate ? smartUpdateFault(form) : tab === Tab.Advanced ? advancedFault(form) : null;
    if (fault) refuse(fault);
    else setTab(next);
  };

  const submit = async (e?: Event) => {
    e?.preventDefault();
    if (!form || busy) return;
    const fault = smartUpdateFault(form) ?? advancedFault(form);
    if (fault) return refuse(fault);
    setBusy(true);
    try {
      const startup = await c.client.setStartup(form.runOnStartup);
      if (startup.question) {
        const answer = await c.message({ text: startup.question.message, icon: 'question', buttons: 'yesNo' });
        if (answer === 'yes') await c.client.setStartup(false, true);
      }
    } catch (error) {
      // The other options are saved all the same.
      await c.report(error);
    }
    try {
      await c.client.setSettings(c.setting, writeValues(form, host));
      close(true);
    } catch (error) {
      setBusy(false);
      const field = error instanceof ApiError ? error.body.field : undefined;
      if (field && field in kFieldTab) setTab(kFieldTab[field]);
      await c.report(error);
      focusField(root.current, field);
    }
  };

  const browse = async () => {
    if (!form) return;
    const fault = advancedFault(form);
    if (fault) return refuse(fault);
    for (;;) {
      const path = await openFolderPicker(c, form.PDB || c.folder);
      if (path === null) return;
      if (path.length <= kMaxDirectoryLength) return set({ PDB: path });
      const answer = await c.message({ text: msg.directoryTooLong, buttons: 'okCancel' });
      if (answer !== 'ok') return;
    }
  };

  const runSetupWizard = async () => {
    if (await openPageSetupWizard(c, { firstStart: false })) close(false);
  };

  const resetSmartHistory = async () => {
    const answer = await c.message({
      text: msg.resetSmartHistory,
      icon: 'question',
      buttons: 'yesNo',
      onHelp: () => void c.host.openAddress(new URL('help.html#smart-history', document.baseURI).href),
    });
    if (answer !== 'yes') return;
    try {
      await c.client.resetSmartHistory();
    } catch (error) {
      await c.report(error);
    }
  };

  const editSchedule = async () => {
    await openSchedule(c);
    void loadStatus();
  };

  return (
    <Dialog title="Options - Tidewell" class="options" onCancel={() => close(false)}>
      <form ref={root} noValidate onSubmit={submit}>
        {!form ? (
          <div class="loading">Loading...</div>
        ) : (
          <Tabs names={kTabNames} current={tab} onSelect={leaveTo}>
            {tab === Tab.General && (
              <div class="page">
                <Checkbox label="&Run Tidewell on startup" checked={form.runOnStartup} onChange={(v) => set({ runOnStartup: v })} />
                <Checkbox label="Allow Tidewell to run in the &background" checked={form.RunBkg} onChange={(v) => set({ RunBkg: v })} />
                <Checkbox label="&Add Current Page confirmation" checked={form.ConfirmAC} onChange={(v) => set({ ConfirmAC: v })} />
                <Checkbox label="&Notify me when a page is updated" checked={form.PageNotify} onChange={(v) => set({ PageNotify: v })} />
                <div class="indent">
                  <Checkbox
                    label="Notify me &each time pages are changed."
                    checked={form.PageReNotify}
                    disabled={!form.PageNotify}
                    onChange={(v) => set({ PageReNotify: v })}
                  />
                </div>
                {host && <Checkbox label="Show &Tasks" checked={form.TaskPad} onChange={(v) => set({ TaskPad: v })} />}
                <div class="page-actions">
                  <Button label="&Page Setup Wizard..." onClick={() => void runSetupWizard()} />
                </div>
              </div>
            )}
            {tab === Tab.Schedule && (
              <div class="page">
                <Group legend="Check for updates">
                  <div role="radiogroup" aria-label="Check for updates" class="choices">
                    <Radio label="N&one" name="Interval" checked={form.Interval === 0} onSelect={() => set({ Interval: 0 })} />
                    <EveryRow label="&Every" unit="Minutes" field="minutes" interval={1} fallback="30" max={59} form={form} set={set} />
                    <EveryRow label="E&very" unit="Hours" field="hours" interval={2} fallback="1" max={23} form={form} set={set} />
                  </div>
                </Group>
                <Group legend="Schedule Status">
                  <p class="schedule-status" aria-live="polite">
                    {status}
                  </p>
                  <Button label="&Schedule..." onClick={() => void editSchedule()} />
                </Group>
              </div>
            )}
            {tab === Tab.SmartUpdate && (
              <div class="page">
                <p class="note">
                  Smart Update downloads a new page more than once and learns which parts of it change every time, so
                  that only real changes mark the page as updated. These settings apply to pages added from now on.
                </p>
                <Checkbox
                  label="&Enable Smart Update"
                  name="EnableSmartUpdate"
                  checked={form.EnableSmartUpdate}
                  onChange={(v) => {
                    const next = { ...form, EnableSmartUpdate: v };
                    setForm(next);
                    const fault = smartUpdateFault(next);
                    if (fault) refuse(fault);
                  }}
                />
                <NumberField
                  label="&Check for Changes:"
                  name="Noc"
                  value={form.Noc}
                  min={0}
                  max={20}
                  disabled={!form.EnableSmartUpdate}
                  onInput={(v) => set({ Noc: v })}
                />
                <NumberField
                  label="Last Check &Wait Time:"
                  name="CheckWait"
                  value={form.CheckWait}
                  min={0}
                  max={30}
                  unit="Minutes"
                  disabled={!form.EnableSmartUpdate}
                  onInput={(v) => set({ CheckWait: v })}
                />
              </div>
            )}
            {tab === Tab.SmartHistory && (
              <div class="page">
                <div role="radiogroup" aria-label="Smart History" class="choices">
                  <Radio label="&Detect Smart History pages" name="AutoSH" checked={form.AutoSH === 0} onSelect={() => set({ AutoSH: 0 })} />
                  <Radio label="Auto&matically add Smart History pages" name="AutoSH" checked={form.AutoSH === 1} onSelect={() => set({ AutoSH: 1 })} />
                  <Radio label="D&o not notify me about Smart History pages" name="AutoSH" checked={form.AutoSH === 2} onSelect={() => set({ AutoSH: 2 })} />
                </div>
                <Group legend="Reset Smart History">
                  <p>Resetting Smart History will cause all pages to be processed, even if they have already been suggested.</p>
                  <Button label="&Reset..." onClick={() => void resetSmartHistory()} />
                </Group>
              </div>
            )}
            {tab === Tab.Advanced && (
              <div class="page">
                <Checkbox label="Ignore &Last Modification Time" checked={form.IgnoreLastMod} onChange={(v) => set({ IgnoreLastMod: v })} />
                <Checkbox label="Ignore &Page Expiration Time" checked={form.IgnoreExpire} onChange={(v) => set({ IgnoreExpire: v })} />
                <NumberField label="&Timeout:" name="Timeout" value={form.Timeout} min={1} max={300} unit="Seconds" onInput={(v) => set({ Timeout: v })} />
                <div class="field slider-field">
                  <label for="options-threads">
                    <Mn label="Threa&ds:" />
                  </label>
                  <div class="field-control">
                    <span class="slider-end" aria-hidden="true">1</span>
                    <input
                      id="options-threads"
                      name="Threads"
                      type="range"
                      min={1}
                      max={31}
                      step={1}
                      value={form.Threads}
                      accessKey={accessKey('Threa&ds:')}
                      onInput={(e) => set({ Threads: Number((e.target as HTMLInputElement).value) })}
                    />
                    <span class="slider-end" aria-hidden="true">31</span>
                    <output class="slider-value" for="options-threads">
                      {form.Threads}
                    </output>
                  </div>
                </div>
                <TextField
                  label="&Directory:"
                  name="PDB"
                  value={form.PDB}
                  maxLength={kMaxDirectoryLength}
                  onInput={(v) => set({ PDB: v })}
                  suffix={<Button label="&Browse..." onClick={() => void browse()} />}
                />
                <div class="page-actions">
                  <Button label="Internet &Options..." onClick={() => void c.message({ text: msg.internetOptions, icon: 'information' })} />
                </div>
              </div>
            )}
          </Tabs>
        )}
        <OkCancel okDisabled={!form || busy} onCancel={() => close(false)} />
      </form>
    </Dialog>
  );
}
