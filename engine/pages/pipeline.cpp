#include "engine/pages/pipeline.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/pages/calendar.h"
#include "engine/pages/chapter_page.h"
#include "engine/pages/page_body.h"
#include "engine/pages/passage_text.h"
#include "engine/pages/reference_links.h"
#include "engine/pages/study_pages.h"
#include "textlib/chapter_keys.h"
#include "textlib/conversions.h"
#include "textlib/date.h"
#include "textlib/registry_text.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// Byte length of the "nothing found" word that FinishPopup looks for at the end of a popup.
constexpr int kNothingFoundLength = 6;
// The background colour of chapter pages is this entry of CSSBGCOLOR.
constexpr int kChapterBackground = 5;
// A text popup is first placed this high and then grows to its content.
constexpr int kTextPopupStartHeight = 10;
// The empty space below a page, so that its last verse can be scrolled to the top.
constexpr int kSpacerMargin = 120;

// The navigation words of the chapter bars, one after the other.
GbString NavigationWords(const RenderState& state) {
    GbString words;
    for (int i = kWordPreviousBook; i <= kWordNextBook; ++i) words.Append(state.cmpStr[i]);
    return words;
}

std::u16string Wide(std::string_view text) {
    GbString copy(text);
    return ToWide(copy, ConversionOptions{});
}

// The page window when it has a document, else null.
HostWindow* DocumentWindow(RenderState& state) {
    HostWindow* window = state.host.pageWindow;
    return window != nullptr && window->HasDocument() ? window : nullptr;
}

void CursorPosition(RenderState& state, int& x, int& y) {
    x = 0;
    y = 0;
    if (state.host.pageWindow != nullptr) state.host.pageWindow->CursorPosition(x, y);
}

// Steps 2-11 of OpenPage, between setting and clearing busy and opening.
void BuildAndShowPage(RenderState& state, GbString key, int noLinks, GbString position) {
    HostState& host = state.host;
    if (key.IsEmpty() || key.Find(".htm") >= 0) return;

    bool render = true;
    GbString page;
    const int amberly = key.Find("amberly");
    if (amberly >= 0) {
        host.currentKey = key;
        GbString day = key;
        day.Delete(amberly, 8);  // the module name and the separator after it
        page = AmberlyEntry(state, day);
    } else if (IsChapterKey(key, true) != 0) {
        if (key == host.currentKey) {
            render = false;  // the page is shown already: only scroll and retitle
        } else {
            host.currentKey = key;
            page = ChapterPage(state, key, noLinks != 0);
            ConvertVerseMarks(page, false);
            SetPageBackground(state, state.cssBgColors[kChapterBackground]);
        }
    } else {
        // The key is remembered like any other page's, so that the chapter shown before is
        // built again when it is opened next.
        host.currentKey = key;
        page = ModuleLink(state, key, position);
    }

    if (render) {
        if (key == "0000000") {
            page.Append(state.aboutText);
        } else {
            page.Append("<div style='height:");
            page.SetNumber(BodyHeight(state) - kSpacerMargin, true);
            page.Append("'></div>");
        }
        SetPageBody(state, page);
    }

    // Scroll to the verse of position: "5", "3:5", ":5"; or, when position names the chapter
    // by word, the verse number after that 4-byte word.
    if (!Contains(position, state.cmpStr[kWordThisPsalm]) &&
        !Contains(position, state.cmpStr[kWordThisChapter])) {
        const int colon = position.Find(":");
        const int verse = ToInt(position.Slice(colon + 1));
        if (verse > 0) ScrollToAnchor(state, DecimalText(verse));
    } else {
        const int verse = ToInt(position.Slice(4));
        GbString chapter(key.Slice(2, 3));
        while (chapter.GetAt(0) == '0') chapter.Delete(0, 1);
        chapter.Append(":");
        position.Delete(0, 4);
        position.Insert(0, chapter);
        ScrollToAnchor(state, DecimalText(verse));
    }
    if (position.GetAt(0) == ':') position.Insert(0, DecimalText(ToInt(key) % 1000));

    GbString caption = state.titlePrefix;
    if (IsChapterKey(key, false) != 0) {
        const int book = ToInt(key.Slice(0, 2));
        caption.Append(state.bookNames[book - 1]);
        caption.Append(" ");
        if (NavigationWords(state).Find(position) < 0) {
            caption.Append(position);
        } else {
            caption.Append(state.cmpStr[kWordChapterPrefix]);
            caption.SetNumber(ToInt(key.Slice(2)), true);
            caption.Append(state.cmpStr[book == 19 ? kWordPsalmUnit : kWordChapterUnit]);
        }
    }
    if (state.mainWindow != nullptr && host.pageWindow != nullptr) {
        host.pageWindow->SetWindowCaption(state.mainWindow, ToWide(caption, state.Conversions()));
    }
}

