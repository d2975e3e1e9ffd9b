// The Page Setup Wizard: at the first start, and from the options. Its answers become options;
// the two settings apply them differently (a first start only turns things on).
import { useEffect, useState } from 'preact/hooks';
import type { DetectionResult, ProposedPage, SettingValues } from '../api/types';
import { Cmd } from '../commands';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { Button, Checkbox, Radio } from '../ui/fields';
import { Mn, accessKey } from '../ui/mnemonic';
import { ProposalRow } from '../ui/proposal-row';
import { Wizard } from '../ui/wizard';
import { openAddPage } from './add-page';
import { ImportTreePanel, useImportTree } from './import-tree';

enum Step {
  Welcome,
  Favorites,
  AutomaticSetup,
  SmartHistory,
  Done,
}

const kHeadings: Record<Step, string> = {
  [Step.Welcome]: 'Welcome to the Page Setup Wizard',
  [Step.Favorites]: 'Favorites',
  [Step.AutomaticSetup]: 'Automatic Setup',
  [Step.SmartHistory]: 'Smart History',
  [Step.Done]: 'Page Setup Wizard Done',
};

export const kSpeeds = ['Dialup (28k - 56k)', 'ISDN (64k - 128k)', 'Cable/DSL (128k - 1500k)', 'T1/T3/LAN (1500k+)'];
export const kHistoryAdvice =
  'You may want to increase your history length to at least 30 days, which can be done through Internet Options.';

export interface SetupAnswers {
  smartUpdate: boolean;
  autoSmartHistory: boolean;
  hourly: boolean;
  speed: number; // 0 to 3
}

// The options the answers change. At the first start a No changes nothing; from the options a
// No to Smart Update turns its learning off for new pages.
export function setupValues(answers: SetupAnswers, firstStart: boolean): SettingValues {
  const values: SettingValues = {};
  if (answers.smartUpdate && firstStart) Object.assign(values, { EnableSmartUpdate: 1, Noc: 1 });
  if (!answers.smartUpdate && !firstStart) Object.assign(values, { Noc: 0, CheckWait: 0 });
  if (answers.autoSmartHistory) values.AutoSH = 1;
  if (answers.hourly) Object.assign(values, { Interval: 2, IntervalValue: 1 });
  values.Threads = 2 * answers.speed + 2;
  return values;
}

// Resolves true when the wizard finished.
export function openPageSetupWizard(c: Controller, options: { firstStart: boolean }): Promise<boolean> {
  return c.modals.open<boolean>((close) => <PageSetupWizard c={c} firstStart={options.firstStart} close={close} />);
}

function PageSetupWizard({ c, firstStart, close }: { c: Controller; firstStart: boolean; close: (done: boolean) => void }) {
  const [step, setStep] = useState(Step.Welcome);
  const [answers, setAnswers] = useState<SetupAnswers>({ smartUpdate: true, autoSmartHistory: true, hourly: true, speed: 0 });
  const [showHelp, setShowHelp] = useState(true);
  const [busy, setBusy] = useState(false);
  const set = (change: Partial<SetupAnswers>) => setAnswers({ ...answers, ...change });
  const favorites = useImportTree(c, 'favorites', step === Step.Favorites);
  const detection = useDetection(c, step === Step.SmartHistory);

  const next = async () => {
    if (step === Step.Done) return finish();
    if (step === Step.Favorites) {
      setBusy(true);
      await favorites.addChecked();
      setBusy(false);
    }
    setStep(step + 1);
  };

  const finish = async () => {
    setBusy(true);
    await detection.addChecked();
    const values = setupValues(answers, firstStart);
    // The note on the first page promises that the wizard runs only once.
    if (firstStart) values.FirstRun = 1;
    if (answers.autoSmartHistory) {
      try {
        await c.client.runSmartHistoryPass();
      } catch {
        await c.message({ text: msg.internalError, icon: 'error' });
      }
    }
    try {
      await c.client.setSettings(c.setting, values);
    } catch (error) {
      setBusy(false);
      await c.report(error);
      return;
    }
    close(true);
    if (firstStart && showHelp) c.run(Cmd.Help);
  };

  const cancel = () => {
    if (firstStart) c.client.setSettings(c.setting, { FirstRun: 1 }).catch(() => undefined);
    close(false);
  };

  const yesNo = (label: string, name: keyof SetupAnswers) => (
    <div role="radiogroup" aria-label={label.replace('&', '')} class="question">
      <span class="question-text" aria-hidden="true">
        <Mn label={label} />
      </span>
      <Radio label="Yes" name={name} checked={answers[name] === true} onSelect={() => set({ [name]: true })} />
      <Radio label="No" name={name} checked={answers[name] === false} onSelect={() => set({ [name]: false })} />
    </div>
  );

  return (
    <Wizard
      title="Page Setup Wizard - Tidewell"
      heading={kHeadings[step]}
      step={step}
      steps={5}
      finishing={step === Step.Done}
      busy={busy}
      onBack={() => setStep(Math.max(0, step - 1))}
      onNext={() => void next()}
      onCancel={cancel}
      onKeyDown={(e) => {
        if (e.key === 'F1') {
          e.preventDefault();
          c.run(Cmd.Help);
        }
      }}
    >
      {step === Step.Welcome && (
        <>
          <p>This wizard helps you choose the pages Tidewell watches and how often it checks them.</p>
          <p class="note">
            This wizard is only run once. If you press Cancel, Tidewell will be left in its default configuration with no
            pages and all settings set to manual.
          </p>
        </>
      )}
      {step === Step.Favorites && (
        <>
          <p>Select your favorite pages that you would like to add.</p>
          <ImportTreePanel state={favorites} label="Favorites" />
        </>
      )}
      {step === Step.AutomaticSetup && (
        <>
          {yesNo('&Enable Smart Update? (Slower)', 'smartUpdate')}
          {yesNo('&Automatically add Smart History pages?', 'autoSmartHistory')}
          {yesNo('&Check for updates every hour?', 'hourly')}
          <div class="field">
            <label for="setup-speed">
              <Mn label="&Internet Connection Speed" />
            </label>
            <select
              id="setup-speed"
              accessKey={accessKey('&Internet Connection Speed')}
              value={answers.speed}
              onChange={(e) => set({ speed: Number((e.target as HTMLSelectElement).value) })}
            >
              {kSpeeds.map((speed, i) => (
                <option key={i} value={i}>
                  {speed}
                </option>
              ))}
            </select>
          </div>
        </>
      )}
      {step === Step.SmartHistory && (
        <>
          <SmartHistoryPage c={c} detection={detection} />
        </>
      )}
      {step === Step.Done && (
        <>
          <p>You have completed the Page Setup Wizard.</p>
          <p>
            If a page is later marked as updated when nothing appears to have changed, run the Smart Update Wizard from
            the page's menu.
          </p>
          <Checkbox label="&Display online help, after you press finish." checked={showHelp} onChange={setShowHelp} />
        </>
      )}
    </Wizard>
  );
}

