// The Updated Pages dialog: the pages that have just changed. Pages announced while it is open
// are added to it, each title once. Choosing a page closes it and opens the page; Show Changes
// shows what changed in it, above the dialog.
import { useState } from 'preact/hooks';
import type { UpdatedPageRef } from '../api/types';
import type { Controller } from '../controller';
import { IconState, infoTip } from '../model/format';
import { Button, Buttons, Checkbox, Group } from '../ui/fields';
import { PageGlyph } from '../ui/icons';
import { Dialog } from '../ui/modals';
import { useSource } from '../ui/use-source';
import { openShowChanges } from './show-changes';

export class UpdatedPagesFeed {
  pages: UpdatedPageRef[] = [];
  readonly ids = new Set<number>(); // the announcements it answers
  private listeners = new Set<() => void>();

  constructor(pages: UpdatedPageRef[]) {
    this.append(pages);
  }

  append(pages: UpdatedPageRef[]) {
    const known = new Set(this.pages.map((p) => p.title.toLowerCase()));
    for (const page of pages) {
      const key = page.title.toLowerCase();
      if (known.has(key)) continue;
      known.add(key);
      this.pages = [...this.pages, page];
    }
    for (const listener of this.listeners) listener();
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }
}

export interface UpdatedPagesResult {
  chosen?: UpdatedPageRef;
  doNotShowAgain: boolean;
}

export function openUpdatedPages(c: Controller, feed: UpdatedPagesFeed, doNotShowAgain: boolean) {
  return c.modals.open<UpdatedPagesResult>((close) => (
    <UpdatedPagesDialog c={c} feed={feed} initial={doNotShowAgain} close={close} />
  ));
}

function UpdatedPagesDialog({
  c,
  feed,
  initial,
  close,
}: {
  c: Controller;
  feed: UpdatedPagesFeed;
  initial: boolean;
  close: (r: UpdatedPagesResult) => void;
}) {
  useSource(feed);
  const [doNotShow, setDoNotShow] = useState(initial);
  const tip = (ref: UpdatedPageRef) => {
    const page = c.store.get(ref.title)?.page;
    return page ? infoTip(page) : `${ref.title}\n${ref.address}`;
  };
  return (
    <Dialog title="Updated Pages - Tidewell" class="updated-pages" onCancel={() => close({ doNotShowAgain: doNotShow })}>
      <p class="note">The following pages have been changed. They may contain new information.</p>
      <div class="simple-list" role="list" aria-label="Page">
        <div class="simple-list-head" aria-hidden="true">
          Page
        </div>
        {feed.pages.map((page, i) => (
          <div role="listitem" class="row-with-action" key={page.title}>
            <button
              type="button"
              class="simple-row link-row"
              title={tip(page)}
              data-autofocus={page === feed.pages[0] || undefined}
              onClick={() => close({ chosen: page, doNotShowAgain: doNotShow })}
            >
              <PageGlyph state={IconState.Updated} size={16} />
              <span id={`updated-title-${i}`}>{page.title}</span>
            </button>
            <button
              type="button"
              class="row-action"
              aria-describedby={`updated-title-${i}`}
              title="Show what changed in this page"
              onClick={() => void openShowChanges(c, page)}
            >
              Show Changes
            </button>
          </div>
        ))}
      </div>
      <Group legend="Smart Update Wizard">
        <p>If any of these pages have not changed, you can run the Smart Update Wizard to try and correct the problem.</p>
      </Group>
      <Checkbox label="&Do not show this window again" checked={doNotShow} onChange={setDoNotShow} />
      <Buttons>
        <Button label="Close" onClick={() => close({ doNotShowAgain: doNotShow })} />
      </Buttons>
    </Dialog>
  );
}
