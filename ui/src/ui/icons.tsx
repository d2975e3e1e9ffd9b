// The drawings of the window: toolbar commands, page states, message box icons. All are inline
// SVG in currentColor so that they follow the light or dark theme.
import type { ComponentChildren } from 'preact';
import { IconState } from '../model/format';

function Svg({ size, children, class: cls }: { size: number; children: ComponentChildren; class?: string }) {
  return (
    <svg
      class={cls}
      width={size}
      height={size}
      viewBox="0 0 24 24"
      fill="none"
      stroke="currentColor"
      stroke-width="1.8"
      stroke-linecap="round"
      stroke-linejoin="round"
      aria-hidden="true"
      focusable="false"
    >
      {children}
    </svg>
  );
}

export type ToolIcon =
  | 'add'
  | 'addCurrent'
  | 'refresh'
  | 'stop'
  | 'import'
  | 'options'
  | 'friend'
  | 'help'
  | 'more'
  | 'view'
  | 'panel'
  | 'web';

const kToolPaths: Record<ToolIcon, ComponentChildren> = {
  add: (
    <>
      <path d="M6 3h8l4 4v6" />
      <path d="M14 3v4h4" />
      <path d="M6 3v18h7" />
      <path d="M18 15v6M15 18h6" />
    </>
  ),
  addCurrent: (
    <>
      <rect x="3" y="4" width="18" height="14" rx="2" />
      <path d="M3 8h18M12 10v6M9 13h6" />
    </>
  ),
  refresh: (
    <>
      <path d="M20 11a8 8 0 0 0-14.5-4.5L4 8" />
      <path d="M4 3v5h5" />
      <path d="M4 13a8 8 0 0 0 14.5 4.5L20 16" />
      <path d="M20 21v-5h-5" />
    </>
  ),
  stop: <rect x="6" y="6" width="12" height="12" rx="2" fill="currentColor" stroke="none" />,
  import: (
    <>
      <path d="M12 3v12M7 10l5 5 5-5" />
      <path d="M4 15v4a2 2 0 0 0 2 2h12a2 2 0 0 0 2-2v-4" />
    </>
  ),
  options: (
    <>
      <circle cx="12" cy="12" r="3" />
      <path d="M19.4 15a1.7 1.7 0 0 0 .3 1.8l.1.1a2 2 0 1 1-2.8 2.8l-.1-.1a1.7 1.7 0 0 0-1.8-.3 1.7 1.7 0 0 0-1 1.5V21a2 2 0 1 1-4 0v-.1a1.7 1.7 0 0 0-1.1-1.5 1.7 1.7 0 0 0-1.8.3l-.1.1a2 2 0 1 1-2.8-2.8l.1-.1a1.7 1.7 0 0 0 .3-1.8 1.7 1.7 0 0 0-1.5-1H3a2 2 0 1 1 0-4h.1a1.7 1.7 0 0 0 1.5-1.1 1.7 1.7 0 0 0-.3-1.8l-.1-.1a2 2 0 1 1 2.8-2.8l.1.1a1.7 1.7 0 0 0 1.8.3H9a1.7 1.7 0 0 0 1-1.5V3a2 2 0 1 1 4 0v.1a1.7 1.7 0 0 0 1 1.5 1.7 1.7 0 0 0 1.8-.3l.1-.1a2 2 0 1 1 2.8 2.8l-.1.1a1.7 1.7 0 0 0-.3 1.8V9a1.7 1.7 0 0 0 1.5 1H21a2 2 0 1 1 0 4h-.1a1.7 1.7 0 0 0-1.5 1z" />
    </>
  ),
  friend: (
    <>
      <rect x="3" y="5" width="18" height="14" rx="2" />
      <path d="M3 7l9 6 9-6" />
    </>
  ),
  help: (
    <>
      <circle cx="12" cy="12" r="9" />
      <path d="M9.5 9a2.5 2.5 0 1 1 3.5 2.3c-.6.3-1 .9-1 1.6v.6" />
      <path d="M12 17h.01" />
    </>
  ),
  more: (
    <>
      <path d="M5 12h.01M12 12h.01M19 12h.01" stroke-width="3" />
    </>
  ),
  view: (
    <>
      <path d="M4 6h16M4 12h16M4 18h10" />
    </>
  ),
  panel: (
    <>
      <rect x="3" y="4" width="18" height="16" rx="2" />
      <path d="M14 4v16M16.5 8h2M16.5 11h2" />
    </>
  ),
  web: (
    <>
      <circle cx="12" cy="12" r="9" />
      <path d="M3 12h18M12 3c2.5 2.6 3.8 5.6 3.8 9s-1.3 6.4-3.8 9c-2.5-2.6-3.8-5.6-3.8-9S9.5 5.6 12 3z" />
    </>
  ),
};

