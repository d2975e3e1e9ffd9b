// The toolbar: Add Page, Refresh (Stop while a check runs), Import, Options, Tell a Friend and
// Help; small or large buttons, with or without text. Buttons that do not fit are offered in a
// menu behind "More". Its own context menu sets the button size and text.
import { useLayoutEffect, useRef, useState } from 'preact/hooks';
import { Cmd, type CommandId, kCommandText } from '../commands';
import type { Controller } from '../controller';
import { ToolGlyph, type ToolIcon } from './icons';
import { plainText } from './mnemonic';
import { useSource } from './use-source';

type Slot = { command: CommandId; icon: ToolIcon } | 'separator';

function slots(c: Controller): Slot[] {
  const refresh: Slot = c.store.checking ? { command: Cmd.Stop, icon: 'stop' } : { command: Cmd.Refresh, icon: 'refresh' };
  return [
    { command: Cmd.AddPage, icon: 'add' },
    ...(c.host.currentPage ? [{ command: Cmd.AddCurrentPage, icon: 'addCurrent' } as Slot] : []),
    refresh,
    'separator',
    { command: Cmd.Import, icon: 'import' },
    { command: Cmd.Options, icon: 'options' },
    { command: Cmd.TellAFriend, icon: 'friend' },
    'separator',
    { command: Cmd.Help, icon: 'help' },
  ];
}

export function Toolbar({ c }: { c: Controller }) {
  useSource(c);
  useSource(c.store);
  const bar = useRef<HTMLDivElement>(null);
  const measure = useRef<HTMLDivElement>(null);
  const [fits, setFits] = useState(Number.MAX_SAFE_INTEGER);
  const [focusIndex, setFocusIndex] = useState(0);
  const { largeButtons, buttonText } = c.settings;
  const all = slots(c);
  const size = largeButtons ? 24 : 16;

  // How many slots fit: measured on a hidden copy of the whole row.
  useLayoutEffect(() => {
    const compute = () => {
      const row = measure.current;
      const host = bar.current;
      if (!row || !host) return;
      const widths = [...row.children].map((el) => (el as HTMLElement).getBoundingClientRect().width + 2);
      const more = widths.pop() ?? 40;
      const busy = 28;
      const available = host.clientWidth - busy - 8;
      const total = widths.reduce((a, b) => a + b, 0);
      if (total <= available) return setFits(widths.length);
      let used = more;
      let k = 0;
      while (k < widths.length && used + widths[k] <= available) used += widths[k++];
      setFits(k);
    };
    compute();
    const observer = new ResizeObserver(compute);
    if (bar.current) observer.observe(bar.current);
    return () => observer.disconnect();
  }, [largeButtons, buttonText, all.length, c.store.checking]);

  let shown = all.slice(0, fits);
  while (shown.length && shown[shown.length - 1] === 'separator') shown = shown.slice(0, -1);
  const overflow = all.slice(fits).filter((s): s is Exclude<Slot, 'separator'> => s !== 'separator');
  const buttons = shown.filter((s) => s !== 'separator').length + (overflow.length ? 1 : 0);

  const keyDown = (e: KeyboardEvent) => {
    const items = [...(bar.current?.querySelectorAll<HTMLElement>('.tool-row > .tool') ?? [])];
    const at = items.indexOf(document.activeElement as HTMLElement);
    let to = -1;
    if (e.key === 'ArrowRight') to = (at + 1) % items.length;
    else if (e.key === 'ArrowLeft') to = (at - 1 + items.length) % items.length;
    else if (e.key === 'Home') to = 0;
    else if (e.key === 'End') to = items.length - 1;
    if (to < 0 || at < 0) return;
    e.preventDefault();
    setFocusIndex(to);
    items[to].focus();
  };

  const contextMenu = (e: MouseEvent) => {
    e.preventDefault();
    c.menus.open({
      items: c.toolbarMenu(),
      x: e.clientX,
      y: e.clientY,
      label: 'Toolbar',
      returnFocus: document.activeElement as HTMLElement,
    });
  };

  const openOverflow = (e: MouseEvent) => {
    const r = (e.currentTarget as HTMLElement).getBoundingClientRect();
    c.menus.open({
      label: 'More',
      x: r.left,
      y: r.bottom + 2,
      returnFocus: e.currentTarget as HTMLElement,
      items: overflow.map((slot) => ({
        type: 'item' as const,
        label: kCommandText[slot.command].text.replace(/&/g, ''),
        onSelect: () => void c.run(slot.command),
      })),
    });
  };

  let index = 0;
  const tool = (slot: Exclude<Slot, 'separator'>, focusable: boolean) => {
    const name = plainText(kCommandText[slot.command].text);
    const myIndex = focusable ? index++ : -1;
    return (
      <button
        key={slot.command}
        type="button"
        class={`tool${buttonText ? ' with-text' : ''}`}
        aria-label={buttonText ? undefined : name}
        title={name}
        tabIndex={focusable ? (myIndex === Math.min(focusIndex, buttons - 1) ? 0 : -1) : -1}
        onClick={() => void c.run(slot.command)}
      >
        <ToolGlyph icon={slot.icon} size={size} />
        {buttonText && <span class="tool-text">{name}</span>}
      </button>
    );
  };

  return (
    <div
      ref={bar}
      class={`toolbar ${largeButtons ? 'large' : 'small'}`}
      role="toolbar"
      aria-label="Toolbar"
      onKeyDown={keyDown}
      onContextMenu={contextMenu}
    >
      <div class="tool-row">
        {shown.map((slot, i) => (slot === 'separator' ? <span key={`s${i}`} class="tool-separator" /> : tool(slot, true)))}
        {overflow.length > 0 && (
          <button
            type="button"
            class="tool more"
            aria-label="More"
            title="More"
            aria-haspopup="menu"
            tabIndex={index === Math.min(focusIndex, buttons - 1) ? 0 : -1}
            onClick={openOverflow}
          >
            <ToolGlyph icon="more" size={size} />
          </button>
        )}
      </div>
      <span class={`busy${c.store.checking ? ' on' : ''}`} aria-hidden="true" title={c.store.checking ? 'Checking pages...' : ''} />
      <div ref={measure} class="tool-row measure" aria-hidden="true" inert>
        {all.map((slot, i) =>
          slot === 'separator' ? <span key={`m${i}`} class="tool-separator" /> : tool(slot, false),
        )}
        <button type="button" class="tool more" tabIndex={-1}>
          <ToolGlyph icon="more" size={size} />
        </button>
      </div>
    </div>
  );
}
