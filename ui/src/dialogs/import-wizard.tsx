// The Import wizard: pages from the favorites and the history of the web browser.
import { useState } from 'preact/hooks';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { Wizard } from '../ui/wizard';

const kSteps = [
  { heading: 'Favorites', text: 'Select your favorite pages that you would like to add.', what: 'Importing favorites' },
  { heading: 'History', text: 'Select the pages from your history that you would like to add.', what: 'Importing history' },
];

export function openImportWizard(c: Controller): Promise<boolean> {
  return c.modals.open<boolean>((close) => <ImportWizard close={close} />);
}

function ImportWizard({ close }: { close: (done: boolean) => void }) {
  const [step, setStep] = useState(0);
  const current = kSteps[step];
  return (
    <Wizard
      title="Import - Tidewell"
      heading={current.heading}
      step={step}
      steps={kSteps.length}
      finishing={step === kSteps.length - 1}
      onBack={() => setStep(Math.max(0, step - 1))}
      onNext={() => (step === kSteps.length - 1 ? close(true) : setStep(step + 1))}
      onCancel={() => close(false)}
    >
      <p>{current.text}</p>
      <div class="placeholder-panel" role="note">
        {msg.notYet(current.what)}
      </div>
    </Wizard>
  );
}
