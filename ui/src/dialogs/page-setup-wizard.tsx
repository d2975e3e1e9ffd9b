// The Page Setup Wizard: at the first start, and from the options. Its answers become options;
// the two settings apply them differently (a first start only turns things on).
import { useState } from 'preact/hooks';
import type { SettingValues } from '../api/types';
import { Cmd } from '../commands';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { Button, Checkbox, Radio } from '../ui/fields';
import { Mn, accessKey } from '../ui/mnemonic';
import { Wizard } from '../ui/wizard';

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

  const finish = async () => {
    setBusy(true);
    const values = setupValues(answers, firstStart);
    // The note on the first page promises that the wizard runs only once.
    if (firstStart) values.FirstRun = 1;
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
      onNext={() => (step === Step.Done ? void finish() : setStep(step + 1))}
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
          <div class="placeholder-panel" role="note">
            {msg.notYet('Choosing pages from the favorites of your web browser')}
          </div>
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
          <div class="placeholder-panel" role="note">
            {msg.notYet('Finding the pages you visit often in the history of your web browser')}
          </div>
          <p>{kHistoryAdvice}</p>
          <Button label="Internet &Options..." onClick={() => void c.message({ text: msg.internetOptions, icon: 'information' })} />
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
