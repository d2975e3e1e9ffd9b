// The one seam between the UI and whatever carries the API: HTTP and Server-Sent Events from
// `tidewell serve` in a browser tab, a native-messaging port inside the browser extension.
import type { ErrorBody, ServerEvent } from './types';

export type ConnectionState = 'connecting' | 'open' | 'lost';

export interface EventHandlers {
  onEvent(event: ServerEvent): void;
  onConnection(state: ConnectionState): void;
}

export interface Transport {
  // Resolves with the result; rejects with ApiError (the service refused) or TransportError.
  call(method: string, params: object): Promise<unknown>;
  // Starts the event stream, reconnecting by itself; returns the function that ends it.
  listen(handlers: EventHandlers): () => void;
}

export class ApiError extends Error {
  constructor(readonly body: ErrorBody) {
    super(body.message);
  }
}

export class TransportError extends Error {}
