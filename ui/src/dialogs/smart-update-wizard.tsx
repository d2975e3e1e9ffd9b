// The Smart Update Wizard: for a page that is marked updated wrongly, or not marked when it
// changed. The service turns the answer into the page's new settings and resets the page.
import { useRef, useState } from 'preact/hooks';
import type { Page } from '../api/types';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { NumberField, Radio, TextField, focusField } from '../ui/fields';
import { beep } from '../ui/modals';
import { Wizard } from '../ui/wizard';
import { toNumber } from './properties';

enum Step {
  Welcome,
  Problem,
  Wait,
  Completed,
}

const kHeadings: Record<Step, string> = {
  [Step.Welcome]: 'Welcome to the Smart Update Wizard',
  [Step.Problem]: 'What is the problem that you are having with this page?',
  [Step.Wait]: 'Wait for Changes',
  [Step.Completed]: 'You have completed the Smart Update Wizard.',
};

const kMaxWaitMinutes = 30;

export function openSmartUpdateWizard(c: Controller, page: Page): Promise<boolean> {
  return c.modals.open<boolean>((close) => <SmartUpdateWizard c={c} page={page} close={close} />);
}

function SmartUpdateWizard({ c, page, close }: { c: Controller; page: Page; close: (done: boolean) => void }) {
  const [step, setStep] = useState(Step.Welcome);
  const [answer, setAnswer] = useState<'updating' | 'notUpdating'>('updating');
  const [wait, setWait] = useState(String(Math.floor(page.waitSeconds / 60)));
  const [busy, setBusy] = useState(false);
  const root = useRef<HTMLDivElement>(null);

  const next = async () => {
    if (step === Step.Problem) setStep(answer === 'updating' ? Step.Wait : Step.Completed);
    else if (step === Step.Wait) {
      const minutes = toNumber(wait);
      if (minutes < 0 || minutes > kMaxWaitMinutes) {
        beep();
        await c.message({ text: msg.range(0, kMaxWaitMinutes), icon: 'information' });
        focusField(root.current, 'wait');
        return;
      }
      setStep(Step.Completed);
    } else if (step === Step.Completed) {
      setBusy(true);
      try {
        await c.client.smartUpdateWizard(page.title, answer, answer === 'updating' ? toNumber(wait) : 0);
        close(true);
      } catch (error) {
        setBusy(false);
        await c.report(error, msg.setPropertiesFailed);
      }
    } else setStep(step + 1);
  };
  const back = () => setStep(step === Step.Completed && answer === 'notUpdating' ? Step.Problem : Math.max(0, step - 1));

  return (
    <div ref={root}>
      <Wizard
        title="Smart Update Wizard - Tidewell"
        heading={kHeadings[step]}
        step={step}
        steps={4}
        finishing={step === Step.Completed}
        busy={busy}
        onBack={back}
        onNext={() => void next()}
        onCancel={() => close(false)}
      >
        {step === Step.Welcome && (
          <p>
            This wizard helps with a page that Tidewell marks as updated although nothing appears to have changed, or
            that changed without being marked. Your answers adjust how the page is checked.
          </p>
        )}
        {step === Step.Problem && (
          <>
            <TextField label="Title:" name="pageTitle" value={page.title} onInput={() => undefined} readOnly />
            <TextField label="Address:" name="pageAddress" value={page.address} onInput={() => undefined} readOnly />
            <div role="radiogroup" aria-label="Problem" class="choices">
              <Radio
                name="problem"
                label="&Updating - The page is marked as updated, but nothing appears to have changed."
                checked={answer === 'updating'}
                onSelect={() => setAnswer('updating')}
              />
              <Radio
                name="problem"
                label="&Not Updating - The page has changed, but is not marked as being updated."
                checked={answer === 'notUpdating'}
                onSelect={() => setAnswer('notUpdating')}
              />
            </div>
          </>
        )}
        {step === Step.Wait && (
          <NumberField
            label="&Enter the amount of the time the page takes to update."
            name="wait"
            value={wait}
            onInput={setWait}
            min={0}
            max={kMaxWaitMinutes}
            unit="Minutes"
          />
        )}
        {step === Step.Completed && <p>After you press finish, the page will be reset.</p>}
      </Wizard>
    </div>
  );
}
