// The main window: toolbar, filter and page list, the task pane beside them, and the layers of
// dialogs and menus above.
import { useEffect } from 'preact/hooks';
import { Cmd } from '../commands';
import type { Controller } from '../controller';
import { kStatusChecking, kStatusReady, msg } from '../strings';
import { FilterBar } from './filter-bar';
import { MenuLayer } from './menu';
import { ModalLayer } from './modals';
import { PageList } from './page-list';
import { TaskPane } from './task-pane';
import { Toolbar } from './toolbar';
import { useSource } from './use-source';

export function App({ c }: { c: Controller }) {
  useSource(c);
  useSource(c.store);
  useSource(c.modals);

  useEffect(() => {
    const keyDown = (e: KeyboardEvent) => {
      if (e.key === 'Alt') document.body.classList.add('show-keys');
      if (e.key === 'F5' && !e.ctrlKey && !e.shiftKey && !e.altKey) {
        e.preventDefault();
        if (!c.modals.count) void c.run(c.store.checking ? Cmd.Stop : Cmd.Refresh);
      }
    };
    const keyUp = (e: KeyboardEvent) => {
      if (e.key === 'Alt') document.body.classList.remove('show-keys');
    };
    const blur = () => document.body.classList.remove('show-keys');
    window.addEventListener('keydown', keyDown);
    window.addEventListener('keyup', keyUp);
    window.addEventListener('blur', blur);
    return () => {
      window.removeEventListener('keydown', keyDown);
      window.removeEventListener('keyup', keyUp);
      window.removeEventListener('blur', blur);
    };
  }, [c]);

  useEffect(() => {
    const count = c.store.updatedCount;
    document.title = count ? `Tidewell (${count})` : 'Tidewell';
  });

  const showTasks = c.settings.showTasks;
  return (
    <>
      <div class={`app${showTasks ? ' with-tasks' : ''}`} inert={c.modals.count > 0}>
        <Toolbar c={c} />
        {c.connection === 'lost' && (
          <div class="banner" role="alert">
            {c.host.lostMessage ?? msg.lost}
          </div>
        )}
        <div class="main">
          {showTasks && <TaskPane c={c} />}
          <main class="list-area" aria-label="Pages">
            <FilterBar c={c} />
            <PageList c={c} />
          </main>
        </div>
        <div class="sr-only" role="status" aria-live="polite">
          {c.store.loaded ? (c.store.checking ? kStatusChecking : kStatusReady) : ''}
        </div>
        <div class="sr-only" aria-live="polite">
          {c.announcement}
        </div>
      </div>
      <ModalLayer modals={c.modals} />
      <MenuLayer host={c.menus} />
    </>
  );
}
