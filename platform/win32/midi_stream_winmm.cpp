// The system's MIDI stream output on Windows: the winmm stream functions (midiStreamOpen,
// midiStreamOut, ...) with a function callback, which winmm calls on its own thread.
//
// A prepared buffer gets a MIDIHDR of its own, kept in MidiStreamHeader::streamData; the
// MIDIHDR's user field leads the callback back to the MidiStreamHeader. Closing the stream
// resets it first, so that no buffer is still queued, and frees every MIDIHDR it still holds.
#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <mutex>
#include <set>

#include "platform/midi_stream.h"
#include "platform/midi_synth.h"

namespace quillax::platform {
namespace {

class WinmmStream final : public MidiStream {
public:
    WinmmStream(MidiStreamCallback callback, void* instance)
        : callback_(callback), instance_(instance) {}

    ~WinmmStream() override { Close(); }

    WinmmStream(const WinmmStream&) = delete;
    WinmmStream& operator=(const WinmmStream&) = delete;

    MidiResult Open(int deviceId) {
        // Without any MIDI output there is nothing to open; asking anyway only risks Wine's
        // winmm, which can fault on the stream opened after one that failed for this reason.
        if (midiOutGetNumDevs() == 0) return MIDIERR_NODEVICE;
        UINT device = deviceId == kMidiMapper ? MIDI_MAPPER : static_cast<UINT>(deviceId);
        return midiStreamOpen(&handle_, &device, 1, reinterpret_cast<DWORD_PTR>(&Proc),
                              reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    }

    MidiResult SetTimeDivision(std::uint32_t division) override {
        if (handle_ == nullptr) return kMidiInvalidHandle;
        MIDIPROPTIMEDIV property{};
        property.cbStruct = sizeof property;
        property.dwTimeDiv = division;
        return midiStreamProperty(handle_, reinterpret_cast<LPBYTE>(&property),
                                  MIDIPROP_SET | MIDIPROP_TIMEDIV);
    }

    MidiResult SetTempo(std::uint32_t tempo) override {
        if (handle_ == nullptr) return kMidiInvalidHandle;
        MIDIPROPTEMPO property{};
        property.cbStruct = sizeof property;
        property.dwTempo = tempo;
        return midiStreamProperty(handle_, reinterpret_cast<LPBYTE>(&property),
                                  MIDIPROP_SET | MIDIPROP_TEMPO);
    }

    MidiResult Prepare(MidiStreamHeader& header) override {
        if (handle_ == nullptr) return kMidiInvalidHandle;
        if (header.data == nullptr || header.bufferLength == 0) return kMidiInvalidParam;
        if (header.streamData != nullptr) return kMidiOk;
        auto* midiHeader = new (std::nothrow) MIDIHDR{};
        if (midiHeader == nullptr) return kMidiNoMemory;
        midiHeader->lpData = reinterpret_cast<LPSTR>(header.data);
        midiHeader->dwBufferLength = header.bufferLength;
        midiHeader->dwBytesRecorded = header.bytesRecorded;
        midiHeader->dwUser = reinterpret_cast<DWORD_PTR>(&header);
        const MMRESULT result = midiOutPrepareHeader(Out(), midiHeader, sizeof(MIDIHDR));
        if (result != MMSYSERR_NOERROR) {
            delete midiHeader;
            return result;
        }
        header.streamData = midiHeader;
        std::lock_guard<std::mutex> lock(mutex_);
        prepared_.insert(midiHeader);
        return kMidiOk;
    }

    MidiResult Unprepare(MidiStreamHeader& header) override {
        if (handle_ == nullptr) return kMidiInvalidHandle;
        auto* midiHeader = static_cast<MIDIHDR*>(header.streamData);
        if (midiHeader == nullptr) return kMidiOk;
        const MMRESULT result = midiOutUnprepareHeader(Out(), midiHeader, sizeof(MIDIHDR));
        if (result != MMSYSERR_NOERROR) return result;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prepared_.erase(midiHeader);
        }
        delete midiHeader;
        header.streamData = nullptr;
        return kMidiOk;
    }

