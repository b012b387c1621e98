// The page's connection to the engine: one WebSocket to the server, opened again by itself
// when it breaks (the server stopped or restarted), with the waiting shown to the reader.
//
// Calls of the control's methods and queries of the host resolve with the server's answer
// ({result, cancelled, value, place}); while there is no connection they resolve at once with
// {failed: true}, and so do the calls still waiting when the connection breaks, so that the
// page can say that the action could not be done.
"use strict";

// Waits between attempts to reconnect: growing, then every kRetryMaxMs.
const kRetryFirstMs = 300;
const kRetryMaxMs = 2000;

export class Connection {
  // handlers: opened() (async, run on every (re)connection), message(json) for what the engine
  // sends the page (run strictly one after the other), sound(json | ArrayBuffer) for the wheel
  // song (handled at once), state(text, offline) for the status line.
  constructor(handlers) {
    this.handlers = handlers;
    this.socket = null;
    this.nextSeq = 0;
    this.pending = new Map();
    this.chain = Promise.resolve();
    this.retryMs = kRetryFirstMs;
    this.attempts = 0;
    this.everOpen = false;
    this.calls = 0;
  }

  get open() { return !!this.socket && this.socket.readyState === WebSocket.OPEN; }

  connect() {
    const socket = new WebSocket(`ws://${location.host}/ws`);
    socket.binaryType = "arraybuffer";
    this.socket = socket;
    socket.onopen = () => {
      this.retryMs = kRetryFirstMs;
      this.attempts = 0;
      this.everOpen = true;
      this.handlers.state("已连接", false);
      // Not in the chain of messages: opening waits for answers that come through it.
      Promise.resolve(this.handlers.opened()).catch((e) => console.error(e));
    };
    socket.onmessage = (event) => {
      if (event.data instanceof ArrayBuffer) {
        this.handlers.sound(event.data);
        return;
      }
      let message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      if (typeof message.op === "string" && message.op.startsWith("song")) {
        this.handlers.sound(message);
        return;
      }
      // Answers and operations are handled strictly one after the other, in the order they
      // came: an answer finds the page as the operations before it left it.
      this.chain = this.chain.then(() => this.dispatch(message)).catch((e) => console.error(e));
    };
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      for (const waiting of this.pending.values()) waiting.resolve({ result: -1, failed: true });
      this.pending.clear();
      this.attempts++;
      this.handlers.state(this.everOpen ? `已断开，正在重新连接…（第${this.attempts}次）` : "正在连接服务器…", true);
      setTimeout(() => this.connect(), this.retryMs);
      this.retryMs = Math.min(this.retryMs * 2, kRetryMaxMs);
    };
  }

  async dispatch(message) {
    if (message.done !== undefined) {
      const waiting = this.pending.get(message.done);
      this.pending.delete(message.done);
      if (waiting) waiting.resolve(message);
      return;
    }
    await this.handlers.message(message);
  }

  // Calls a method of the control with the event snapshot it should see.
  call(method, args = {}, ev = null, extra = {}) {
    return this.request({ call: method, args, ev, ...extra });
  }

  // Asks the host for something that is no method of the control.
  query(name, args = {}) {
    return this.request({ query: name, args });
  }

  request(message) {
    if (!this.open) return Promise.resolve({ result: -1, failed: true });
    const seq = ++this.nextSeq;
    this.calls++;
    return new Promise((resolve) => {
      this.pending.set(seq, { resolve });
      this.socket.send(JSON.stringify({ ...message, seq }));
    });
  }

  send(message) {
    if (this.open) this.socket.send(JSON.stringify(message));
  }
}
