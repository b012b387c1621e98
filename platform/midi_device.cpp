// The software MIDI stream device, its clocks and the recorder sink. Only standard C++ threads:
// the same code runs on Linux and in the Windows build (whose tests use it with a recorder).
#include "platform/midi_device.h"

#include <algorithm>
#include <deque>
#include <thread>
#include <utility>

namespace quillax::platform {

// ---- steady clock ------------------------------------------------------------------------------

namespace {

class SteadyMidiClock final : public MidiClock {
public:
    std::int64_t Now() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start_)
            .count();
    }

    std::unique_ptr<Sleeper> NewSleeper() override {
        return std::make_unique<SteadySleeper>(start_);
    }

private:
    class SteadySleeper final : public Sleeper {
    public:
        explicit SteadySleeper(std::chrono::steady_clock::time_point start) : start_(start) {}

        void WaitUntil(std::int64_t deadline) override {
            std::unique_lock<std::mutex> lock(mutex_);
            if (deadline == kMidiForever) {
                woken_cv_.wait(lock, [this] { return woken_; });
            } else {
                woken_cv_.wait_until(lock, start_ + std::chrono::microseconds(deadline),
                                     [this] { return woken_; });
            }
            woken_ = false;
        }

        void Wake() override {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                woken_ = true;
            }
            woken_cv_.notify_all();
        }

    private:
        std::chrono::steady_clock::time_point start_;
        std::mutex mutex_;
        std::condition_variable woken_cv_;
        bool woken_ = false;
    };

    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

std::shared_ptr<MidiClock> NewSteadyMidiClock() { return std::make_shared<SteadyMidiClock>(); }

// ---- virtual clock -----------------------------------------------------------------------------

struct VirtualMidiClock::Waiter {
    bool inside = false;  // in WaitUntil
    bool woken = false;   // Wake since the last return
    std::int64_t deadline = 0;
};

class VirtualMidiClock::VirtualSleeper final : public MidiClock::Sleeper {
public:
    explicit VirtualSleeper(VirtualMidiClock& clock) : clock_(clock) {
        std::lock_guard<std::mutex> lock(clock_.mutex_);
        clock_.waiters_.push_back(&waiter_);
    }

    ~VirtualSleeper() override {
        {
            std::lock_guard<std::mutex> lock(clock_.mutex_);
            clock_.waiters_.erase(
                std::find(clock_.waiters_.begin(), clock_.waiters_.end(), &waiter_));
        }
        clock_.changed_.notify_all();
    }

    void WaitUntil(std::int64_t deadline) override {
        std::unique_lock<std::mutex> lock(clock_.mutex_);
        if (!waiter_.woken && deadline > clock_.limit_) {
            waiter_.inside = true;
            waiter_.deadline = deadline;
            clock_.changed_.notify_all();  // a RunUntil may be waiting for this thread to settle
            clock_.changed_.wait(
                lock, [&] { return waiter_.woken || deadline <= clock_.limit_; });
            waiter_.inside = false;
        }
        if (!waiter_.woken && deadline > clock_.now_) clock_.now_ = deadline;
        waiter_.woken = false;
    }

    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(clock_.mutex_);
            waiter_.woken = true;
        }
        clock_.changed_.notify_all();
    }

private:
    VirtualMidiClock& clock_;
    Waiter waiter_;
};

std::int64_t VirtualMidiClock::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

std::unique_ptr<MidiClock::Sleeper> VirtualMidiClock::NewSleeper() {
    return std::make_unique<VirtualSleeper>(*this);
}

bool VirtualMidiClock::Settled() const {
    return std::all_of(waiters_.begin(), waiters_.end(), [this](const Waiter* w) {
        return w->inside && !w->woken && w->deadline > limit_;
    });
}

bool VirtualMidiClock::RunUntil(std::int64_t time, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    limit_ = std::max(limit_, time);
    changed_.notify_all();
    const bool settled = changed_.wait_for(lock, patience, [this] { return Settled(); });
    now_ = std::max(now_, time);
    return settled;
}

bool VirtualMidiClock::RunFor(std::int64_t duration, std::chrono::milliseconds patience) {
    std::int64_t target = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        target = std::max(now_, limit_) + duration;
    }
    return RunUntil(target, patience);
}

// ---- recorder ----------------------------------------------------------------------------------

MidiRecorder::MidiRecorder(std::shared_ptr<MidiClock> clock) : clock_(std::move(clock)) {}

void MidiRecorder::Send(std::int64_t time, std::uint32_t message) {
    const std::int64_t arrived = clock_->Now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(Event{time, arrived, message});
    }
    arrived_.notify_all();
}

void MidiRecorder::Silence(std::int64_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++silences_;
}

std::vector<MidiRecorder::Event> MidiRecorder::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::size_t MidiRecorder::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_.size();
}

int MidiRecorder::SilenceCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return silences_;
}

void MidiRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    silences_ = 0;
}

