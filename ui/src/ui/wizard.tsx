// A wizard: a dialog that shows one step at a time with Back, Next (Finish on the last step)
// and Cancel. The step's heading is announced as the step changes.
import type { ComponentChildren } from 'preact';
import { useEffect, useRef } from 'preact/hooks';
import { Button, Buttons } from './fields';
import { Dialog } from './modals';

interface WizardProps {
  title: string;
  heading: string;
  subheading?: string;
  step: number;
  steps: number;
  onBack: () => void;
  onNext: () => void;
  onCancel: () => void;
  finishing: boolean; // the last step: Next reads Finish
  busy?: boolean;
  class?: string;
  onKeyDown?: (e: KeyboardEvent) => void;
  children: ComponentChildren;
}

export function Wizard(props: WizardProps) {
  const body = useRef<HTMLDivElement>(null);
  const first = useRef(true);
  useEffect(() => {
    if (first.current) {
      first.current = false;
      return;
    }
    // A new step: the focus moves to its first control, or its heading.
    const root = body.current;
    if (!root) return;
    const target =
      root.querySelector<HTMLElement>('[data-autofocus], input:not([disabled]), select, textarea') ??
      root.querySelector<HTMLElement>('h2');
    target?.focus();
  }, [props.step]);
  return (
    <Dialog title={props.title} class={`wizard ${props.class ?? ''}`} onCancel={props.onCancel} onKeyDown={props.onKeyDown}>
      <form noValidate
        onSubmit={(e) => {
          e.preventDefault();
          if (!props.busy) props.onNext();
        }}
      >
        <div class="wizard-body" ref={body}>
          <div class="wizard-head">
            <h2 tabIndex={-1}>{props.heading}</h2>
            {props.subheading && <p class="note">{props.subheading}</p>}
            <span class="wizard-step" aria-hidden="true">
              {props.step + 1} / {props.steps}
            </span>
          </div>
          <div class="wizard-content">{props.children}</div>
        </div>
        <Buttons>
          <Button label="< &Back" disabled={props.step === 0} onClick={props.onBack} />
          <Button label={props.finishing ? 'Finish' : '&Next >'} type="submit" disabled={props.busy} data-autofocus />
          <Button label="Cancel" onClick={props.onCancel} />
        </Buttons>
      </form>
    </Dialog>
  );
}
