// Labelled form controls. Labels carry the "&" of their access key; the control gets the key.
import type { ButtonHTMLAttributes, ComponentChildren } from 'preact';
import { useState } from 'preact/hooks';
import { Mn, accessKey } from './mnemonic';

let nextId = 1;
function useId(prefix: string) {
  const [id] = useState(() => `${prefix}-${nextId++}`);
  return id;
}

interface TextFieldProps {
  label: string;
  name: string;
  value: string;
  onInput: (value: string) => void;
  maxLength?: number;
  autoFocus?: boolean;
  readOnly?: boolean;
  invalid?: boolean;
  autoComplete?: string;
  suffix?: ComponentChildren;
}

export function TextField({ label, name, value, onInput, maxLength, autoFocus, readOnly, invalid, autoComplete, suffix }: TextFieldProps) {
  const id = useId(name);
  return (
    <div class="field">
      <label for={id}>
        <Mn label={label} />
      </label>
      <div class="field-control">
        <input
          id={id}
          name={name}
          type="text"
          value={value}
          maxLength={maxLength}
          accessKey={accessKey(label)}
          data-autofocus={autoFocus || undefined}
          readOnly={readOnly}
          aria-invalid={invalid || undefined}
          autoComplete={autoComplete ?? 'off'}
          spellcheck={false}
          onInput={(e) => onInput((e.target as HTMLInputElement).value)}
        />
        {suffix}
      </div>
    </div>
  );
}

interface NumberFieldProps {
  label: string;
  name: string;
  value: string;
  onInput: (value: string) => void;
  min: number;
  max: number;
  unit?: string;
  disabled?: boolean;
  invalid?: boolean;
  labelId?: string;
}

// A number with an up-down control: the arrows keep to the range; typing is checked on OK.
export function NumberField({ label, name, value, onInput, min, max, unit, disabled, invalid, labelId }: NumberFieldProps) {
  const id = useId(name);
  return (
    <div class={`field number-field${disabled ? ' disabled' : ''}`}>
      <label for={id} id={labelId}>
        <Mn label={label} />
      </label>
      <div class="field-control">
        <input
          id={id}
          name={name}
          type="number"
          inputMode="numeric"
          min={min}
          max={max}
          step={1}
          value={value}
          disabled={disabled}
          accessKey={accessKey(label)}
          aria-invalid={invalid || undefined}
          onInput={(e) => onInput((e.target as HTMLInputElement).value)}
        />
        {unit && <span class="unit">{unit}</span>}
      </div>
    </div>
  );
}

export function Checkbox({
  label,
  name,
  checked,
  onChange,
  disabled,
}: {
  label: string;
  name?: string;
  checked: boolean;
  onChange: (checked: boolean) => void;
  disabled?: boolean;
}) {
  return (
    <label class={`check${disabled ? ' disabled' : ''}`}>
      <input
        type="checkbox"
        name={name}
        checked={checked}
        disabled={disabled}
        accessKey={accessKey(label)}
        onChange={(e) => onChange((e.target as HTMLInputElement).checked)}
      />
      <span>
        <Mn label={label} />
      </span>
    </label>
  );
}

export function Radio({
  label,
  name,
  checked,
  onSelect,
  disabled,
  describedBy,
  children,
}: {
  label: string;
  name: string;
  checked: boolean;
  onSelect: () => void;
  disabled?: boolean;
  describedBy?: string;
  children?: ComponentChildren;
}) {
  return (
    <label class={`check radio${disabled ? ' disabled' : ''}`}>
      <input
        type="radio"
        name={name}
        checked={checked}
        disabled={disabled}
        accessKey={accessKey(label)}
        aria-describedby={describedBy}
        onChange={() => onSelect()}
      />
      <span>
        <Mn label={label} />
      </span>
      {children}
    </label>
  );
}

export function Group({ legend, children, class: cls }: { legend: string; children: ComponentChildren; class?: string }) {
  return (
    <fieldset class={`group ${cls ?? ''}`}>
      <legend>{legend}</legend>
      {children}
    </fieldset>
  );
}

// A read-only value beside its label, as a dialog shows the times of a page.
export function InfoRow({ label, value }: { label: string; value: string }) {
  const id = useId('info');
  return (
    <div class="field info-row">
      <span class="label" id={id}>
        {label}
      </span>
      <output class="info-value" aria-labelledby={id}>
        {value}
      </output>
    </div>
  );
}

export function Buttons({ children }: { children: ComponentChildren }) {
  return <div class="buttons">{children}</div>;
}

// The OK button, which submits the dialog's form, and Cancel.
export function OkCancel({ okDisabled, onCancel }: { okDisabled?: boolean; onCancel: () => void }) {
  return (
    <Buttons>
      <Button label="OK" type="submit" disabled={okDisabled} />
      <Button label="Cancel" onClick={onCancel} />
    </Buttons>
  );
}

export function Button({
  label,
  onClick,
  type = 'button',
  disabled,
  ...rest
}: { label: string; onClick?: (e: MouseEvent) => void; type?: 'button' | 'submit'; disabled?: boolean } & Omit<
  ButtonHTMLAttributes<HTMLButtonElement>,
  'label' | 'onClick' | 'type'
>) {
  return (
    <button type={type} onClick={onClick} disabled={disabled} accessKey={accessKey(label)} {...rest}>
      <Mn label={label} />
    </button>
  );
}

// Puts the focus on the form control with this name and selects its text.
export function focusField(root: Element | null, name: string | undefined) {
  if (!root || !name) return;
  const el = root.querySelector<HTMLInputElement>(`[name="${name}"]`);
  if (!el) return;
  el.focus();
  if (el.type === 'text' || el.type === 'number') el.select();
}