bool MidiRecorder::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
}

// ---- the device --------------------------------------------------------------------------------

namespace {

std::uint32_t ReadLittle32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// True for a time division the device can play: ticks per quarter note above 0, or SMPTE
// frames (24, 25, 29 for 29.97 or 30) with ticks per frame above 0.
bool ValidDivision(std::uint32_t division) {
    if (division == 0 || division > 0xFFFF) return false;
    if ((division & 0x8000) == 0) return true;
    const int frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const bool knownRate = frames == 24 || frames == 25 || frames == 29 || frames == 30;
    return knownRate && (division & 0xFF) != 0;
}

class SoftwareStream final : public MidiStream {
public:
    SoftwareStream(std::shared_ptr<MidiSink> sink, std::shared_ptr<MidiClock> clock,
                   MidiStreamCallback callback, void* instance)
        : sink_(std::move(sink)),
          clock_(std::move(clock)),
          sleeper_(clock_->NewSleeper()),
          callback_(callback),
          instance_(instance) {
        thread_ = std::thread([this] { Run(); });
    }

    ~SoftwareStream() override { Close(); }

    SoftwareStream(const SoftwareStream&) = delete;
    SoftwareStream& operator=(const SoftwareStream&) = delete;

    MidiResult SetTimeDivision(std::uint32_t division) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return kMidiInvalidHandle;
        if (!ValidDivision(division)) return kMidiInvalidParam;
        Rebase();
        division_ = division;
        return kMidiOk;
    }

    MidiResult SetTempo(std::uint32_t tempo) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return kMidiInvalidHandle;
        if (tempo == 0) return kMidiInvalidParam;
        Rebase();
        tempo_ = tempo;
        return kMidiOk;
    }

    MidiResult Prepare(MidiStreamHeader& header) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return kMidiInvalidHandle;
        if (header.data == nullptr || header.bufferLength == 0) return kMidiInvalidParam;
        header.streamData = this;
        return kMidiOk;
    }

    MidiResult Unprepare(MidiStreamHeader& header) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return kMidiInvalidHandle;
        if (header.streamData != this) return kMidiOk;
        if (Holds(&header)) return kMidiStillPlaying;
        header.streamData = nullptr;
        return kMidiOk;
    }

    MidiResult Queue(MidiStreamHeader& header) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || closing_) return kMidiInvalidHandle;
            if (header.streamData != this) return kMidiUnprepared;
            if (Holds(&header)) return kMidiStillPlaying;
            if (header.bytesRecorded > header.bufferLength) return kMidiInvalidParam;
            queue_.push_back(&header);
        }
        sleeper_->Wake();
        return kMidiOk;
    }

    MidiResult Restart() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return kMidiInvalidHandle;
            const std::int64_t now = clock_->Now();
            if (!started_) {
                started_ = true;
                tick_ = 0;
                baseTick_ = 0;
                baseTime_ = now;
            } else if (!playing_) {
                baseTime_ += now - pausedAt_;
            }
            playing_ = true;
        }
        sleeper_->Wake();
        return kMidiOk;
    }

    MidiResult Pause() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return kMidiInvalidHandle;
            if (playing_) {
                playing_ = false;
                pausedAt_ = clock_->Now();
            }
        }
        sleeper_->Wake();
        return kMidiOk;
    }

    MidiResult Stop() override { return ReturnEverything(); }
    MidiResult Reset() override { return ReturnEverything(); }

    MidiResult Close() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return kMidiOk;
            if (std::this_thread::get_id() == thread_.get_id()) return kMidiError;
            closing_ = true;
        }
        sleeper_->Wake();
        thread_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        queue_.clear();
        returned_.clear();
        return kMidiOk;
    }

