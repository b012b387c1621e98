// The wheel song in the browser: the server streams the sound the engine's song player makes
// (16-bit stereo frames, see devhost/server/song_stream.h) and this plays it with Web Audio,
// each piece at its place in the song, so that the pieces join without gaps however they
// arrive.
//
// Browsers let a page make sound only after the reader has interacted with it. Until then a
// song that starts is not played: a small hint says that it waits for a click, and the first
// click or key anywhere on the page starts the sound (the song itself plays on in the server
// and is heard from that moment).
"use strict";

// How far ahead of the audio clock a song's sound is scheduled, to ride out the network.
const kLeadSeconds = 0.12;
// A piece that would start sooner than this is late: the schedule moves on.
const kLateSeconds = 0.02;

export class SongPlayer {
  constructor(hint) {
    this.hint = hint;
    this.context = null;
    this.analyser = null;
    this.song = null;          // {number, rate, base}: the song playing now
    this.sources = new Set();
    this.interacted = false;
    this.receivedBytes = 0;
    hint.addEventListener("click", () => this.interact());
  }

  // Called from the handlers of the reader's clicks and keys (a user gesture).
  interact() {
    if (this.interacted) return;
    this.interacted = true;
    this.context = new AudioContext();
    this.analyser = this.context.createAnalyser();
    this.analyser.fftSize = 2048;
    this.analyser.connect(this.context.destination);
    if (this.context.state !== "running") this.context.resume();
    this.updateHint();
  }

  // A message of the server: songStart, songStop, or a piece of sound (ArrayBuffer).
  receive(message) {
    if (message instanceof ArrayBuffer) {
      this.piece(message);
    } else if (message.op === "songStart") {
      this.stopSound();
      this.song = { number: message.song, rate: message.rate, base: null };
    } else if (message.op === "songStop") {
      if (this.song && this.song.number === message.song) {
        this.stopSound();
        this.song = null;
      }
    }
    this.updateHint();
  }

  piece(buffer) {
    this.receivedBytes += buffer.byteLength;
    if (buffer.byteLength <= 8 || !this.song) return;
    const header = new DataView(buffer, 0, 8);
    if (header.getUint32(0, true) !== this.song.number) return;
    if (!this.context || this.context.state !== "running") return;
    const first = header.getUint32(4, true);
    const samples = new Int16Array(buffer, 8, (buffer.byteLength - 8) >> 1);
    const frames = samples.length >> 1;
    if (frames === 0) return;
    const audio = this.context.createBuffer(2, frames, this.song.rate);
    const left = audio.getChannelData(0);
    const right = audio.getChannelData(1);
    for (let i = 0; i < frames; i++) {
      left[i] = samples[2 * i] / 32768;
      right[i] = samples[2 * i + 1] / 32768;
    }
    const now = this.context.currentTime;
    let at = this.song.base === null ? -1 : this.song.base + first / this.song.rate;
    if (at < now + kLateSeconds) {
      this.song.base = now + kLeadSeconds - first / this.song.rate;
      at = now + kLeadSeconds;
    }
    const source = this.context.createBufferSource();
    source.buffer = audio;
    source.connect(this.analyser);
    source.onended = () => this.sources.delete(source);
    this.sources.add(source);
    source.start(at);
  }

  // Whatever plays stops (the connection to the server is gone).
  silence() {
    this.stopSound();
    this.song = null;
    this.updateHint();
  }

  stopSound() {
    for (const source of this.sources) {
      try { source.stop(); } catch (e) { /* not started yet */ }
    }
    this.sources.clear();
  }

  updateHint() {
    this.hint.hidden = !(this.song && !this.interacted);
  }

  // The loudness of what is heard now: the root mean square of the last samples (0 silent).
  level() {
    if (!this.analyser) return 0;
    const data = new Float32Array(this.analyser.fftSize);
    this.analyser.getFloatTimeDomainData(data);
    let sum = 0;
    for (const value of data) sum += value * value;
    return Math.sqrt(sum / data.length);
  }

  get playing() { return !!this.song; }
}
