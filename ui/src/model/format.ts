// Times in the browser's locale: the short date, one space, the time without seconds.
import type { Page } from '../api/types';
import { kError, kUpdated } from '../strings';

const dateFormat = new Intl.DateTimeFormat(undefined, { dateStyle: 'short' });
const timeFormat = new Intl.DateTimeFormat(undefined, { timeStyle: 'short' });

export function formatTime(iso: string | null | undefined): string {
  if (!iso) return '';
  const when = new Date(iso);
  if (Number.isNaN(when.getTime())) return '';
  return `${dateFormat.format(when)} ${timeFormat.format(when)}`;
}

const kTipAddressLength = 100;

// The tip shown when the pointer rests on a page.
export function infoTip(page: Page): string {
  const address =
    page.address.length > kTipAddressLength ? `${page.address.slice(0, kTipAddressLength)}...` : page.address;
  let tip = `${page.title}\n${address}`;
  if (page.updatedTime) tip += `\n${kUpdated}: ${formatTime(page.updatedTime)}`;
  if (page.error) tip += `\n${kError}: ${page.error.text}`;
  else if (page.updated) tip += `\n${kUpdated}`;
  return tip;
}

export enum IconState {
  Normal = 0,
  Updated = 1,
  Pending = 2,
  Error = 3,
}

export function iconStateOf(page: Page): IconState {
  if (page.error) return IconState.Error;
  if (page.pending) return IconState.Pending;
  if (page.updated) return IconState.Updated;
  return IconState.Normal;
}
