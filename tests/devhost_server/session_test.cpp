// A page session on the sample installation as the host page drives it: the place an answer
// reports for the page's address, the study material of the days, a second tab's page, the
// result pane following a switch of characters, and the wheel song streamed to the page that
// showed the wheel popup.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "devhost/server/browser_host.h"
#include "devhost/server/song_stream.h"
#include "devhost/server/study_days.h"
#include "devhost_server/test_support.h"
#include "engine/pages/calendar.h"
#include "platform/midi_synth.h"

namespace quillax::devhost {
namespace {

using testing::RecordingChannel;
using testing::SampleInstallation;

// Reads are answered as a page would: numbers 0, no anchors, the pointer at the origin.
std::optional<Json> PageAnswer(const Json& request) {
    const auto op = request.find("op");
    const std::string name = op != request.end() && op->is_string() ? op->get<std::string>() : "";
    if (name == "anchor") return Json::array();
    if (name == "cursor") return Json{{"x", 0}, {"y", 0}};
    return 0;
}

// One tab of the host page on the sample installation.
struct Tab {
    Tab(SampleInstallation& installation, const StudyDays* days = nullptr)
        : channel(std::make_shared<RecordingChannel>()),
          session(installation.state, channel, installation.WideConfigDir(), days) {
        channel->answer = PageAnswer;
        Call("init", {{"url", "http://127.0.0.1/page.html"}, {"resultUrl", "http://127.0.0.1/pane.html"}});
    }
    // Calls a method of the control and gives its answer.
    Json Call(const std::string& method, const Json& args = Json::object(), const Json& ev = nullptr) {
        session.Handle({{"call", method}, {"seq", ++seq}, {"args", args}, {"ev", ev}});
        return channel->sent.back();
    }
    Json Open(const std::string& key, const std::string& position = "") {
        return Call("openchahtm", {{"key", key}, {"noLink", 0}, {"position", position}});
    }
    Json Query(const std::string& what, const Json& args) {
        session.Handle({{"query", what}, {"seq", ++seq}, {"args", args}});
        return channel->sent.back();
    }
    std::size_t Bodies(const std::string& window = "main") const { return channel->Ops("body", window).size(); }

