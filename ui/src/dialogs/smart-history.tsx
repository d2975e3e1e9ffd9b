// The Smart History dialog: the pages Smart History proposes, with check boxes, and under
// "Advanced" the choice of what Smart History does from now on. Pages proposed while it is open
// join it. OK hands the checked pages and a changed choice to the controller, which adds them.
import { useEffect, useState } from 'preact/hooks';
import type { AutoSh, ProposedPage } from '../api/types';
import type { Controller } from '../controller';
import { msg } from '../strings';
import { Button, Group, OkCancel, Radio } from '../ui/fields';
import { Dialog } from '../ui/modals';
import { ProposalRow } from '../ui/proposal-row';

// The proposals as the service last listed them (each event holds every page proposed now).
export class ProposalFeed {
  private listeners = new Set<() => void>();

  constructor(public pages: ProposedPage[]) {}

  replace(pages: ProposedPage[]) {
    this.pages = pages;
    for (const listener of this.listeners) listener();
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }
}

export interface ProposalAnswer {
  checked: ProposedPage[];
  shown: string[]; // the addresses listed when the user answered: only these are settled
  autoSH?: AutoSh; // only when the user changed it
}

const kChoices: [AutoSh, string][] = [
  [0, '&Detect Smart History pages'],
  [1, '&Automatically add Smart History pages'],
  [2, 'Do &not notify me about Smart History pages'],
];

// Resolves with the answer on OK, null on Cancel.
export function openSmartHistory(c: Controller, feed: ProposalFeed, mode: AutoSh) {
  return c.modals.open<ProposalAnswer | null>((close) => <SmartHistoryDialog feed={feed} mode={mode} close={close} />);
}

function SmartHistoryDialog({
  feed,
  mode: initialMode,
  close,
}: {
  feed: ProposalFeed;
  mode: AutoSh;
  close: (answer: ProposalAnswer | null) => void;
}) {
  // Proposals may arrive between the dialog's opening and its subscribing: take them up then.
  const [pages, setPages] = useState(feed.pages);
  useEffect(() => {
    setPages(feed.pages);
    return feed.subscribe(() => setPages(feed.pages));
  }, [feed]);
  const [checked, setChecked] = useState<Set<string>>(new Set());
  const [advanced, setAdvanced] = useState(false);
  const [mode, setMode] = useState<AutoSh>(initialMode);

  const toggle = (address: string, on: boolean) => {
    const next = new Set(checked);
    if (on) next.add(address);
    else next.delete(address);
    setChecked(next);
  };

  const ok = (e: Event) => {
    e.preventDefault();
    close({
      checked: pages.filter((p) => checked.has(p.address)),
      shown: pages.map((p) => p.address),
      autoSH: mode !== initialMode ? mode : undefined,
    });
  };

  return (
    <Dialog title="Smart History - Tidewell" class="smart-history" onCancel={() => close(null)}>
      <form noValidate onSubmit={ok}>
        <p class="note" id="smart-history-text">
          {msg.smartHistoryProposal}
        </p>
        <ul class="check-list" role="group" aria-labelledby="smart-history-text">
          {pages.map((page) => (
            <li key={page.address}>
              <ProposalRow page={page} checked={checked.has(page.address)} onToggle={toggle} />
            </li>
          ))}
        </ul>
        <div class="advanced-toggle">
          <Button
            label={advanced ? '<< &Advanced' : '&Advanced >>'}
            aria-expanded={advanced}
            aria-controls="smart-history-advanced"
            onClick={() => setAdvanced(!advanced)}
          />
        </div>
        <div id="smart-history-advanced" hidden={!advanced}>
          <Group legend="Smart History">
            <div role="radiogroup" aria-label="Smart History">
              {kChoices.map(([value, label]) => (
                <Radio
                  key={value}
                  label={label}
                  name="AutoSH"
                  checked={mode === value}
                  disabled={!advanced}
                  onSelect={() => setMode(value)}
                />
              ))}
            </div>
          </Group>
        </div>
        <OkCancel onCancel={() => close(null)} />
      </form>
    </Dialog>
  );
}
