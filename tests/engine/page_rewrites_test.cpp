// The page rewrites of the "+" and "-" keys as builders: each returns the page's text and
// leaves the showing to its caller.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/pages/picture_page.h"
#include "engine/pages/reading_layout.h"
#include "engine/state/render_state.h"

namespace quillax {
namespace {

// A vocabulary whose words are "w0", "w1", ...: index 25 marks a chapter page, 63 a prose page.
void NumberedVocabulary(RenderState& state) {
    GbString words;
    for (int i = 0; i < 80; ++i) {
        if (i > 0) words += ",";
        words += "w" + std::to_string(i);
    }
    state.cmpStr.Split(words, ",");
}

TEST(PageRewrites, TheLayoutToggleReturnsThePageInTheOtherLayout) {
    RenderState state;
    NumberedVocabulary(state);
    // Neither a chapter page nor a prose page: nothing to toggle, the layout stays.
    state.readModel = 1;
    EXPECT_EQ(ToggledReadingLayout(state, GbString("<p>w2</p>")), std::nullopt);
    EXPECT_EQ(state.readModel, 1);

    // A chapter page in a reading layout comes back in the normal one.
    const std::optional<GbString> normal = ToggledReadingLayout(state, GbString("<a>w25</a><br>　起初"));
    ASSERT_TRUE(normal.has_value());
    EXPECT_EQ(normal->str(), "<a>w25</a>起初");
    EXPECT_EQ(state.readModel, 0);

    // A prose page in the normal layout gets its indents, then loses them again.
    const std::optional<GbString> prose = ToggledReadingLayout(state, GbString("w63<td valign=top>经文"));
    ASSERT_TRUE(prose.has_value());
    EXPECT_EQ(prose->str(), "w63<td valign=top>　　经文");
    EXPECT_EQ(state.readModel, kCompactReadModel);
    EXPECT_EQ(ToggledReadingLayout(state, *prose)->str(), "w63<td valign=top>经文");
    EXPECT_EQ(state.readModel, 0);
}

TEST(PageRewrites, TheZoomReturnsThePictureSizesScaled) {
    const GbString page("<img height=240 src=\"a.jpg\" width=320><img height=\"100\" width=50>"
                        "<img height=7>");
    EXPECT_EQ(ZoomedPicturePage(page, true).str(),
              "<img height=264 src=\"a.jpg\" width=352><img height=\"110\" width=55><img height=7>");
    EXPECT_EQ(ZoomedPicturePage(page, false).str(),
              "<img height=216 src=\"a.jpg\" width=288><img height=\"90\" width=45><img height=6>");
    // Without digits after the name the text stays as it is.
    EXPECT_EQ(ZoomedPicturePage(GbString("height=x width=y"), true).str(), "height=x width=y");
}

}  // namespace
}  // namespace quillax