    std::shared_ptr<RecordingChannel> channel;
    PageSession session;
    int seq = 0;
};

TEST(DevhostSessionTest, AnswersTellThePlaceTheReadingWindowShows) {
    SampleInstallation installation;
    ASSERT_TRUE(installation.ready);
    Tab tab(installation);

    Json answer = tab.Open("01001");
    EXPECT_EQ(answer["place"], (Json{{"key", "01001"}, {"position", ""}}));
    // The chapter shown, at one of its verses: no new body, but another place.
    const std::size_t bodies = tab.Bodies();
    answer = tab.Open("01001", "5");
    EXPECT_EQ(tab.Bodies(), bodies);
    EXPECT_EQ(answer["place"], (Json{{"key", "01001"}, {"position", "5"}}));
    // A call that changes no page tells no place.
    EXPECT_FALSE(tab.Call("MouseOver").contains("place"));
    EXPECT_FALSE(tab.Open("01001", "5").contains("place"));

    // The reading calendar of a date, in either plan, and a day page opened for its date.
    answer = tab.Call("GetWheel", {{"wd", "H2000-02-17"}});
    EXPECT_EQ(answer["place"], (Json{{"calendar", "2000-02-17"}, {"daily", false}}));
    answer = tab.Call("GetWheel", {{"wd", "H+2000-02-18"}});
    EXPECT_EQ(answer["place"], (Json{{"calendar", "2000-02-18"}, {"daily", true}}));
    answer = tab.Call("GetWheel", {{"wd", "1"}});
    EXPECT_EQ(answer["place"], (Json{{"day", "1"}, {"date", "2000-02-18"}, {"daily", true}}));
    // A module entry and the about page go by their keys.
    EXPECT_EQ(tab.Open("zendri#002")["place"], (Json{{"key", "zendri#002"}, {"position", ""}}));
    EXPECT_EQ(tab.Open("0000000")["place"]["key"], "0000000");
}

TEST(DevhostSessionTest, APageAskedForAgainIsWrittenIntoTheTabThatAsks) {
    SampleInstallation installation;
    ASSERT_TRUE(installation.ready);
    Tab first(installation);
    first.Open("01002");
    Tab second(installation);
    second.Open("01001");
    // Genesis 1 was the engine's last page, but not the first tab's.
    const std::size_t bodies = first.Bodies();
    const Json answer = first.Open("01001");
    EXPECT_EQ(first.Bodies(), bodies + 1);
    EXPECT_EQ(answer["place"]["key"], "01001");
    // Asked for again by the same tab, the page shown stays as it is.
    first.Open("01001");
    EXPECT_EQ(first.Bodies(), bodies + 1);
}

TEST(DevhostSessionTest, TheResultPaneFollowsASwitchOfCharacters) {
    SampleInstallation installation;
    ASSERT_TRUE(installation.ready);
    Tab tab(installation);
    tab.Open("01001");
    tab.Call("SearchWord", {{"word", u8"光"}, {"noFind", ""}, {"extend", 1}});
    ASSERT_EQ(tab.Bodies("result"), 1u);
    EXPECT_NE(tab.channel->Ops("body", "result").back()["html"].get<std::string>().find(u8"经文"), std::string::npos);

    const Json languageLink = {{"tagName", "A"}, {"id", ""}, {"title", ""},
                               {"outerHTML", "<a href=\"fanjian\">x</a>"}, {"innerText", "x"}, {"innerHTML", "x"}};
    tab.Call("MouseClick", Json::object(), {{"button", 0}, {"src", languageLink}});
    ASSERT_EQ(installation.state.useGbk, 1);
    ASSERT_EQ(tab.Bodies("result"), 2u);
    const std::string traditional = tab.channel->Ops("body", "result").back()["html"];
    EXPECT_NE(traditional.find(u8"經文"), std::string::npos);
    EXPECT_EQ(traditional.find(u8"经文"), std::string::npos);

    tab.Call("MouseClick", Json::object(), {{"button", 0}, {"src", languageLink}});
    ASSERT_EQ(installation.state.useGbk, 0);
    const std::string simplified = tab.channel->Ops("body", "result").back()["html"];
    EXPECT_NE(simplified.find(u8"经文"), std::string::npos);
    // A call that switches nothing leaves the pane alone.
    tab.Open("01002");
    EXPECT_EQ(tab.Bodies("result"), 3u);
}

// ---- the days with material ----------------------------------------------------------------

Date DayAt(const Date& from, int days) {
    Date date = from;
    date.day += days;
    date.Format();
    return date;
}

TEST(DevhostStudyDaysTest, TheDaysOfTheSampleAreFoundInEitherPlan) {
    SampleInstallation installation;
    ASSERT_TRUE(installation.ready);
    const RenderState& state = installation.state;
    const StudyDays days(installation.state);
    // The sample's study modules hold plan days 1-6.
    EXPECT_EQ(days.DayCount(), 6);
    const StudyDay second = days.Of(Date(2000, 2, 17), false);
    EXPECT_EQ(second.planDay, 2);
    EXPECT_TRUE(second.has[kStudyWheel] && second.has[kStudyNotes] && second.has[kStudyOutline] &&
                second.has[kStudyDevotional]);
    // A Sunday has the material of the Monday after it.
    EXPECT_EQ(days.Of(Date(2000, 2, 20), false).planDay, 5);
    EXPECT_EQ(DayPageKey(kStudyNotes, 5), "zendri#005");
    EXPECT_EQ(DayPageKey(kStudyDevotional, 12), "amberly#012");
    EXPECT_EQ(DayPageKey(kStudyWheel, 5), "");

    // Against the plans themselves: the dates listed around a date with nothing are the
    // nearest ones whose plan day is 1-6, and none is skipped.
    for (const bool daily : {false, true}) {
        const Date from(2026, 12, 10);
        std::vector<StudyDay> after;
        std::vector<StudyDay> before;
        days.Around(from, daily, kStudyDaysListed, after, before);
        ASSERT_EQ(after.size(), static_cast<std::size_t>(kStudyDaysListed)) << daily;
        ASSERT_EQ(before.size(), static_cast<std::size_t>(kStudyDaysListed)) << daily;
        const auto planDay = [&](const Date& date) {
            return daily ? DailyPlanDay(date.dayNumber, state.dailyPlanBase)
                         : SixDayPlanDay(date.dayNumber, state.sixDayPlanBase);
        };
        std::vector<std::string> expectedAfter;
        for (int offset = 0; expectedAfter.size() < after.size() && offset <= kStudyDaysSearchSpan; ++offset) {
            const Date date = DayAt(from, offset);
            if (planDay(date) >= 1 && planDay(date) <= 6) expectedAfter.push_back(date.text.str());
        }
        std::vector<std::string> expectedBefore;
        for (int offset = 1; expectedBefore.size() < before.size() && offset <= kStudyDaysSearchSpan; ++offset) {
            const Date date = DayAt(from, -offset);
            if (planDay(date) >= 1 && planDay(date) <= 6) expectedBefore.push_back(date.text.str());
        }
        std::vector<std::string> foundAfter;
        for (const StudyDay& day : after) {
            foundAfter.push_back(day.date.text.str());
            EXPECT_EQ(day.planDay, planDay(day.date));
            EXPECT_TRUE(day.HasAny());
        }
        std::vector<std::string> foundBefore;
        for (const StudyDay& day : before) foundBefore.push_back(day.date.text.str());
        EXPECT_EQ(foundAfter, expectedAfter) << (daily ? "daily" : "six-day");
        EXPECT_EQ(foundBefore, expectedBefore) << (daily ? "daily" : "six-day");
    }
}

TEST(DevhostStudyDaysTest, ThePageAsksForTheMaterialOfADate) {
    SampleInstallation installation;
    ASSERT_TRUE(installation.ready);
    const StudyDays days(installation.state);
    Tab tab(installation, &days);
    Json answer = tab.Query("days", {{"date", "2000-02-17"}, {"daily", 0}})["value"];
    EXPECT_EQ(answer["planDay"], 2);
    EXPECT_EQ(answer["notes"], true);
    EXPECT_EQ(answer["daily"], false);
    EXPECT_EQ(answer["pages"]["outline"], "oblix#002");
    EXPECT_EQ(answer["after"][0]["date"], "2000-02-17");
    EXPECT_EQ(answer["before"][0]["date"], "2000-02-16");
    EXPECT_EQ(answer["none"], u8"本日没有灵修短文。");

    answer = tab.Query("days", {{"date", "2026-12-10"}, {"daily", 1}})["value"];
    EXPECT_EQ(answer["daily"], true);
    EXPECT_EQ(answer["wheel"], false);
    EXPECT_EQ(answer["after"].size(), static_cast<std::size_t>(kStudyDaysListed));
    // Something else is no query of the host.
    EXPECT_TRUE(tab.Query("nothing", Json::object())["value"].is_null());
}

// ---- the wheel song --------------------------------------------------------------------------

// A page that the song's thread sends to: keeps every message in order, text or sound.
class SongPage : public PageChannel {
public:
    struct Message {
        Json text;          // null for sound
        std::uint32_t song = 0;
        std::uint32_t firstFrame = 0;
        std::vector<std::int16_t> samples;
    };