// The picture popup of a link whose href holds "tu" at tu: the picture code is the href's last
// 4 characters, its group the 2 characters after "tu"; the picture table gives its size.
void ShowPicturePopup(RenderState& state, const GbString& href, int tu) {
    const EventElement& element = state.host.element;
    const GbString code(href.Slice(href.Length() >= 4 ? href.Length() - 4 : 0));
    const GbString table = PictureTable(state, href.Slice(tu + 2, 2));
    const int d = table.Find(code);
    if (d < 0) return;
    const std::string_view widthText = table.Slice(d + 5, 3);
    const std::string_view heightText = table.Slice(d + 9, 3);
    const int width = ToInt(widthText);
    const int height = ToInt(heightText);

    GbString body("<img src=");
    body.Append(state.installDir);
    body.Append("pic\\tu");
    body.Append(code);
    body.Append(".jpg width=");
    body.Append(widthText);
    body.Append("height=");
    body.Append(heightText);
    body.Append(" border=0>");

    // Beside the cursor, on the side of the screen with more room.
    PopupPlacement place;
    place.width = width;
    place.height = height + 9;
    int x = 0;
    int y = 0;
    CursorPosition(state, x, y);
    place.x = x > element.screenWidth / 2 ? x - width - 10 : x + 10;
    place.y = y > element.screenHeight / 2 ? y - place.height - 10 : y + 10;
    ShowPopup(state, body, place, true);
}

// The popup of a link (an "A" element that may get one).
void LinkPopup(RenderState& state) {
    HostState& host = state.host;
    const EventElement& element = host.element;
    GbString target = element.href;
    const int tu = target.Find("tu");
    if (tu >= 0) {
        ShowPicturePopup(state, target, tu);
        return;
    }
    target.MakeLower();
    // Links of the navigation bars get no popup.
    if (NavigationWords(state).Find(element.innerText) >= 0) return;
    const int slash = target.ReverseFind("/");
    if (slash >= 0) target.Delete(0, slash + 1);

    GbString text;
    if (IsChapterKey(target, true) != 0) {
        text = PassageText(state, target, element.innerText);
        host.popupKind = PopupVerse;
        const int bar = text.Find("|");
        if (bar >= 0) text.Delete(0, bar + 1);
    } else if (target.Find("amberly") >= 0) {
        text = AmberlyEntry(state, element.id);
    } else if (target.Find("zendri") >= 0) {
        text = ReadModuleEntry(state, target, element.id, true);
        FitTableWidths(state, text);
    } else if (!target.IsEmpty()) {
        host.popupKind = PopupModuleEntry;
        GbString entryKey = element.innerText;
        text = ModuleLink(state, target, entryKey);
    } else {
        // A link without a target shows its title when the title is the wheel popup's tip.
        GbString tip;
        tip.Right(state.cmpStr[kWordTodayLink], 4);
        host.titleNotTip = element.title.Find(tip) < 0;
        if (!host.titleNotTip) text = element.title;
    }
    if (!text.IsEmpty()) FinishPopup(state, text);
}

// The popup of a marked phrase or a footnote mark.
void NotePopup(RenderState& state) {
    HostState& host = state.host;
    const EventElement& element = host.element;
    GbString text = element.innerText;
    if (element.tagName == "SUP") {
        // The footnote mark's id holds its note: "(" + references + ")".
        host.popupKind = PopupVerse;
        text = element.id;
        LinkifyReferences(state, text, true);
        text.Delete(0, 1);
        text.Replace("</div>;", "</div>");
        text.SetLength(text.Length() - 1);
    } else if (element.tagName == "B") {
        host.popupKind = PopupBoldNote;
        text = TextFixNote(state, "<b>" + text + "</b>");
    } else {
        host.popupKind = PopupUnderlineNote;
        text = TextFixNote(state, "<u>" + text + "</u>");
    }
    FinishPopup(state, text);
}

