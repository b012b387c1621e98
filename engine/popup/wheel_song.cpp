#include "engine/popup/wheel_song.h"

#include <utility>

#include "platform/files.h"

namespace quillax {

WheelSong::WheelSong(platform::MidiStreamOpener opener) : opener_(std::move(opener)) {}

void WheelSong::Play(const GbString& installDir) {
    if (!loaded_) {
        const auto bytes = platform::ReadWholeFile(installDir + "0102.mid");
        if (!bytes || bytes->empty()) return;
        data_.assign(bytes->begin(), bytes->end());
        player_ = std::make_unique<SongPlayer>(opener_);
        if (!player_->Load(data_.data(), data_.size())) {
            player_.reset();
            data_.clear();
            return;
        }
        loaded_ = true;
    }
    player_->Rewind();
    player_->Play(true);
}

void WheelSong::Stop() {
    if (player_) player_->Stop(true);
}

void WheelSong::Attach(RenderState& state) {
    RenderState* target = &state;
    state.host.playWheelSong = [this, target]() { Play(target->installDir); };
    state.events.stopWheelSong = [this]() { Stop(); };
}

}  // namespace quillax
