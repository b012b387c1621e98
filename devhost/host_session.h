// What a scripted session of the development tools needs around one control on the in-memory
// host page: the installation it loads, the engine services it borrows and the small desktop
// that its scripts and page renderings assume.
#pragma once

#include <functional>
#include <utility>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

class FakeHost;

// Keeps the state's timer service and sleep function for the length of a scripted session and
// puts them back at its end, letting go of the session's page window. Declared before the
// session's control, so that it is destroyed after it.
class ScopedEngineServices {
public:
    explicit ScopedEngineServices(RenderState& state)
        : state_(state), timers_(state.events.timers), sleep_(std::move(state.events.sleep)) {}
    ~ScopedEngineServices() {
        state_.events.timers = timers_;
        state_.events.sleep = std::move(sleep_);
        state_.host.pageWindow = nullptr;
    }
    ScopedEngineServices(const ScopedEngineServices&) = delete;
    ScopedEngineServices& operator=(const ScopedEngineServices&) = delete;

    RenderState& State() const { return state_; }

private:
    RenderState& state_;
    TimerService* timers_;
    std::function<void(int)> sleep_;
};

// Gives an in-memory host page the settings of a small desktop that scripts and page renderings
// assume: screen 1024 x 768, the mouse at (200, 150), a 16-pixel font, a 600-pixel body, a
// popup whose content is 120 pixels high.
void PrepareSmallDesktop(FakeHost& host);

// Loads the installation of a directory into a fresh state; false when there is none.
using InstallationLoader = std::function<bool(const GbString& installDir, RenderState& state)>;

}  // namespace quillax
