#include "devhost/server/song_stream.h"

#include <chrono>
#include <utility>
#include <vector>

namespace quillax::devhost {

namespace {

void PutLittle32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// One binary message: the song's number, its first frame, then the frames as they lie in
// memory (little-endian, as on every machine this runs on).
std::string SoundMessage(std::uint32_t song, std::int64_t firstFrame,
                         const std::vector<std::int16_t>& frames) {
    std::string bytes;
    bytes.reserve(8 + frames.size() * sizeof(std::int16_t));
    PutLittle32(bytes, song);
    PutLittle32(bytes, static_cast<std::uint32_t>(firstFrame));
    bytes.append(reinterpret_cast<const char*>(frames.data()), frames.size() * sizeof(std::int16_t));
    return bytes;
}

}  // namespace

SongStream::SongStream() : clock_(platform::NewSteadyMidiClock()) {
    platform::SynthOptions options;
    options.sampleRate = kSongSampleRate;
    synth_ = platform::OpenPcmSynth(options, &problem_);
    if (!synth_) return;
    song_ = std::make_unique<WheelSong>(platform::SoftwareMidiStreamOpener(synth_, clock_));
    worker_ = std::thread([this] { Run(); });
}

SongStream::~SongStream() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    // The player's stream thread still sends to the synthesizer until the player is gone.
    song_.reset();
}

void SongStream::Attach(RenderState& state, PageOfPopup pageOfPopup) {
    RenderState* target = &state;
    state.host.playWheelSong = [this, target, pageOfPopup = std::move(pageOfPopup)]() {
        Play(target->installDir, pageOfPopup());
    };
    state.events.stopWheelSong = [this]() { Stop(); };
}

void SongStream::Play(const GbString& installDir, std::shared_ptr<PageChannel> page) {
    if (!synth_ || !page) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SendStopLocked();
        // The sound starts afresh now: nothing made while no song played is sent.
        synth_->Restart(clock_->Now());
        listener_ = std::move(page);
        ++songNumber_;
        listener_->Send({{"op", "songStart"}, {"song", songNumber_}, {"rate", synth_->SampleRate()}});
    }
    song_->Play(installDir);
    if (!song_->Loaded()) {
        // No song file (or none that plays): the page hears nothing and is told so.
        std::lock_guard<std::mutex> lock(mutex_);
        SendStopLocked();
    }
    wake_.notify_all();
}

void SongStream::Stop() {
    if (!synth_) return;
    song_->Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    SendStopLocked();
}

void SongStream::Forget(const PageChannel* page) {
    if (!synth_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!listener_ || listener_.get() != page) return;
    }
    Stop();
}

std::shared_ptr<PageChannel> SongStream::Listener() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_;
}

void SongStream::SendStopLocked() {
    if (!listener_) return;
    listener_->Send({{"op", "songStop"}, {"song", songNumber_}});
    listener_.reset();
}

void SongStream::Run() {
    std::vector<std::int16_t> frames;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (!listener_) {
            wake_.wait(lock, [this] { return quit_ || listener_ != nullptr; });
            continue;
        }
        wake_.wait_for(lock, std::chrono::milliseconds(kSongChunkMs));
        if (quit_ || !listener_) continue;
        frames.clear();
        const std::int64_t first = synth_->Take(clock_->Now(), frames);
        if (!frames.empty()) listener_->SendBinary(SoundMessage(songNumber_, first, frames));
    }
}

}  // namespace quillax::devhost
