// The stack of modal dialogs and message boxes. Opening one returns a promise of its result;
// everything beneath the top one is inert, and focus goes back where it was when it closes.
import type { ComponentChildren, VNode } from 'preact';
import { useEffect, useRef, useState } from 'preact/hooks';
import { BoxGlyph, type BoxIcon } from './icons';
import { kCaption } from '../strings';

type Render = (close: (value: unknown) => void) => VNode;

interface ModalEntry {
  id: number;
  render: Render;
  close: (value: unknown) => void;
}

export class Modals {
  private stack: ModalEntry[] = [];
  private nextId = 1;
  private listeners = new Set<() => void>();

  open<T>(render: (close: (value: T) => void) => VNode): Promise<T> {
    const returnFocus = document.activeElement as HTMLElement | null;
    return new Promise<T>((resolve) => {
      const entry: ModalEntry = {
        id: this.nextId++,
        render: render as Render,
        close: (value) => {
          const at = this.stack.indexOf(entry);
          if (at < 0) return;
          this.stack.splice(at, 1);
          this.changed();
          // Give focus back once the dialog is gone; where that control can no longer take it
          // (it went away or was disabled), the dialog beneath takes it, so that its keys work.
          requestAnimationFrame(() => {
            if (returnFocus?.isConnected) returnFocus.focus();
            const dialogs = document.querySelectorAll<HTMLElement>('.backdrop > .dialog');
            const top = dialogs[dialogs.length - 1];
            if (top && !top.contains(document.activeElement)) top.focus();
          });
          resolve(value as T);
        },
      };
      this.stack.push(entry);
      this.changed();
    });
  }

  get count() {
    return this.stack.length;
  }

  entries(): readonly ModalEntry[] {
    return this.stack;
  }

  subscribe(listener: () => void) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  private changed() {
    for (const listener of this.listeners) listener();
  }
}

export function ModalLayer({ modals }: { modals: Modals }) {
  const [, setVersion] = useState(0);
  useEffect(() => modals.subscribe(() => setVersion((v) => v + 1)), [modals]);
  const entries = modals.entries();
  return (
    <>
      {entries.map((entry, i) => (
        <div key={entry.id} class="backdrop" inert={i < entries.length - 1}>
          {entry.render(entry.close)}
        </div>
      ))}
    </>
  );
}

const kFocusable =
  'button:not([disabled]), [href], input:not([disabled]):not([type="hidden"]), select:not([disabled]), textarea:not([disabled]), [tabindex]:not([tabindex="-1"])';

export function focusableIn(root: HTMLElement): HTMLElement[] {
  return [...root.querySelectorAll<HTMLElement>(kFocusable)].filter(
    (el) => el.offsetParent !== null || el === document.activeElement,
  );
}

interface DialogProps {
  title: string;
  role?: 'dialog' | 'alertdialog';
  describedBy?: string;
  class?: string;
  onCancel: () => void;
  onKeyDown?: (e: KeyboardEvent) => void;
  children: ComponentChildren;
}

let nextDialogId = 1;

// A modal window: named by its title, Escape cancels, Tab stays inside.
export function Dialog({ title, role = 'dialog', describedBy, class: cls, onCancel, onKeyDown, children }: DialogProps) {
  const ref = useRef<HTMLDivElement>(null);
  const [titleId] = useState(() => `dialog-title-${nextDialogId++}`);
  useEffect(() => {
    const root = ref.current;
    if (!root) return;
    const first = root.querySelector<HTMLElement>('[data-autofocus]') ?? focusableIn(root)[0] ?? root;
    first.focus();
    if (first instanceof HTMLInputElement && first.type === 'text') first.select();
  }, []);
  const keyDown = (e: KeyboardEvent) => {
    onKeyDown?.(e);
    if (e.defaultPrevented) return;
    if (e.key === 'Escape') {
      e.preventDefault();
      e.stopPropagation();
      onCancel();
    } else if (e.key === 'Tab' && ref.current) {
      const items = focusableIn(ref.current);
      if (!items.length) return;
      const first = items[0];
      const last = items[items.length - 1];
      if (e.shiftKey && document.activeElement === first) {
        e.preventDefault();
        last.focus();
      } else if (!e.shiftKey && document.activeElement === last) {
        e.preventDefault();
        first.focus();
      }
    }
  };
  return (
    <div
      ref={ref}
      class={`dialog ${cls ?? ''}`}
      role={role}
      aria-modal="true"
      aria-labelledby={titleId}
      aria-describedby={describedBy}
      tabIndex={-1}
      onKeyDown={keyDown}
    >
      <div class="dialog-title" id={titleId}>
        {title}
      </div>
      {children}
    </div>
  );
}

export type BoxButtons = 'ok' | 'okCancel' | 'yesNo';
export type BoxAnswer = 'ok' | 'cancel' | 'yes' | 'no';

export interface MessageOptions {
  text: string;
  icon?: BoxIcon | 'none';
  buttons?: BoxButtons;
  onHelp?: () => void;
}

let nextBoxId = 1;

// A message box titled "Tidewell": the exact text, its icon and its buttons.
export function MessageBox({ text, icon = 'none', buttons = 'ok', onHelp, close }: MessageOptions & { close: (a: BoxAnswer) => void }) {
  const [textId] = useState(() => `box-text-${nextBoxId++}`);
  const labels: [BoxAnswer, string][] =
    buttons === 'yesNo' ? [['yes', 'Yes'], ['no', 'No']] : buttons === 'okCancel' ? [['ok', 'OK'], ['cancel', 'Cancel']] : [['ok', 'OK']];
  const cancel: BoxAnswer = buttons === 'yesNo' ? 'no' : buttons === 'okCancel' ? 'cancel' : 'ok';
  return (
    <Dialog title={kCaption} role="alertdialog" describedBy={textId} class="message-box" onCancel={() => close(cancel)}>
      <div class="box-body">
        {icon !== 'none' && <BoxGlyph icon={icon} />}
        <p id={textId} class="box-text">
          {text.replace(/\r\n/g, '\n')}
        </p>
      </div>
      <div class="buttons">
        {labels.map(([answer, label], i) => (
          <button key={answer} type="button" data-autofocus={i === 0 ? true : undefined} onClick={() => close(answer)}>
            {label}
          </button>
        ))}
        {onHelp && (
          <button type="button" onClick={onHelp}>
            Help
          </button>
        )}
      </div>
    </Dialog>
  );
}

export function showMessage(modals: Modals, options: MessageOptions): Promise<BoxAnswer> {
  return modals.open<BoxAnswer>((close) => <MessageBox {...options} close={close} />);
}

// A short tone for a refused field, as the desktop beeps.
let audio: AudioContext | undefined;
export function beep() {
  try {
    audio ??= new AudioContext();
    const tone = audio.createOscillator();
    const gain = audio.createGain();
    tone.frequency.value = 660;
    gain.gain.setValueAtTime(0.08, audio.currentTime);
    gain.gain.exponentialRampToValueAtTime(0.0001, audio.currentTime + 0.12);
    tone.connect(gain).connect(audio.destination);
    tone.start();
    tone.stop(audio.currentTime + 0.12);
  } catch {
    // No sound device: the focus and the field's marking still tell.
  }
}
