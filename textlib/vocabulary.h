// The vocabulary of the pages: the numbered items of "CMPSTR=" in bible.ini (the engine keeps
// them as cmpStr). Each item is a word or an HTML fragment the installation supplies; the code
// knows only the numbers, and every number has one name here. The words in brackets are what
// the sample installation ships, to tell the items apart.
#pragma once

namespace quillax {

// References and positions.
constexpr int kWordNoTextFixNote = 0;     // a text-fix note that does not exist
constexpr int kWordThisChapter = 1;       // "本章": a reference or position naming the current chapter
constexpr int kWordThisPsalm = 2;         // "本篇": the same for a psalm
constexpr int kWordPsalmUnit = 3;         // "篇": unit word after a psalm's number (counts as kWordChapterUnit)
constexpr int kWordChapterUnit = 4;       // "章": unit word after any other chapter number
constexpr int kWordPassageMissing = 5;    // a chapter or passage the installation lacks

// The calendar and the wheel popup.
constexpr int kWordYear = 6;              // label of the year links
constexpr int kWordMonth = 7;             // label of the month links
constexpr int kWordTwoWeeks = 8;          // label of the two-week links
constexpr int kWordTodayLink = 9;         // opening of the calendar date's link, up to "title=";
                                          // its last 4 bytes mark the wheel popup's title
constexpr int kWordWeekdays = 10;         // weekday characters, 2 bytes each from Sunday
constexpr int kWordAfterNextDays = 11;    // between the next-day links and the two-week link
constexpr int kWordWeek = 13;             // wheel popup: after the week number
constexpr int kWordRead = 14;             // wheel popup: after the weekday
constexpr int kWordRemaining = 15;        // wheel popup: after the percentage read

// Study pages.
constexpr int kWordPressForNotes = 22;    // text-fix notes are switched off
constexpr int kWordRestDay = 23;          // "休息日": title of a day without reading; a popup text
                                          // ending with it is not shown
constexpr int kWordNoDevotional = 24;     // no reading that day (none kept, or past the last)

// The navigation words of the chapter bars, 25-30 in this order.
constexpr int kWordPreviousBook = 25;
constexpr int kWordPreviousChapter = 26;
constexpr int kWordPreviousPsalm = 27;
constexpr int kWordNextPsalm = 28;
constexpr int kWordNextChapter = 29;
constexpr int kWordNextBook = 30;

// Words removed from a link's text before its passage is cut out, and the Psalms headings.
constexpr int kWordVerse = 31;            // "节"
constexpr int kWordOrdinal = 32;          // "第"
constexpr int kWordHeadingEnd = 33;       // a Psalms heading ending with it gets a line break
constexpr int kWordVerseListEmpty = 35;   // "[]": a verse list still to be given
constexpr int kWordAfterToday = 37;       // after the calendar date's link
constexpr int kWordDevotional = 38;       // label of the devotional link
constexpr int kWordOutlineHeader = 39;    // before the first line of an outline page

// The summary of the search result page, 40-46.
constexpr int kWordSummaryStart = 40;     // before the number of verses found
constexpr int kWordBeforeWord = 41;       // before the search word
constexpr int kWordBeforeExcluded = 42;   // before the number of excluded verses
constexpr int kWordBeforeExclusions = 43; // before the exclusion words
constexpr int kWordBeforeListed = 44;     // before the number of verses listed
constexpr int kWordSummaryEnd = 45;       // end of the summary, with the "msec" placeholder
constexpr int kWordNoSearchWord = 46;     // the page of an empty search word

constexpr int kWordTitleOpen = 47;        // opens an outline title; stands before a heading's reference
constexpr int kWordTitleClose = 48;       // closes it, and a heading's reference
constexpr int kWordChapterPrefix = 49;    // caption: before the chapter number
constexpr int kWordWeekday = 50;          // between the calendar date and its weekday

// Labels of the reading plan's links.
constexpr int kWordDeuteronomy = 51;
constexpr int kWordJoshua = 52;
constexpr int kWordProverbs = 53;
constexpr int kWordIsaiah = 54;
constexpr int kWordExtraDeuteronomy = 55;
constexpr int kWordExtraProverbs = 56;
constexpr int kWordGenesis = 57;
constexpr int kWordCompanionList = 58;    // the companion readings, one "BBCCC;" a day
constexpr int kWordCompanionBook = 59;    // label of the companion reading, rewritten per build

constexpr int kWordVerseFirstHalf = 60;   // "上": removed from a link's text
constexpr int kWordVerseSecondHalf = 61;  // "下": removed from a link's text
constexpr int kWordFixedLayout = 62;      // a page marked with it keeps its layout
constexpr int kWordProseLayout = 63;      // a study page reflowed by the study-page rules
constexpr int kWordBookUnit = 64;         // "卷": a position naming a whole book
constexpr int kWordStudyNotes = 66;       // label of the study-note link
constexpr int kWordPlanTagEnd = 67;       // " class=plan>": end of every plan link's opening tag
constexpr int kWordOutlineLink = 68;      // rest of the outline link after its entry key

// The two substitutions of module texts: item 69 becomes item 70, then item 71 becomes item 72.
constexpr int kSubstituteFirstFrom = 69;
constexpr int kSubstituteFirstTo = 70;
constexpr int kSubstituteSecondFrom = 71;
constexpr int kSubstituteSecondTo = 72;

// Parallel verses behind the verses of a chapter page.
constexpr int kWordParallelOpen = 73;      // "<div class='pv' title=>": the name goes before ">"
constexpr int kWordParallelClose = 74;     // "</div>"
constexpr int kWordParallelNameOpen = 75;  // before the module name shown in front of the verse
constexpr int kWordParallelNameClose = 76; // after it

// The language link.
constexpr int kWordShowSimplified = 77;    // the link while traditional characters show
constexpr int kWordShowTraditional = 78;   // the link while simplified characters show
constexpr int kWordLanguageLink = 79;      // the name of the language link ("fanjian")

}  // namespace quillax
