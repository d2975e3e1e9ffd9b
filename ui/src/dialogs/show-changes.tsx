// The Show Changes view: what changed in a page since one of its kept earlier versions. The
// visible text of the page and of each of its frames, with the parts that change on every
// download left out, as a word diff; the raw HTML as a line diff on request. Added and removed
// text are <ins> and <del>, underlined and struck through and named for screen readers, so that
// colour is never the only mark. A version kept while the view is open joins its list.
import { Fragment } from 'preact';
import { useEffect, useState } from 'preact/hooks';
import { ApiError } from '../api/transport';
import type { Changes, DiffRun, DocumentChanges, Page, PageVersion } from '../api/types';
import type { Controller } from '../controller';
import { formatTime } from '../model/format';
import { Button, Buttons, Checkbox } from '../ui/fields';
import { Dialog } from '../ui/modals';
import { useSource } from '../ui/use-source';

export const kShowChangesTitle = 'Show Changes - Tidewell';
export const kNoEarlierVersion =
  'No earlier version of this page is kept yet. Each time a check finds that the page has changed, ' +
  'Tidewell keeps the page as it was before; the next change will show here.';
// Unchanged text longer than this is shortened to its ends beside the changes.
const kContextChars = 160;

export function openShowChanges(c: Controller, page: Pick<Page, 'title' | 'address'>): Promise<void> {
  return c.modals.open<void>((close) => <ShowChangesView c={c} page={page} close={() => close()} />);
}

export function versionText(version: PageVersion): string {
  const until = `Until ${formatTime(version.replacedTime)}`;
  return version.foundTime ? `${until}, since ${formatTime(version.foundTime)}` : `${until}, first found`;
}

type State =
  | { kind: 'loading' }
  | { kind: 'none' }
  | { kind: 'failed' }
  | { kind: 'shown'; versions: PageVersion[]; changes: Changes | null };

function ShowChangesView({ c, page, close }: { c: Controller; page: Pick<Page, 'title' | 'address'>; close: () => void }) {
  const [state, setState] = useState<State>({ kind: 'loading' });
  const [chosen, setChosen] = useState<number | undefined>(undefined);
  const [wholeText, setWholeText] = useState(false);
  const [showHtml, setShowHtml] = useState(false);
  // A check that finds the page changed again while the view is open keeps another version; the
  // page's event brings a new page object.
  useSource(c.store);
  const current = c.store.get(page.title)?.page;

  useEffect(() => {
    let live = true;
    const load = async () => {
      try {
        const versions = (await c.client.pageVersions(page.title)).versions;
        if (!live) return;
        if (!versions.length) return setState({ kind: 'none' });
        const id = chosen !== undefined && versions.some((v) => v.id === chosen) ? chosen : versions[0].id;
        setState((s) => ({ kind: 'shown', versions, changes: s.kind === 'shown' ? s.changes : null }));
        const changes = await c.client.pageChanges(page.title, id);
        if (live) setState({ kind: 'shown', versions, changes });
      } catch (e) {
        if (!live) return;
        if (e instanceof ApiError && e.body.code === 'no-earlier-version') return setState({ kind: 'none' });
        setState({ kind: 'failed' });
        await c.report(e);
      }
    };
    void load();
    return () => {
      live = false;
    };
  }, [c, page.title, chosen, current]);

  const address = state.kind === 'shown' && state.changes ? state.changes.address : (current?.address ?? page.address);
  const openPage = (e: MouseEvent) => {
    e.preventDefault();
    c.open(current ?? ({ ...page, updated: false, pending: false } as Page));
  };

  return (
    <Dialog title={kShowChangesTitle} class="changes" onCancel={close}>
      <div class="changes-head">
        <h2 class="changes-page">{page.title}</h2>
        <a class="changes-address" href={address} target="_blank" rel="noopener noreferrer" onClick={openPage}>
          {address}
        </a>
        {state.kind === 'shown' && (
          <div class="field changes-version">
            <label for="changes-version">Compare with:</label>
            <div class="field-control">
              <select
                id="changes-version"
                value={String(state.versions.some((v) => v.id === chosen) ? chosen : state.versions[0].id)}
                onChange={(e) => setChosen(Number((e.target as HTMLSelectElement).value))}
              >
                {state.versions.map((v) => (
                  <option key={v.id} value={String(v.id)}>
                    {versionText(v)}
                  </option>
                ))}
              </select>
            </div>
          </div>
        )}
        {state.kind === 'shown' && (
          <div class="changes-options">
            <Checkbox label="Show the &whole text" checked={wholeText} onChange={setWholeText} />
            <Checkbox label="Show the &HTML changes" checked={showHtml} onChange={setShowHtml} />
            <span class="changes-legend" aria-hidden="true">
              <ins>added</ins> <del>removed</del>
            </span>
          </div>
        )}
      </div>
      {/* Focused first, so that the arrow and page keys scroll through the changes at once. */}
      <div
        class="changes-body"
        role="region"
        aria-label="Changes"
        tabIndex={0}
        data-autofocus
        aria-busy={state.kind === 'loading' || (state.kind === 'shown' && !state.changes)}
      >
        {state.kind === 'loading' && <p class="loading">Loading...</p>}
        {state.kind === 'none' && (
          <p class="changes-empty" role="status">
            {kNoEarlierVersion}
          </p>
        )}
        {state.kind === 'failed' && <p class="changes-empty">The changes could not be read.</p>}
        {state.kind === 'shown' && !state.changes && <p class="loading">Loading...</p>}
        {state.kind === 'shown' &&
          state.changes?.documents.map((doc, i) => (
            <DocumentView key={`${i}:${doc.address}`} doc={doc} index={i} wholeText={wholeText} showHtml={showHtml} />
          ))}
      </div>
      <Buttons>
        <Button label="Close" onClick={close} />
      </Buttons>
    </Dialog>
  );
}

