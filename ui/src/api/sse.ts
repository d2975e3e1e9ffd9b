// Server-Sent Events read from a fetch() body. The browser's EventSource dispatches a DOM event
// for every message, which with ten thousand pages arriving at once costs most of a second; here
// a network read is split into its messages in one go. The text arrives in arbitrary pieces: a
// message, a line or a UTF-8 character may be cut anywhere.

export interface SseMessage {
  event: string; // "message" when the block names none
  data: string; // the data lines, joined by line feeds
}

export class SseParser {
  private readonly decoder = new TextDecoder();
  private pending = '';
  private heldCr = false;

  // Takes the next piece of the stream; returns the messages it completes, in order.
  push(bytes: Uint8Array): SseMessage[] {
    let piece = (this.heldCr ? '\r' : '') + this.decoder.decode(bytes, { stream: true });
    // A CR at the end may be the first half of a CRLF: it waits for the next piece.
    this.heldCr = piece.endsWith('\r');
    if (this.heldCr) piece = piece.slice(0, -1);
    // Lines may end in CRLF, CR or LF; the service sends LF alone.
    if (piece.includes('\r')) piece = piece.replace(/\r\n?/g, '\n');
    this.pending += piece;
    const messages: SseMessage[] = [];
    let start = 0;
    for (let end = this.pending.indexOf('\n\n'); end >= 0; end = this.pending.indexOf('\n\n', start)) {
      const message = parseBlock(this.pending.slice(start, end));
      if (message) messages.push(message);
      start = end + 2;
    }
    this.pending = this.pending.slice(start);
    return messages;
  }
}

function parseBlock(block: string): SseMessage | null {
  let event = 'message';
  const data: string[] = [];
  for (const line of block.split('\n')) {
    if (!line || line.startsWith(':')) continue; // a comment keeps the stream alive
    const colon = line.indexOf(':');
    const field = colon < 0 ? line : line.slice(0, colon);
    let value = colon < 0 ? '' : line.slice(colon + 1);
    if (value.startsWith(' ')) value = value.slice(1);
    if (field === 'event') event = value;
    else if (field === 'data') data.push(value);
  }
  return data.length ? { event, data: data.join('\n') } : null;
}