// Fills the popup window with document (a whole document) at place and sizes it.
void FillPopup(RenderState& state, PopupSurface& popup, GbString document,
               const PopupPlacement& place, bool pictureMode) {
    HostState& host = state.host;
    popup.state = PopupState::Shown;
    popup.pictureMode = pictureMode;
    PopupRect rect;
    rect.left = place.x;
    rect.top = place.y;
    rect.right = rect.left + place.width;
    rect.bottom = rect.top + (pictureMode ? place.height : kTextPopupStartHeight);

    popup.SetCharset(state.charset);
    std::u16string wide = ToWide(document, state.Conversions());
    if (state.useGbk != 0) {
        // The traditional mapping also turns the font name 幼圆 of the style sheet into 幼圓,
        // which names no font: the first few occurrences are put back.
        std::size_t at = 0;
        for (int seen = 0; seen < 4; ++seen) {
            at = wide.find(u'\u5E7C', at);
            if (at == std::u16string::npos) break;
            ++at;
            if (at < wide.size() && wide[at] == u'\u5713') wide[at] = u'\u5706';
        }
    }
    popup.SetBodyInnerHtml(wide);

    if (pictureMode) {
        popup.Move(rect, true);
    } else {
        popup.SetBackgroundColor(Wide(state.cssBgColors[host.popupKind]));
        popup.Move(rect, false);
        const int height = popup.ResetScrollAndMeasure();
        if (height > rect.bottom - rect.top) {
            if (place.quadrant == 3 || place.quadrant == 4) {
                // Below the middle of the screen the popup grows upwards, never above y = 20.
                const int top = rect.bottom - height - 20;
                rect.top = top >= 20 ? top : 20;
            } else {
                rect.bottom = rect.top + height + 8;
                const int limit = host.element.screenHeight - 40;
                if (rect.bottom > limit) rect.bottom = limit;
            }
            popup.Move(rect, true);
        }
    }
    popup.rect = rect;

    popup.ScrollTo(0, 0);
    if (popup.firstFill) {
        popup.RunScript(state.scrollScript);
        popup.RunScript(state.scriptText);
        popup.firstFill = false;
    }
    if (host.popupKind == PopupWheel && host.playWheelSong) host.playWheelSong();
}

}  // namespace

void OpenPage(RenderState& state, std::string_view key, int noLinks, std::string_view position) {
    if (state.busy) return;
    state.busy = true;
    if (!state.host.opening) {
        state.host.opening = true;
        BuildAndShowPage(state, GbString(key), noLinks, GbString(position));
    }
    state.busy = false;
    state.host.opening = false;
}

void ShowHoverPopup(RenderState& state) {
    if (state.busy || state.host.holdHoverPopups) return;
    state.busy = true;
    HostState& host = state.host;
    const EventElement& element = host.element;
    if (state.extendNote != 0 && element.active) {
        const bool popupLink = element.tagName == "A" &&
                               (element.id.IsEmpty() ||
                                (element.id.Greater("000") && element.id.Less("479")));
        if (popupLink) {
            LinkPopup(state);
        } else if (element.tagName != "S" && state.extendNote > 1) {
            NotePopup(state);
        }
    }
    state.busy = false;
}

void FinishPopup(RenderState& state, GbString text) {
    if (text.IsEmpty()) return;
    const int nothing = text.ReverseFind(state.cmpStr[kWordRestDay]);
    if (nothing >= 0 && nothing + kNothingFoundLength == text.Length()) return;

    text.Replace("<big>", "<br><big>");
    text.Replace("</strong>　<br>　　", "</strong>　");  // ideographic spaces
    if (text.Slice(0, 4) == "<br>") text.Delete(0, 4);
    text.Replace("<hr>", "<br>");
    text.Replace("<br><br>", "<br>");
    text.Replace("-<br>", "-");

    const PopupPlacement place = PlacePopup(state);
    if (!state.host.titleNotTip) {
        // The wheel popup: the title carries the date after its 4-byte tip word.
        state.host.popupKind = PopupWheel;
        Date date;
        date.Parse(text.Slice(4));
        text = WheelTable(state, date);
    }

    text.Replace("<br></small>", "</small>");
    text.Replace("<br>)", ")");
    ShowPopup(state, text, place, false);
}

PopupPlacement PlacePopup(RenderState& state) {
    const HostState& host = state.host;
    PopupPlacement place;
    place.lineUnit = LineUnit(state);
    int x = 0;
    int y = 0;
    CursorPosition(state, x, y);
    const int screenWidth = host.element.screenWidth;
    place.x = (screenWidth - state.maxPopupWidth) / 2;
    place.y = y;
    const int halfWidth = screenWidth / 2;
    const int halfHeight = host.element.screenHeight / 2;

    if (host.titleNotTip) {
        place.width = state.maxPopupWidth;
        if (x < halfWidth && y < halfHeight) {
            place.quadrant = 1;
        } else if (x > halfWidth && y < halfHeight) {
            place.quadrant = 2;
        } else if (x < halfWidth && y > halfHeight) {
            place.quadrant = 3;
        } else {
            place.quadrant = 4;
        }
        if (place.quadrant <= 2) {
            place.y += place.lineUnit;
        } else {
            place.y -= 24;
        }
        return place;
    }

    // The wheel popup.
    place.width = place.lineUnit * state.songWidth;
    place.x = (screenWidth - place.width) / 2;
    if (place.y > halfHeight) {
        place.quadrant = 4;
        place.y -= 24;
    } else {
        place.quadrant = 1;
        place.y += place.lineUnit;
    }
    return place;
}

