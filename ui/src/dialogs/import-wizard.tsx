// The Import wizard: pages from the favorites (bookmarks) and the history of the web browsers.
// Leaving the Favorites page with Next adds the favorites checked there; Finish adds the history
// entries checked. Added entries stay marked, so going back and on again adds nothing twice.
import { useState } from 'preact/hooks';
import type { Controller } from '../controller';
import { Wizard } from '../ui/wizard';
import { ImportTreePanel, useImportTree } from './import-tree';

enum Step {
  Favorites,
  History,
}

export function openImportWizard(c: Controller): Promise<boolean> {
  return c.modals.open<boolean>((close) => <ImportWizard c={c} close={close} />);
}

function ImportWizard({ c, close }: { c: Controller; close: (done: boolean) => void }) {
  const [step, setStep] = useState(Step.Favorites);
  const [busy, setBusy] = useState(false);
  const favorites = useImportTree(c, 'favorites', step === Step.Favorites);
  const history = useImportTree(c, 'history', step === Step.History);

  const next = async () => {
    setBusy(true);
    if (step === Step.Favorites) {
      await favorites.addChecked();
      setBusy(false);
      setStep(Step.History);
      return;
    }
    await history.addChecked();
    setBusy(false);
    close(true);
  };

  return (
    <Wizard
      title="Import - Tidewell"
      heading={step === Step.Favorites ? 'Favorites' : 'History'}
      step={step}
      steps={2}
      finishing={step === Step.History}
      busy={busy}
      class="import-wizard"
      onBack={() => setStep(Step.Favorites)}
      onNext={() => void next()}
      onCancel={() => close(false)}
    >
      {step === Step.Favorites ? (
        <>
          <p>Select your favorite pages that you would like to add.</p>
          <ImportTreePanel state={favorites} label="Favorites" />
        </>
      ) : (
        <>
          <p>Select the pages from your history that you would like to add.</p>
          <ImportTreePanel state={history} label="History" />
        </>
      )}
    </Wizard>
  );
}
