// The Errors dialog: errors of background work that reached the window. Errors announced while
// it is open are added to it.
import type { Controller } from '../controller';
import { Button, Buttons } from '../ui/fields';
import { Dialog } from '../ui/modals';
import { useSource } from '../ui/use-source';

export class ErrorsFeed {
  errors: string[] = [];
  readonly ids = new Set<number>(); // the announcements it answers
  private listeners = new Set<() => void>();

  constructor(errors: string[]) {
    this.append(errors);
  }

  append(errors: string[]) {
    this.errors = [...this.errors, ...errors];
    for (const listener of this.listeners) listener();
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }
}

export function openErrors(c: Controller, feed: ErrorsFeed) {
  return c.modals.open<void>((close) => <ErrorsDialog feed={feed} close={close} />);
}

function ErrorsDialog({ feed, close }: { feed: ErrorsFeed; close: () => void }) {
  useSource(feed);
  return (
    <Dialog title="Errors - Tidewell" class="errors" onCancel={close}>
      <p class="note">The following errors occurred.</p>
      <div class="simple-list" role="list" aria-label="Error">
        <div class="simple-list-head" aria-hidden="true">
          Error
        </div>
        {feed.errors.map((text, i) => (
          <div role="listitem" key={i} class="simple-row error-row" title={text}>
            {text}
          </div>
        ))}
      </div>
      <Buttons>
        <Button label="Close" onClick={close} data-autofocus />
      </Buttons>
    </Dialog>
  );
}
