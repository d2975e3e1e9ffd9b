// Pop-up menus: the item menu, the view menu, the toolbar menu and the toolbar's overflow.
// Keyboard as on the desktop: arrows, Home/End, Enter, Escape, Right/Left for the submenu and
// the underlined letter of an item.
import { useEffect, useLayoutEffect, useRef, useState } from 'preact/hooks';
import { Chevron } from './icons';
import { Mn, parseMnemonic } from './mnemonic';

export interface MenuSelectInfo {
  shiftKey: boolean;
}

export type MenuEntry =
  | {
      type: 'item';
      label: string;
      onSelect: (info: MenuSelectInfo) => void;
      disabled?: boolean;
      checked?: boolean;
      checkKind?: 'check' | 'radio';
      shortcut?: string;
      tip?: string;
    }
  | { type: 'separator' }
  | { type: 'submenu'; label: string; items: MenuEntry[] };

export interface MenuRequest {
  items: MenuEntry[];
  x: number;
  y: number;
  label: string;
  returnFocus?: HTMLElement | null;
  onClose?: () => void;
}

export class MenuHost {
  current: MenuRequest | null = null;
  private listeners = new Set<() => void>();

  open(request: MenuRequest) {
    this.current = request;
    this.changed();
  }

  close(restoreFocus = true) {
    const closing = this.current;
    if (!closing) return;
    this.current = null;
    this.changed();
    closing.onClose?.();
    if (restoreFocus) closing.returnFocus?.focus();
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  private changed() {
    for (const listener of this.listeners) listener();
  }
}

export function MenuLayer({ host }: { host: MenuHost }) {
  const [, setVersion] = useState(0);
  useEffect(() => host.subscribe(() => setVersion((v) => v + 1)), [host]);
  useEffect(() => {
    if (!host.current) return;
    const away = (e: Event) => {
      if (!(e.target as Element).closest?.('.menu')) host.close(false);
    };
    const blur = () => host.close(false);
    document.addEventListener('mousedown', away, true);
    window.addEventListener('blur', blur);
    window.addEventListener('resize', blur);
    return () => {
      document.removeEventListener('mousedown', away, true);
      window.removeEventListener('blur', blur);
      window.removeEventListener('resize', blur);
    };
  });
  const request = host.current;
  if (!request) return null;
  return (
    <PopupMenu
      key={request}
      items={request.items}
      x={request.x}
      y={request.y}
      label={request.label}
      onDone={(restore) => host.close(restore)}
      onBack={() => host.close(true)}
    />
  );
}

interface PopupProps {
  items: MenuEntry[];
  x: number;
  y: number;
  leftOf?: number; // a submenu with no room on the right opens to the left of this edge
  label: string;
  onDone: (restoreFocus: boolean) => void;
  onBack: () => void;
}

function isActionable(entry: MenuEntry) {
  return entry.type !== 'separator' && !(entry.type === 'item' && entry.disabled);
}

function PopupMenu({ items, x, y, leftOf, label, onDone, onBack }: PopupProps) {
  const ref = useRef<HTMLDivElement>(null);
  const [active, setActive] = useState(() => items.findIndex(isActionable));
  const [openSub, setOpenSub] = useState<number | null>(null);
  const [pos, setPos] = useState({ x, y });

  useLayoutEffect(() => {
    const el = ref.current;
    if (!el) return;
    const r = el.getBoundingClientRect();
    const room = window.innerWidth - r.width - 4;
    const nx = Math.max(4, x > room && leftOf !== undefined ? leftOf - r.width + 2 : Math.min(x, room));
    const ny = Math.max(4, Math.min(y, window.innerHeight - r.height - 4));
    if (nx !== pos.x || ny !== pos.y) setPos({ x: nx, y: ny });
  }, [x, y]);

  useEffect(() => {
    if (openSub !== null) return;
    const el = ref.current?.querySelectorAll<HTMLElement>(':scope > [role^="menuitem"]')[active];
    (el ?? ref.current)?.focus();
  }, [active, openSub]);

  const move = (delta: number) => {
    const n = items.length;
    let i = active;
    for (let step = 0; step < n; step++) {
      i = (i + delta + n) % n;
      if (isActionable(items[i])) break;
    }
    setActive(i);
  };

  const activate = (i: number, shiftKey: boolean) => {
    const entry = items[i];
    if (entry.type === 'submenu') {
      setActive(i);
      setOpenSub(i);
    } else if (entry.type === 'item' && !entry.disabled) {
      onDone(true);
      entry.onSelect({ shiftKey });
    }
  };

  const keyDown = (e: KeyboardEvent) => {
    if (openSub !== null) return;
    const key = e.key;
    let handled = true;
    if (key === 'ArrowDown') move(1);
    else if (key === 'ArrowUp') move(-1);
    else if (key === 'Home') setActive(items.findIndex(isActionable));
    else if (key === 'End') setActive(items.length - 1 - [...items].reverse().findIndex(isActionable));
    else if (key === 'Enter' || key === ' ') activate(active, e.shiftKey);
    else if (key === 'ArrowRight' && items[active]?.type === 'submenu') setOpenSub(active);
    else if (key === 'Escape' || key === 'ArrowLeft') onBack();
    else if (key === 'Tab') onDone(false);
    else if (key.length === 1) {
      const letter = key.toLowerCase();
      const i = items.findIndex((it) => it.type !== 'separator' && isActionable(it) && parseMnemonic(it.label).key === letter);
      if (i >= 0) activate(i, e.shiftKey);
    } else handled = false;
    if (handled) {
      e.preventDefault();
      e.stopPropagation();
    }
  };

  return (
    <div
      ref={ref}
      class="menu"
      role="menu"
      aria-label={label}
      tabIndex={-1}
      style={{ left: `${pos.x}px`, top: `${pos.y}px` }}
      onKeyDown={keyDown}
      onContextMenu={(e) => e.preventDefault()}
    >
      {items.map((entry, i) => {
        if (entry.type === 'separator') return <div key={i} role="separator" class="menu-separator" />;
        const { text } = parseMnemonic(entry.label);
        if (entry.type === 'submenu') {
          return (
            <div
              key={i}
              role="menuitem"
              aria-haspopup="menu"
              aria-expanded={openSub === i}
              aria-label={text}
              tabIndex={-1}
              class={`menu-item${active === i ? ' active' : ''}`}
              onMouseEnter={() => {
                setActive(i);
                setOpenSub(i);
              }}
              onClick={() => setOpenSub(i)}
            >
              <span class="menu-check" />
              <span class="menu-label">
                <Mn label={entry.label} />
              </span>
              <Chevron open={false} />
              {openSub === i && (
                <SubMenu
                  items={entry.items}
                  label={text}
                  parent={ref}
                  index={i}
                  onDone={onDone}
                  onBack={() => setOpenSub(null)}
                />
              )}
            </div>
          );
        }
        const role = entry.checkKind === 'radio' ? 'menuitemradio' : entry.checkKind === 'check' ? 'menuitemcheckbox' : 'menuitem';
        return (
          <div
            key={i}
            role={role}
            aria-checked={entry.checkKind ? !!entry.checked : undefined}
            aria-disabled={entry.disabled || undefined}
            aria-keyshortcuts={entry.shortcut}
            aria-label={text}
            title={entry.tip}
            tabIndex={-1}
            class={`menu-item${active === i ? ' active' : ''}${entry.disabled ? ' disabled' : ''}`}
            onMouseEnter={() => {
              setActive(i);
              setOpenSub(null);
            }}
            onClick={(e) => activate(i, e.shiftKey)}
          >
            <span class="menu-check" aria-hidden="true">
              {entry.checked ? (entry.checkKind === 'radio' ? '\u25CF' : '\u2713') : ''}
            </span>
            <span class="menu-label">
              <Mn label={entry.label} />
            </span>
            {entry.shortcut && (
              <span class="menu-shortcut" aria-hidden="true">
                {entry.shortcut}
              </span>
            )}
          </div>
        );
      })}
    </div>
  );
}

function SubMenu({
  items,
  label,
  parent,
  index,
  onDone,
  onBack,
}: {
  items: MenuEntry[];
  label: string;
  parent: { current: HTMLDivElement | null };
  index: number;
  onDone: (restore: boolean) => void;
  onBack: () => void;
}) {
  const row = parent.current?.querySelectorAll<HTMLElement>(':scope > [role^="menuitem"]')[index];
  const r = row?.getBoundingClientRect();
  return (
    <div onClick={(e) => e.stopPropagation()}>
      <PopupMenu
        items={items}
        x={r ? r.right - 2 : 0}
        y={r ? r.top - 4 : 0}
        leftOf={r ? r.left : undefined}
        label={label}
        onDone={onDone}
        onBack={() => {
          onBack();
          row?.focus();
        }}
      />
    </div>
  );
}