function wordCount(runs: DiffRun[], kind: DiffRun['kind']) {
  return runs.filter((r) => r.kind === kind).reduce((n, r) => n + r.text.split(/\s+/).filter(Boolean).length, 0);
}

function plural(n: number, word: string) {
  return `${n} ${word}${n === 1 ? '' : 's'}`;
}

export function changeSummary(doc: DocumentChanges): string {
  if (!doc.changed) return 'The text has not changed.';
  const added = wordCount(doc.text, 'added');
  const removed = wordCount(doc.text, 'removed');
  return `${plural(added, 'word')} added, ${plural(removed, 'word')} removed`;
}

function DocumentView({ doc, index, wholeText, showHtml }: { doc: DocumentChanges; index: number; wholeText: boolean; showHtml: boolean }) {
  const headId = `changes-doc-${index}`;
  const name = index === 0 ? 'Page' : `Frame ${index}`;
  return (
    <section class={`changes-doc${doc.changed ? ' changed' : ''}`} aria-labelledby={headId}>
      <h3 id={headId} class="changes-doc-head">
        {name}
      </h3>
      <p class="changes-summary">
        {index > 0 && <span class="changes-frame-address">{doc.address} </span>}
        {changeSummary(doc)}
      </p>
      {(doc.changed || wholeText) && (
        <div class="diff-text">
          <DiffRuns runs={doc.text} whole={wholeText} />
        </div>
      )}
      {showHtml && <HtmlDiff lines={doc.html} label={`HTML changes of the ${name.toLowerCase()}`} />}
    </section>
  );
}

// Shortens a long unchanged run to the text beside its neighbouring changes, at word bounds.
export function shortenSame(text: string, before: boolean, after: boolean): string {
  if (text.length <= kContextChars * 2 + 40) return text;
  const head = (t: string) => t.slice(0, t.lastIndexOf(' ', kContextChars) > 0 ? t.lastIndexOf(' ', kContextChars) : kContextChars);
  const tail = (t: string) => {
    const from = t.indexOf(' ', t.length - kContextChars);
    return t.slice(from > 0 ? from : t.length - kContextChars);
  };
  if (before && after) return `${head(text)} … ${tail(text)}`;
  if (before) return `${head(text)} …`;
  if (after) return `…${tail(text)}`;
  return `${head(text)} …`;
}

function DiffRuns({ runs, whole }: { runs: DiffRun[]; whole: boolean }) {
  return (
    <>
      {runs.map((run, i) => {
        if (run.kind !== 'same') {
          // Spaces and line breaks around the words stay outside their mark.
          const words = run.text.trim();
          const lead = words ? run.text.slice(0, run.text.indexOf(words)) : run.text;
          const trail = words ? run.text.slice(lead.length + words.length) : '';
          const Mark = run.kind === 'added' ? 'ins' : 'del';
          return (
            <Fragment key={i}>
              {lead}
              {words && (
                <Mark>
                  <span class="sr-only">[{run.kind}: </span>
                  {words}
                  <span class="sr-only">]</span>
                </Mark>
              )}
              {trail}
            </Fragment>
          );
        }
        const text = whole ? run.text : shortenSame(run.text, i > 0, i < runs.length - 1);
        return <span key={i}>{text}</span>;
      })}
    </>
  );
}

function HtmlDiff({ lines, label }: { lines: string[]; label: string }) {
  if (!lines.length) return <p class="changes-summary">The HTML has not changed.</p>;
  return (
    <div role="group" aria-label={label}>
    <pre class="html-diff" tabIndex={0}>
      {lines.map((line, i) => {
        const body = `${line}\n`;
        if (line.startsWith('@@')) return <span key={i} class="hunk">{body}</span>;
        if (line.startsWith('+')) return <ins key={i}>{body}</ins>;
        if (line.startsWith('-')) return <del key={i}>{body}</del>;
        return <span key={i}>{body}</span>;
      })}
    </pre>
    </div>
  );
}