export function ToolGlyph({ icon, size }: { icon: ToolIcon; size: number }) {
  return <Svg size={size}>{kToolPaths[icon]}</Svg>;
}

// A page: a sheet with a folded corner, marked by its state.
export function PageGlyph({ state, size }: { state: IconState; size: number }) {
  return (
    <svg
      class={`page-glyph state-${state}`}
      width={size}
      height={size}
      viewBox="0 0 24 24"
      aria-hidden="true"
      focusable="false"
    >
      <path class="sheet" d="M6 2.5h8.5L19 7v14.5H6z" />
      <path class="fold" d="M14.5 2.5V7H19" />
      {state === IconState.Normal && <path class="lines" d="M9 11h7M9 14h7M9 17h5" />}
      {state === IconState.Updated && (
        <>
          <path class="lines" d="M9 11h7M9 14h4" />
          <circle class="badge" cx="17" cy="17.5" r="5" />
          <path class="badge-mark" d="M17 14.8v5.4M14.3 17.5h5.4" />
        </>
      )}
      {state === IconState.Pending && (
        <>
          <circle class="badge" cx="17" cy="17.5" r="5" />
          <path class="badge-mark" d="M17 15v2.6l1.7 1.2" />
        </>
      )}
      {state === IconState.Error && (
        <>
          <path class="lines" d="M9 11h7M9 14h4" />
          <circle class="badge" cx="17" cy="17.5" r="5" />
          <path class="badge-mark" d="M17 14.9v3M17 20.1h.01" />
        </>
      )}
    </svg>
  );
}

export type BoxIcon = 'error' | 'warning' | 'information' | 'question';
export const kBoxIconName: Record<BoxIcon, string> = {
  error: 'Error',
  warning: 'Warning',
  information: 'Information',
  question: 'Question',
};

export function BoxGlyph({ icon }: { icon: BoxIcon }) {
  return (
    <span class={`box-icon box-${icon}`} role="img" aria-label={kBoxIconName[icon]}>
      <Svg size={32}>
        {icon === 'warning' ? (
          <>
            <path d="M12 3l10 18H2z" />
            <path d="M12 10v5M12 18h.01" />
          </>
        ) : (
          <>
            <circle cx="12" cy="12" r="10" />
            {icon === 'error' && <path d="M8.5 8.5l7 7M15.5 8.5l-7 7" />}
            {icon === 'information' && <path d="M12 11v6M12 7.5h.01" />}
            {icon === 'question' && (
              <>
                <path d="M9.5 9a2.5 2.5 0 1 1 3.5 2.3c-.6.3-1 .9-1 1.6v.6" />
                <path d="M12 17h.01" />
              </>
            )}
          </>
        )}
      </Svg>
    </span>
  );
}

export function Chevron({ open }: { open: boolean }) {
  return (
    <Svg size={14} class={open ? 'chevron open' : 'chevron'}>
      <path d="M9 6l6 6-6 6" />
    </Svg>
  );
}
