// The API over native messaging, for the browser extension: the browser starts
// `tidewell native-host` for a port and carries each message as JSON. One port carries the
// requests and their replies and, after `events.subscribe`, the events. The port is opened on
// first use; when the host goes away every waiting call fails and, while someone listens, a new
// port is opened after a pause, which starts the events again from `loading`.
import { ApiError, TransportError, type EventHandlers, type Transport } from './transport';
import type { ErrorBody, ServerEvent } from './types';

// What the transport needs of a browser's native port (chrome.runtime.Port and Firefox's alike).
export interface NativePort {
  postMessage(message: object): void;
  disconnect(): void;
  onMessage: { addListener(listener: (message: unknown) => void): void };
  onDisconnect: { addListener(listener: () => void): void };
}

// Opens a port to the host; `lastError` tells why a port went away, where the browser says.
export interface NativeConnector {
  connect(): NativePort;
  lastError?(): string | undefined;
}

const kSubscribeMethod = 'events.subscribe';
const kRetryFirstMs = 250;
const kRetryMaxMs = 4000;

interface Waiting {
  resolve(result: unknown): void;
  reject(error: Error): void;
}

interface Reply {
  id?: number | string;
  result?: unknown;
  error?: ErrorBody;
  event?: string;
  data?: unknown;
}

export class NativeTransport implements Transport {
  private port: NativePort | null = null;
  private nextId = 1;
  private waiting = new Map<number, Waiting>();
  private handlers: EventHandlers | null = null;
  private retryMs = kRetryFirstMs;
  private retryTimer: ReturnType<typeof setTimeout> | undefined;

  constructor(private readonly connector: NativeConnector) {}

  call(method: string, params: object): Promise<unknown> {
    let port: NativePort;
    try {
      port = this.open();
    } catch (e) {
      return Promise.reject(new TransportError(`Tidewell does not answer (${String(e)})`));
    }
    return this.send(port, method, params);
  }

  listen(handlers: EventHandlers): () => void {
    this.handlers = handlers;
    handlers.onConnection('connecting');
    if (this.port) this.subscribe(this.port);
    else this.reconnect();
    return () => {
      this.handlers = null;
      clearTimeout(this.retryTimer);
      const port = this.port;
      this.port = null;
      this.failAll('the window closed');
      port?.disconnect();
    };
  }

  private send(port: NativePort, method: string, params: object): Promise<unknown> {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject });
      try {
        port.postMessage({ id, method, params });
      } catch (e) {
        this.waiting.delete(id);
        reject(new TransportError(`Tidewell does not answer (${String(e)})`));
      }
    });
  }

  private open(): NativePort {
    if (this.port) return this.port;
    const port = this.connector.connect();
    this.port = port;
    port.onMessage.addListener((message) => this.receive(port, message as Reply));
    port.onDisconnect.addListener(() => this.lost(port));
    if (this.handlers) this.subscribe(port);
    return port;
  }

  private subscribe(port: NativePort) {
    this.send(port, kSubscribeMethod, {}).then(
      () => {
        if (port !== this.port) return;
        this.retryMs = kRetryFirstMs;
        this.handlers?.onConnection('open');
      },
      () => undefined, // the port's end reports the loss
    );
  }

  private receive(port: NativePort, message: Reply) {
    if (port !== this.port || typeof message !== 'object' || message === null) return;
    if (typeof message.event === 'string') {
      this.handlers?.onEvent({ event: message.event, data: message.data ?? {} } as ServerEvent);
      return;
    }
    if (typeof message.id !== 'number') return;
    const waiting = this.waiting.get(message.id);
    if (!waiting) return;
    this.waiting.delete(message.id);
    if (message.error) waiting.reject(new ApiError(message.error));
    else waiting.resolve(message.result ?? {});
  }

  private lost(port: NativePort) {
    if (port !== this.port) return;
    this.port = null;
    this.failAll(this.connector.lastError?.() ?? 'the host ended');
    if (!this.handlers) return;
    this.handlers.onConnection('lost');
    this.retryTimer = setTimeout(() => this.reconnect(), this.retryMs);
    this.retryMs = Math.min(this.retryMs * 2, kRetryMaxMs);
  }

  private reconnect() {
    try {
      this.open();
    } catch {
      if (!this.handlers) return;
      this.handlers.onConnection('lost');
      this.retryTimer = setTimeout(() => this.reconnect(), this.retryMs);
      this.retryMs = Math.min(this.retryMs * 2, kRetryMaxMs);
    }
  }

  private failAll(why: string) {
    const waiting = [...this.waiting.values()];
    this.waiting.clear();
    for (const w of waiting) w.reject(new TransportError(`Tidewell does not answer (${why})`));
  }
}
