// The page list's state: one entry per page, kept in step with the service's page events,
// sorted by the current rule, with placeholders for pages being added and the count of updated
// pages. Events are applied in batches, one per frame, so that thousands of pages arriving at
// once cost one sort.
import type { Page, ServerEvent } from '../api/types';

export interface Entry {
  key: number; // stable for the life of the entry, used for element ids
  page: Page;
}

type RequestKind = 'add' | 'delete' | 'import';
type Listener = () => void;

const collator = new Intl.Collator(undefined, { sensitivity: 'variant' });

// With sorting by status: pending first, then updated, then in error, then by title. Otherwise
// pending last, then by title.
export function comparePages(a: Page, b: Page, byStatus: boolean): number {
  if (a.pending !== b.pending) return (a.pending ? -1 : 1) * (byStatus ? 1 : -1);
  if (byStatus) {
    if (a.updated !== b.updated) return a.updated ? -1 : 1;
    if (!!a.error !== !!b.error) return a.error ? -1 : 1;
  }
  return collator.compare(a.title, b.title);
}

const kFullSortThreshold = 64;
const kMaxLoadHoldMs = 1500;

export class PageStore {
  private entries = new Map<string, Entry>(); // by exact title
  private placeholders = new Map<string, Entry>(); // pending entries by lower-case title
  private sorted: Entry[] = [];
  private nextKey = 1;
  private requests = new Map<number, { kind: RequestKind; name: string }>();
  private queue: ServerEvent[] = [];
  private flushScheduled = false;
  private loadingSince: number | undefined;
  private listeners = new Set<Listener>();
  private byStatus = true;
  private filterText = '';
  private view: Entry[] = [];
  private viewDirty = true;

  version = 0;
  updatedCount = 0;
  checking = false;
  loaded = false;
  // Every page of the service has arrived (the check state follows the last of them).
  listed = false;
  // Pages that turned updated since the last batch; the notification of the list uses them.
  onBecameUpdated: ((pages: Page[]) => void) | null = null;
  onRequestFailed: ((name: string, message: string | undefined) => void) | null = null;

  // Resolves once every page of the service has arrived.
  whenListed(): Promise<void> {
    return new Promise((resolve) => {
      if (this.listed) return resolve();
      const stop = this.subscribe(() => {
        if (!this.listed) return;
        stop();
        resolve();
      });
    });
  }