private:
    // True while the buffer is queued or waits to be handed back.
    bool Holds(const MidiStreamHeader* header) const {
        return std::find(queue_.begin(), queue_.end(), header) != queue_.end() ||
               std::find(returned_.begin(), returned_.end(), header) != returned_.end();
    }

    MidiResult ReturnEverything() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return kMidiInvalidHandle;
            returned_.insert(returned_.end(), queue_.begin(), queue_.end());
            queue_.clear();
            readOffset_ = 0;
            started_ = false;
            playing_ = false;
            silence_ = true;
        }
        sleeper_->Wake();
        return kMidiOk;
    }

    // The clock time at which `tick` is due, at the tempo in force since baseTick_.
    std::int64_t TimeOfTick(std::uint64_t tick) const {
        const std::uint64_t ticks = tick - baseTick_;
        std::uint64_t micros = 0;
        if ((division_ & 0x8000) == 0) {
            micros = ticks * tempo_ / division_;
        } else {
            const int frames = -static_cast<int>(static_cast<std::int8_t>(division_ >> 8));
            const std::uint64_t perFrame = division_ & 0xFF;
            // 29 stands for 29.97 frames a second (30000 / 1001).
            micros = frames == 29
                         ? ticks * 1001000000ull / (30000ull * perFrame)
                         : ticks * 1000000ull / (static_cast<std::uint64_t>(frames) * perFrame);
        }
        return baseTime_ + static_cast<std::int64_t>(micros);
    }

    // A tempo or division change takes effect at the current position.
    void Rebase() {
        if (!started_) return;
        baseTime_ = TimeOfTick(tick_);
        baseTick_ = tick_;
    }

    void Run() {
        callback_(instance_, MidiStreamMessage::Opened, nullptr);
        std::unique_lock<std::mutex> lock(mutex_);
        while (!closing_) {
            if (silence_) {
                silence_ = false;
                lock.unlock();
                sink_->Silence(clock_->Now());
                lock.lock();
                continue;
            }
            if (!returned_.empty()) {
                MidiStreamHeader* header = returned_.front();
                returned_.pop_front();
                lock.unlock();
                callback_(instance_, MidiStreamMessage::Done, header);
                lock.lock();
                continue;
            }
            if (!playing_ || queue_.empty()) {
                lock.unlock();
                sleeper_->WaitUntil(kMidiForever);
                lock.lock();
                continue;
            }
            MidiStreamHeader* head = queue_.front();
            const std::uint32_t recorded = std::min(head->bytesRecorded, head->bufferLength);
            if (recorded < kMidiShortEventSize ||
                readOffset_ > recorded - kMidiShortEventSize) {
                // Played through: hand it back.
                queue_.pop_front();
                readOffset_ = 0;
                returned_.push_back(head);
                continue;
            }
            const std::uint8_t* at = head->data + readOffset_;
            const std::uint32_t delta = ReadLittle32(at);
            const std::uint32_t word = ReadLittle32(at + 8);
            std::uint64_t size = kMidiShortEventSize;
            if ((word & kMidiEventLongFlag) != 0) size += ((word & 0xFFFFFFu) + 3u) & ~3ull;
            const std::int64_t due = TimeOfTick(tick_ + delta);
            if (due > clock_->Now()) {
                lock.unlock();
                sleeper_->WaitUntil(due);
                lock.lock();
                continue;  // look again: the stream may have been stopped meanwhile
            }
            tick_ += delta;
            readOffset_ = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(readOffset_ + size, recorded));
            const std::uint32_t type = (word >> 24) & 0x3F;
            if ((word & kMidiEventLongFlag) != 0) continue;  // long messages are not played
            if (type == kMidiEventTempo) {
                const std::uint32_t tempo = word & 0xFFFFFFu;
                if (tempo != 0) {
                    Rebase();
                    tempo_ = tempo;
                }
            } else if (type == kMidiEventShort) {
                lock.unlock();
                sink_->Send(due, word & 0xFFFFFFu);
                lock.lock();
            }
        }
        lock.unlock();
        callback_(instance_, MidiStreamMessage::Closed, nullptr);
    }

    std::shared_ptr<MidiSink> sink_;
    std::shared_ptr<MidiClock> clock_;
    std::unique_ptr<MidiClock::Sleeper> sleeper_;
    MidiStreamCallback callback_;
    void* instance_;

    std::mutex mutex_;
    bool closing_ = false;
    bool closed_ = false;
    bool started_ = false;  // the position counts from a Restart
    bool playing_ = false;
    bool silence_ = false;  // Silence the sink (on the device's thread)
    std::deque<MidiStreamHeader*> queue_;     // waiting or playing, the front one playing
    std::deque<MidiStreamHeader*> returned_;  // to be handed back through the callback
    std::uint32_t readOffset_ = 0;            // next event in queue_.front()
    std::uint64_t tick_ = 0;                  // ticks played since the start
    std::uint64_t baseTick_ = 0;              // tick of the last tempo change
    std::int64_t baseTime_ = 0;               // its clock time
    std::int64_t pausedAt_ = 0;
    std::uint32_t division_ = 96;
    std::uint32_t tempo_ = kMidiDefaultTempo;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<MidiStream> OpenSoftwareMidiStream(std::shared_ptr<MidiSink> sink,
                                                   std::shared_ptr<MidiClock> clock,
                                                   MidiStreamCallback callback, void* instance,
                                                   MidiResult* result) {
    if (!sink || !clock || callback == nullptr) {
        if (result != nullptr) *result = kMidiInvalidParam;
        return nullptr;
    }
    if (result != nullptr) *result = kMidiOk;
    return std::make_unique<SoftwareStream>(std::move(sink), std::move(clock), callback,
                                            instance);
}

MidiStreamOpener SoftwareMidiStreamOpener(std::shared_ptr<MidiSink> sink,
                                          std::shared_ptr<MidiClock> clock) {
    return [sink = std::move(sink), clock = std::move(clock)](
               MidiStreamCallback callback, void* instance, MidiResult* result) {
        return OpenSoftwareMidiStream(sink, clock, callback, instance, result);
    };
}

}  // namespace quillax::platform
