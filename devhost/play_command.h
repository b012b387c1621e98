// The "play" subcommand of the command-line host: plays a MIDI file through the song player.
//
//   play FILE.mid [--loop] [--seconds N] [--wav OUT.wav] [--soundfont FILE.sf2]
//
// Without --wav the song plays on the system's MIDI output (on Linux a FluidSynth synthesizer
// on the sound card) in real time. With --wav it is rendered through FluidSynth into the WAV
// file on a virtual clock, as fast as the machine can, with the timing of real playback.
// --loop plays the song looping; --seconds ends playback after N seconds of music (a looping
// song rendered to a file needs it).
#pragma once

namespace quillax {

// argv[0] is the subcommand's own name. Exit status: 0 played, 1 the file cannot be read or
// played, 2 bad usage.
int RunPlayCommand(int argc, char** argv);

}  // namespace quillax