    void Send(const Json& message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back({message, 0, 0, {}});
        changed_.notify_all();
    }
    void SendBinary(std::string bytes) override {
        Message message;
        if (bytes.size() >= 8) {
            std::memcpy(&message.song, bytes.data(), 4);
            std::memcpy(&message.firstFrame, bytes.data() + 4, 4);
            message.samples.resize((bytes.size() - 8) / 2);
            std::memcpy(message.samples.data(), bytes.data() + 8, message.samples.size() * 2);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(std::move(message));
        changed_.notify_all();
    }
    std::optional<Json> Ask(Json, std::chrono::milliseconds) override { return std::nullopt; }
    bool Open() const override { return true; }

    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    // Waits until at least `count` pieces of sound have come.
    bool WaitForSound(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            std::size_t sound = 0;
            for (const Message& message : messages_) sound += message.text.is_null() ? 1 : 0;
            return sound >= count;
        });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
};

TEST(DevhostSongTest, TheWheelSongIsStreamedToThePageOfThePopupUntilItStops) {
    if (platform::DefaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    SongStream stream;
    ASSERT_TRUE(stream.Available()) << stream.Problem();
    RenderState state;
    state.installDir = "sample\\cfg\\";
    auto first = std::make_shared<SongPage>();
    std::shared_ptr<PageChannel> popupPage = first;
    stream.Attach(state, [&] { return popupPage; });

    // A wheel popup is filled: its page hears the song, piece after piece with no gap.
    state.host.playWheelSong();
    ASSERT_TRUE(first->WaitForSound(12, std::chrono::seconds(10)));
    std::vector<SongPage::Message> messages = first->Messages();
    EXPECT_EQ(messages.front().text, (Json{{"op", "songStart"}, {"song", 1}, {"rate", kSongSampleRate}}));
    std::uint32_t nextFrame = 0;
    double sum = 0;
    std::size_t samples = 0;
    for (std::size_t i = 1; i < messages.size(); ++i) {
        ASSERT_TRUE(messages[i].text.is_null()) << messages[i].text.dump();
        EXPECT_EQ(messages[i].song, 1u);
        EXPECT_EQ(messages[i].firstFrame, nextFrame);
        nextFrame += static_cast<std::uint32_t>(messages[i].samples.size() / 2);
        for (std::int16_t sample : messages[i].samples) sum += static_cast<double>(sample) * sample;
        samples += messages[i].samples.size();
    }
    ASSERT_GT(samples, 0u);
    EXPECT_GT(sum / static_cast<double>(samples), 100.0 * 100.0) << "the song sounds";

    // The engine stops it (a hide with stopSongOnHide): the page is told and hears no more.
    state.events.stopWheelSong();
    messages = first->Messages();
    EXPECT_EQ(messages.back().text, (Json{{"op", "songStop"}, {"song", 1}}));
    EXPECT_FALSE(first->WaitForSound(messages.size(), std::chrono::milliseconds(4 * kSongChunkMs)));
    EXPECT_EQ(stream.Listener(), nullptr);

    // Another tab's wheel popup: the song moves there; the first tab is told it stopped.
    state.host.playWheelSong();
    auto second = std::make_shared<SongPage>();
    popupPage = second;
    state.host.playWheelSong();
    EXPECT_EQ(first->Messages().back().text, (Json{{"op", "songStop"}, {"song", 2}}));
    EXPECT_EQ(second->Messages().front().text["song"], 3);
    // A tab that goes away stops the song it hears; another tab's going changes nothing.
    stream.Forget(first.get());
    EXPECT_EQ(stream.Listener(), second);
    stream.Forget(second.get());
    EXPECT_EQ(second->Messages().back().text, (Json{{"op", "songStop"}, {"song", 3}}));
    EXPECT_EQ(stream.Listener(), nullptr);
}

}  // namespace
}  // namespace quillax::devhost