    MidiResult Queue(MidiStreamHeader& header) override {
        if (handle_ == nullptr) return kMidiInvalidHandle;
        auto* midiHeader = static_cast<MIDIHDR*>(header.streamData);
        if (midiHeader == nullptr) return kMidiUnprepared;
        midiHeader->dwBytesRecorded = header.bytesRecorded;
        return midiStreamOut(handle_, midiHeader, sizeof(MIDIHDR));
    }

    MidiResult Restart() override {
        return handle_ == nullptr ? kMidiInvalidHandle : midiStreamRestart(handle_);
    }
    MidiResult Pause() override {
        return handle_ == nullptr ? kMidiInvalidHandle : midiStreamPause(handle_);
    }
    MidiResult Stop() override {
        return handle_ == nullptr ? kMidiInvalidHandle : midiStreamStop(handle_);
    }
    MidiResult Reset() override {
        return handle_ == nullptr ? kMidiInvalidHandle : midiOutReset(Out());
    }

    MidiResult Close() override {
        if (handle_ == nullptr) return kMidiOk;
        if (GetCurrentThreadId() == callbackThread_) return kMidiError;
        midiOutReset(Out());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (MIDIHDR* midiHeader : prepared_) {
                midiOutUnprepareHeader(Out(), midiHeader, sizeof(MIDIHDR));
            }
        }
        const MMRESULT result = midiStreamClose(handle_);
        if (result != MMSYSERR_NOERROR) return result;
        handle_ = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        for (MIDIHDR* midiHeader : prepared_) {
            reinterpret_cast<MidiStreamHeader*>(midiHeader->dwUser)->streamData = nullptr;
            delete midiHeader;
        }
        prepared_.clear();
        return kMidiOk;
    }

private:
    HMIDIOUT Out() const { return reinterpret_cast<HMIDIOUT>(handle_); }

    static void CALLBACK Proc(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR) {
        auto* self = reinterpret_cast<WinmmStream*>(instance);
        switch (message) {
        case MOM_OPEN:
            self->callback_(self->instance_, MidiStreamMessage::Opened, nullptr);
            break;
        case MOM_CLOSE:
            self->callback_(self->instance_, MidiStreamMessage::Closed, nullptr);
            break;
        case MOM_DONE: {
            self->callbackThread_ = GetCurrentThreadId();
            auto* midiHeader = reinterpret_cast<MIDIHDR*>(param1);
            self->callback_(self->instance_, MidiStreamMessage::Done,
                            reinterpret_cast<MidiStreamHeader*>(midiHeader->dwUser));
            break;
        }
        default:
            break;  // position callbacks are not requested
        }
    }

    MidiStreamCallback callback_;
    void* instance_;
    HMIDISTRM handle_ = nullptr;
    std::atomic<DWORD> callbackThread_{0};  // winmm's callback thread, once known
    std::mutex mutex_;
    std::set<MIDIHDR*> prepared_;
};

}  // namespace

std::unique_ptr<MidiStream> OpenMidiStream(int deviceId, MidiStreamCallback callback,
                                           void* instance, MidiResult* result) {
    auto stream = std::make_unique<WinmmStream>(callback, instance);
    const MidiResult opened = stream->Open(deviceId);
    if (result != nullptr) *result = opened;
    if (opened != MMSYSERR_NOERROR) return nullptr;
    return stream;
}

// Windows plays streams on its own MIDI output; there is no software synthesizer here.
std::string DefaultSoundFont() { return {}; }

std::shared_ptr<MidiSink> OpenSynthSink(const SynthOptions&, std::string* error) {
    if (error != nullptr) *error = "no software synthesizer on this platform";
    return nullptr;
}

std::shared_ptr<PcmSynth> OpenPcmSynth(const SynthOptions&, std::string* error) {
    if (error != nullptr) *error = "no software synthesizer on this platform";
    return nullptr;
}

}  // namespace quillax::platform