// The Smart History page: the detection runs when the page is first shown; the pages checked are
// added when the wizard finishes, each losing its box once added.
interface Detection {
  result: DetectionResult | null;
  checked: Set<string>;
  added: Set<string>;
  setChecked: (checked: Set<string>) => void;
  addChecked: () => Promise<void>;
}

function useDetection(c: Controller, shown: boolean): Detection {
  const [result, setResult] = useState<DetectionResult | null>(null);
  const [asked, setAsked] = useState(false);
  const [checked, setChecked] = useState<Set<string>>(new Set());
  const [added, setAdded] = useState<Set<string>>(new Set());

  useEffect(() => {
    if (!shown || asked) return;
    setAsked(true);
    c.client.detectSmartHistory().then(setResult, () =>
      setResult({ status: 'failed', message: msg.historyLoadError, pages: [], historyKeptShort: false }),
    );
  }, [shown, asked]);

  // The first add that fails ends the adding.
  const addChecked = async () => {
    const wanted: ProposedPage[] = (result?.pages ?? []).filter((p) => checked.has(p.address) && !added.has(p.address));
    const done = new Set(added);
    try {
      for (const page of wanted) {
        const quiet = await c.client.addPageQuietly(page.title, page.address);
        if (quiet.placeholder && quiet.requestId !== undefined) c.showPlaceholder(quiet.requestId, quiet.placeholder);
        else if (!(await openAddPage(c, { mode: 'plain', title: quiet.title, address: quiet.address }))) break;
        done.add(page.address);
      }
    } catch (error) {
      await c.report(error, msg.addFailed);
    }
    setAdded(done);
  };

  return { result, checked, added, setChecked, addChecked };
}

function SmartHistoryPage({ c, detection }: { c: Controller; detection: Detection }) {
  const { result, checked, added } = detection;
  const shortHistory = result?.status === 'nothingFound' && result.historyKeptShort;
  const toggle = (address: string, on: boolean) => {
    const next = new Set(checked);
    if (on) next.add(address);
    else next.delete(address);
    detection.setChecked(next);
  };
  return (
    <>
      <p role="status" id="setup-smart-history-status">
        {result ? result.message : msg.smartHistoryProcessing}
      </p>
      {result && !shortHistory && result.pages.length > 0 && (
        <ul class="check-list" role="group" aria-labelledby="setup-smart-history-status">
          {result.pages.map((page) => (
            <li key={page.address}>
              <ProposalRow page={page} checked={checked.has(page.address)} onToggle={toggle} added={added.has(page.address)} />
            </li>
          ))}
        </ul>
      )}
      {shortHistory && (
        <>
          <p>{kHistoryAdvice}</p>
          <Button label="Internet &Options..." onClick={() => void c.message({ text: msg.internetOptions, icon: 'information' })} />
        </>
      )}
    </>
  );
}
