// The task pane beside the list: the tasks for the selected page (or the general ones), the
// details of the page or the state of checking, and links. Each section folds away; the folding
// is saved.
import type { ComponentChildren } from 'preact';
import { Cmd, type CommandId } from '../commands';
import type { Controller } from '../controller';
import { formatTime, IconState } from '../model/format';
import { kStatusChecking, kStatusReady, kUpdated } from '../strings';
import { Chevron, PageGlyph } from './icons';
import { useSource } from './use-source';

const kPageTasks: [string, CommandId][] = [
  ['Open this page', Cmd.Open],
  ['See what changed', Cmd.ShowChanges],
  ['Clear this page', Cmd.ClearUpdateFlag],
  ['Fix this page', Cmd.SmartUpdateWizard],
  ['Reset this page', Cmd.Reset],
  ['Rename this page', Cmd.Rename],
  ['Delete this page', Cmd.Delete],
];
const kTasks: [string, CommandId][] = [
  ['Add a page', Cmd.AddPage],
  ['Refresh pages', Cmd.Refresh],
  ['Import pages', Cmd.Import],
  ['Tell a Friend', Cmd.TellAFriend],
];

function Section({
  c,
  index,
  title,
  children,
}: {
  c: Controller;
  index: 0 | 1 | 2;
  title: string;
  children: ComponentChildren;
}) {
  const open = c.settings.taskPaneOpen[index];
  const id = `task-section-${index}`;
  return (
    <section class={`task-section${open ? ' open' : ''}`} aria-labelledby={`${id}-head`}>
      <h2 class="task-head">
        <button type="button" id={`${id}-head`} aria-expanded={open} aria-controls={id} onClick={() => c.toggleTaskSection(index)}>
          <span>{title}</span>
          <Chevron open={open} />
        </button>
      </h2>
      <div id={id} class="task-body" hidden={!open}>
        {children}
      </div>
    </section>
  );
}

export function TaskPane({ c }: { c: Controller }) {
  useSource(c);
  useSource(c.store);
  const entry = c.selectedEntry();
  const page = entry?.page;
  const pending = !!page?.pending;
  const link = ([text, command]: [string, CommandId]) => {
    const disabled = pending && (command === Cmd.Reset || command === Cmd.Rename || command === Cmd.Delete || command === Cmd.ShowChanges);
    return (
      <li key={text}>
        <button
          type="button"
          class="task-link"
          disabled={disabled}
          onClick={(e) => void c.run(command, { entry, shiftKey: e.shiftKey })}
        >
          {text}
        </button>
      </li>
    );
  };
  return (
    <aside class="task-pane" aria-label="Task pane">
      <Section c={c} index={0} title={page ? 'Page Tasks' : 'Tasks'}>
        <ul class="task-links">{(page ? kPageTasks : kTasks).map(link)}</ul>
      </Section>
      <Section c={c} index={1} title="Details">
        {page ? (
          <div class="details">
            <PageGlyph state={page.updated ? IconState.Updated : IconState.Normal} size={32} />
            <div>
              <div class="details-title">{page.title}</div>
              {page.updatedTime && (
                <div class="details-line">
                  {kUpdated}:<br />
                  {formatTime(page.updatedTime)}
                </div>
              )}
            </div>
          </div>
        ) : (
          <div class="details">
            <div>
              Status:
              <div class={`details-status${c.store.checking ? ' checking' : ''}`}>
                {c.store.checking ? kStatusChecking : kStatusReady}
              </div>
            </div>
          </div>
        )}
      </Section>
      <Section c={c} index={2} title="Internet Links">
        <ul class="task-links">
          <li>
            <a class="task-link" href="help.html" target="_blank" rel="noopener">
              Tidewell Help
            </a>
          </li>
          <li>
            <a class="task-link" href="help.html#smart-update" target="_blank" rel="noopener">
              About Smart Update
            </a>
          </li>
        </ul>
      </Section>
    </aside>
  );
}