  subscribe(listener: Listener): () => void {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  // Queues a service event; the batch is applied on the next frame (or soon, in a hidden tab).
  push(event: ServerEvent) {
    this.queue.push(event);
    if (this.flushScheduled) return;
    this.flushScheduled = true;
    const flush = () => this.flush();
    if (typeof document !== 'undefined' && document.hidden) setTimeout(flush, 16);
    else requestAnimationFrame(flush);
  }

  flush() {
    this.flushScheduled = false;
    // A connection starts with every page at once: they are held until the whole list is in
    // (the checking state follows the last page), so that it is sorted once.
    const loadingAt = this.queue.findIndex((e) => e.event === 'loading');
    if (loadingAt >= 0 && !this.queue.slice(loadingAt).some((e) => e.event === 'checking')) {
      this.loadingSince ??= performance.now();
      if (performance.now() - this.loadingSince < kMaxLoadHoldMs) {
        this.flushScheduled = true;
        setTimeout(() => this.flush(), 16);
        return;
      }
    }
    this.loadingSince = undefined;
    const batch = this.queue;
    this.queue = [];
    if (!batch.length) return;
    const touched: Entry[] = [];
    const removed = new Set<Entry>();
    let resort = false;
    const becameUpdated: Page[] = [];
    for (const event of batch) {
      switch (event.event) {
        case 'loading':
          this.entries.clear();
          this.placeholders.clear();
          this.sorted = [];
          this.updatedCount = 0;
          touched.length = 0;
          removed.clear();
          this.loaded = false;
          this.listed = false;
          resort = true;
          break;
        case 'page': {
          const { change, page } = event.data;
          if (change === 'added') {
            const entry = this.insert({ ...page, pending: false });
            if (entry) touched.push(entry);
            this.loaded = true;
          } else if (change === 'changed') {
            const entry = this.entries.get(page.title);
            if (!entry) break;
            if (!entry.page.updated && page.updated && !entry.page.pending) becameUpdated.push(page);
            this.replace(entry, { ...page, pending: false });
            touched.push(entry);
          } else {
            const entry = this.entries.get(page.title);
            if (entry) {
              this.remove(entry);
              removed.add(entry);
            }
          }
          break;
        }
        case 'checking':
          this.checking = event.data.running;
          this.loaded = true;
          this.listed = true;
          break;
        case 'requestDone': {
          const request = this.requests.get(event.data.requestId);
          if (!request) break;
          this.requests.delete(event.data.requestId);
          if (request.kind === 'delete' || !event.data.ok) {
            const entry = this.entries.get(request.name);
            if (entry && (request.kind === 'delete' || entry.page.pending)) {
              this.remove(entry);
              removed.add(entry);
            }
          }
          if (!event.data.ok && request.kind !== 'delete')
            this.onRequestFailed?.(request.name, event.data.error?.message);
          break;
        }
        default:
          break;
      }
    }
    this.resort(resort || touched.length > kFullSortThreshold, touched, removed);
    if (becameUpdated.length) this.onBecameUpdated?.(becameUpdated);
    this.changed();
  }

  // A placeholder for a page being added: shown pending until the page arrives or the request
  // fails.
  addPlaceholder(requestId: number, placeholder: Page): Entry | undefined {
    this.requests.set(requestId, { kind: 'add', name: placeholder.title });
    const entry = this.insert({ ...placeholder, pending: true });
    if (entry) this.resort(false, [entry], new Set([entry]));
    this.changed();
    return entry;
  }

  trackRequest(requestId: number, kind: RequestKind, name: string) {
    this.requests.set(requestId, { kind, name });
  }

  setSortByStatus(byStatus: boolean) {
    if (byStatus === this.byStatus) return;
    this.byStatus = byStatus;
    this.resort(true, [], new Set());
    this.changed();
  }

  setFilter(text: string) {
    const normal = text.trim().toLowerCase();
    if (normal === this.filterText) return;
    this.filterText = normal;
    this.viewDirty = true;
    this.changed();
  }

  get filter() {
    return this.filterText;
  }

  // Every entry in display order.
  all(): readonly Entry[] {
    return this.sorted;
  }

  // The entries the filter lets through, in display order. Placeholders always pass.
  visible(): readonly Entry[] {
    if (!this.filterText) return this.sorted;
    if (this.viewDirty) {
      const f = this.filterText;
      this.view = this.sorted.filter(
        (e) => e.page.pending || e.page.title.toLowerCase().includes(f) || e.page.address.toLowerCase().includes(f),
      );
      this.viewDirty = false;
    }
    return this.view;
  }

  // Updated pages that the filter hides.
  hiddenUpdated(): number {
    if (!this.filterText) return 0;
    const shown = this.visible().reduce((n, e) => n + (e.page.updated && !e.page.pending ? 1 : 0), 0);
    return this.updatedCount - shown;
  }

  get(title: string): Entry | undefined {
    return this.entries.get(title);
  }

  private insert(page: Page): Entry | undefined {
    const same = this.entries.get(page.title);
    if (same && !same.page.pending) return undefined;
    // A page that arrives replaces the placeholder made for it, whatever the letter case.
    const placeholder = same ?? (page.pending ? undefined : this.findPendingIgnoringCase(page.title));
    if (placeholder) this.remove(placeholder);
    const entry: Entry = { key: this.nextKey++, page };
    this.entries.set(page.title, entry);
    if (page.pending) this.placeholders.set(page.title.toLowerCase(), entry);
    if (page.updated && !page.pending) this.updatedCount++;
    return entry;
  }

  private findPendingIgnoringCase(title: string): Entry | undefined {
    return this.placeholders.size ? this.placeholders.get(title.toLowerCase()) : undefined;
  }

  private replace(entry: Entry, page: Page) {
    const was = entry.page.updated && !entry.page.pending;
    const now = page.updated && !page.pending;
    this.updatedCount += Number(now) - Number(was);
    entry.page = page;
  }

  private remove(entry: Entry) {
    if (this.entries.get(entry.page.title) !== entry) return;
    this.entries.delete(entry.page.title);
    if (this.placeholders.get(entry.page.title.toLowerCase()) === entry) this.placeholders.delete(entry.page.title.toLowerCase());
    if (entry.page.updated && !entry.page.pending) this.updatedCount--;
  }

  // Puts touched entries in their place (or sorts everything) and drops removed ones.
  private resort(full: boolean, touched: Entry[], removed: Set<Entry>) {
    const compare = (a: Entry, b: Entry) => comparePages(a.page, b.page, this.byStatus);
    if (full) {
      this.sorted = [...this.entries.values()].sort(compare);
    } else {
      const moving = new Set(touched);
      // Entries that left the map (removed, or replaced by the page they stood for) go too.
      if (moving.size || removed.size)
        this.sorted = this.sorted.filter((e) => !moving.has(e) && this.entries.get(e.page.title) === e);
      for (const entry of moving) {
        if (this.entries.get(entry.page.title) !== entry) continue;
        let lo = 0;
        let hi = this.sorted.length;
        while (lo < hi) {
          const mid = (lo + hi) >> 1;
          if (compare(this.sorted[mid], entry) <= 0) lo = mid + 1;
          else hi = mid;
        }
        this.sorted.splice(lo, 0, entry);
      }
    }
    this.viewDirty = true;
  }

  private changed() {
    this.version++;
    for (const listener of this.listeners) listener();
  }
}