void ShowPopup(RenderState& state, const GbString& body, const PopupPlacement& place,
               bool pictureMode) {
    PopupSurface* popup = state.host.popupWindow;
    if (popup == nullptr) return;
    if (popup->Created()) {
        popup->Hide();
    } else {
        popup->Create(pictureMode);
        popup->firstFill = true;
    }
    FillPopup(state, *popup, state.pageHeader + body + "</body></html>", place, pictureMode);
    popup->Show();
}

void ReadingCalendar(RenderState& state, std::string_view dateText) {
    if (state.busy) return;
    state.busy = true;
    const GbString page = CalendarPage(state, dateText);
    // The calendar replaces the page: the chapter shown before is built again when it is
    // opened next.
    state.host.currentKey.Empty();
    state.host.skipLinkControlOnce = true;
    SetPageBody(state, page);
    state.busy = false;
}

void DayPage(RenderState& state, std::string_view which) {
    if (state.busy) return;
    state.busy = true;
    const GbString page = StudyDayPage(state, which);
    state.host.currentKey.SetPadded(state.host.planDay, "000");
    SetPageBody(state, page);
    state.busy = false;
}

bool SearchWords(RenderState& state, std::u16string_view word, std::u16string_view exclusions,
                 long extend, HostWindow* window, const SearchClock& clock) {
    const std::optional<GbString> page = SearchResultPage(state, word, exclusions, extend, clock);
    if (!page) return false;
    if (window != nullptr) {
        state.host.pageWindow = window;
        // The result list replaces a page: the chapter shown before is built again when it is
        // opened next.
        state.host.currentKey.Empty();
        SetPageBody(state, *page);
    }
    return true;
}

void AddReferenceLinks(RenderState& state) {
    if ((state.host.changedFlags & kChangedLinksAdded) != 0) return;
    HostWindow* window = DocumentWindow(state);
    if (window == nullptr || !window->HasBody()) return;
    GbString text = GetPageBody(state);
    LinkifyReferences(state, text, false);
    LinkBracketReferences(state, text, "");
    state.host.changedFlags = kChangedLinksAdded;
    SetPageBody(state, text);
}

int IEFontSize() {
    return ToInt(ReadRegistryText(platform::RegistryRoot::CurrentUser,
                                  "Software\\Microsoft\\Internet Explorer\\International\\Scripts\\26",
                                  "IEFontSize"));
}

int LineUnit(RenderState& state) {
    const int fontSize = IEFontSize();
    int maxCharWidth = 0;
    if (state.host.pageWindow != nullptr) {
        maxCharWidth = state.host.pageWindow->MaxCharWidth(state.mainWindow);
    }
    return (3 * fontSize - 8) / 2 + maxCharWidth;
}

void ScrollToAnchor(RenderState& state, std::string_view name) {
    HostWindow* window = DocumentWindow(state);
    if (window == nullptr) return;
    std::vector<OffsetNode> chain;
    if (!window->AnchorOffsets(Wide(name), chain) || chain.empty()) return;
    int y = chain[0].offsetTop;
    if (chain.size() > 1) {
        y += chain[1].offsetTop;
        if (chain[1].offsetTop != 0) {
            // The anchor sits in a table cell: the table's own offset counts as well.
            for (std::size_t i = 2; i < chain.size(); ++i) {
                if (chain[i].tagName == u"TABLE") {
                    y += chain[i].offsetTop;
                    break;
                }
            }
        }
    }
    window->ScrollTo(0, y);
}

int BodyHeight(RenderState& state) {
    HostWindow* window = DocumentWindow(state);
    if (window == nullptr || !window->HasBody()) return 0;
    return window->BodyOffsetHeight();
}

void SetPageBackground(RenderState& state, std::string_view color) {
    HostWindow* window = DocumentWindow(state);
    if (window != nullptr) window->SetBackgroundColor(Wide(color));
}

void CancelEvent(RenderState& state) {
    if (state.host.pageWindow != nullptr) state.host.pageWindow->CancelEvent();
}

GbString DocumentUrl(RenderState& state) {
    HostWindow* window = DocumentWindow(state);
    if (window == nullptr) return GbString();
    return FromWide(window->Url(), ConversionOptions{});
}

}  // namespace quillax
