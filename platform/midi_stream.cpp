// The opener of the system's stream output; the streams themselves are platform code.
#include "platform/midi_stream.h"

namespace quillax::platform {

MidiStreamOpener SystemMidiStreamOpener() {
    return [](MidiStreamCallback callback, void* instance, MidiResult* result) {
        return OpenMidiStream(kMidiMapper, callback, instance, result);
    };
}

}  // namespace quillax::platform
