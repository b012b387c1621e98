#include "engine/config/configuration.h"

#include <climits>
#include <cmath>
#include <optional>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/version_info.h"
#include "textlib/config_lock.h"
#include "textlib/config_text.h"
#include "textlib/registry_text.h"
#include "textlib/text_helpers.h"
#include "textlib/product_identity.h"

namespace quillax {

namespace {

using platform::RegistryRoot;

constexpr std::string_view kConfigFileName = "bible.ini";
constexpr std::string_view kColorKey = "CSSBGCOLOR=";
constexpr std::string_view kTableWidthKey = "TABLETDWIDTH=";
// The window caption kept for the title prefix: what a 64-byte buffer holds.
constexpr int kCaptionLimit = 63;

// Sets `busy` for the lifetime of the guard.
class BusyGuard {
public:
    explicit BusyGuard(RenderState& state) : state_(state) { state_.busy = true; }
    ~BusyGuard() { state_.busy = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    RenderState& state_;
};

// Path of bible.ini, or nothing when no configuration directory is known: an empty installDir
// must not make a bible.ini in the current directory count as the configuration.
std::optional<GbString> ConfigFilePath(const RenderState& state) {
    if (state.installDir.IsEmpty()) {
        return std::nullopt;
    }
    return state.installDir + kConfigFileName;
}

GbString ReadCurrentConfigFile(const RenderState& state) {
    const auto path = ConfigFilePath(state);
    return path ? ReadConfigFile(*path) : GbString();
}

// A companion file of the configuration directory, empty when missing.
std::string ReadCompanionFile(const RenderState& state, std::string_view name) {
    if (state.installDir.IsEmpty()) {
        return std::string();
    }
    return platform::ReadWholeFile(state.installDir + name).value_or(std::string());
}

// trunc(x) as an int; values beyond the int range are clamped and NaN counts as 0.
int TruncateToInt(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    if (x >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (x <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(x);
}

// At most `limit` bytes of text, without cutting a double-byte character in two.
GbString ClipToCharacters(const GbString& text, int limit) {
    int end = 0;
    while (end < text.Length()) {
        const int width = static_cast<int>(GbkCharSize(text.view(), static_cast<std::size_t>(end)));
        if (end + width > limit) {
            break;
        }
        end += width;
    }
    return GbString(text.Slice(0, end));
}

// The stored colour list with the index digit in front of every "#" removed:
// "0#FFFFFF,1#E0E0E0" gives "#FFFFFF,#E0E0E0".
GbString RemoveIndexDigits(const GbString& stored) {
    GbString result;
    for (int i = 0; i < stored.Length(); ++i) {
        if (stored.GetAt(i + 1) != '#') {
            result.Append(static_cast<char>(stored.GetAt(i)));
        }
    }
    return result;
}

// The colour list as stored: each item is its index followed by its colour, entry in place of
// item n, the items joined by ",".
GbString BuildColorList(const GbList& colors, int n, const GbString& entry) {
    GbString text;
    for (int i = 0; i < colors.Count(); ++i) {
        if (i > 0) {
            text.Append(',');
        }
        text.SetNumber(i, true);
        text.Append(i == n ? entry.view() : colors[i].view());
    }
    return text;
}

// Six upper-case hex digits RRGGBB of a 24-bit colour.
GbString HexColor(int rgb) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    GbString hex;
    for (int shift = 20; shift >= 0; shift -= 4) {
        hex.Append(kDigits[(rgb >> shift) & 0xF]);
    }
    return hex;
}

// Opens the colour dialog at the colour of `color` ("#RRGGBB"); when the user confirms, the six
// characters after its "#" become the chosen colour.
void ChooseColorInto(RenderState& state, GbString& color) {
    int rgb = ParseColor(color);
    if (!state.colorChooser || !state.colorChooser->ChooseColor(state.mainWindow, rgb)) {
        return;
    }
    const GbString hex = HexColor(rgb & 0xFFFFFF);
    const int hash = color.Find("#", 0);
    if (hash < 0) {
        color.Assign("#" + hex);
        return;
    }
    color.Delete(hash + 1, 6);
    color.Insert(hash + 1, hex);
}

// Puts value into configText in place of the key's old value and writes the whole text as
// bible.ini, through a temporary file so that a failed write leaves the old file intact. The
// file is read again under its lock, so that a change another program made since the last
// read (an imported module, a merged update) is kept.
void WriteConfigValue(RenderState& state, const GbString& key, std::string_view value) {
    const auto path = ConfigFilePath(state);
    std::optional<ConfigFileLock> lock;
    if (path) {
        lock.emplace(path->view());
        state.configText = ReadConfigFile(*path);
    }
    const GbString before = state.configText;
    if (!ReplaceConfigValue(state.configText, key, value)) {
        return;
    }
    if (state.configText == before) {
        return;  // the file already says this (a search repeated, exclusions left as they were)
    }
    if (path) {
        // A failed write is not reported: the file stays as it was and the next write tries anew.
        (void)platform::WriteWholeFile(*path, state.configText.view());
    }
}

void LoadBuildLabel(RenderState& state) {
    const GbString clsid = ReadRegistryText(RegistryRoot::ClassesRoot, kEngineProgIdClassKey, "");
    if (clsid.IsEmpty()) {
        return;
    }
    const GbString library = ReadRegistryText(
        RegistryRoot::ClassesRoot, "CLSID\\" + clsid + "\\InprocServer32", "");
    if (library.IsEmpty()) {
        return;
    }
    const auto strings = platform::ReadVersionStrings(library);
    if (!strings) {
        return;
    }
    state.buildLabel = MakeBuildLabel(strings->fileVersion);
    state.aboutText = MakeAboutText(strings->legalCopyright, state.buildLabel);
}

}  // namespace

GbString MakeBuildLabel(std::string_view fileVersion) {
    GbString version(fileVersion);
    version.Replace(",", ".", 0, 2);
    version.Replace(",", " ");
    GbString label = "Build " + version;
    label.Insert(label.Length() - 2, ":");
    return label;
}

GbString MakeAboutText(std::string_view legalNotice, const GbString& buildLabel) {
    GbString about(legalNotice);
    const int at = about.Find("()", 0);
    if (at < 0) {
        return about;
    }
    about.Insert(at + 1, buildLabel);
    about.Insert(at, buildLabel.Slice(6, 4));
    return about;
}

void LoadConfiguration(RenderState& state) {
    state.sixDayPlanBase.Set(2000, 2, 16);
    state.dailyPlanBase.Set(2004, 2, 1);

    LoadBuildLabel(state);

    state.installDir = ReadRegistryText(RegistryRoot::CurrentUser, kInstallationKey, "");
    const auto path = ConfigFilePath(state);
    if (!path || !platform::FileExists(*path)) {
        return;  // no installation: the engine runs with empty settings
    }
    state.configText = ReadConfigFile(*path);

    if (state.desktop) {
        state.mainWindow = state.desktop->ActiveWindow();
        state.titlePrefix =
            ClipToCharacters(state.desktop->WindowCaption(state.mainWindow), kCaptionLimit);
    }
    state.titlePrefix.Append(" - ");

    const GbString& text = state.configText;
    state.cssBgColors.Split(RemoveIndexDigits(ReadConfigValue(text, kColorKey)), ",",
                            GbList::kSplitSharedBuffer);
    state.bookNames = ReadConfigList(text, "CCNAME=");
    GbString words = ReadConfigValue(text, "CMPSTR=");
    words.Replace("'", "\"");
    state.cmpStr.Split(words, ",", GbList::kSplitSharedBuffer);
    state.tableWidths = ReadConfigList(text, kTableWidthKey);
    state.simplifiedWords = ReadConfigList(text, "WORD_GB2=");
    state.traditionalWords = ReadConfigList(text, "WORD_GBK=");

    LoadSettings(state);
}

void LoadSettings(RenderState& state) {
    const GbString& text = state.configText;
    const auto value = [&text](std::string_view key) { return ReadConfigValue(text, key); };

    state.charset = platform::GbkToUtf16(value("LANGUAGE="));
    state.scrollScript = platform::GbkToUtf16(value("SCROLLFUNC="));
    state.systemTextDir = value("TXTSYSPTH=");
    state.systemTextDir.MakeLower();
    state.lastSearch = value("SEARCH=");
    state.lastExclusions = value("EXCLUSIVE=");
    state.bookNameText = value("CNAME=");
    state.systemModules = value("SYSKEY=");
    state.linkControl = value("LINKCTRL=");
    state.parallelModules = ReadConfigList(text, "EQUATEFILE=");
    const double widthFactor = ToReal(value("MAXWINDOWWIDTH="));
    const int screenWidth = state.desktop ? state.desktop->ScreenWidth() : 0;
    state.maxPopupWidth = TruncateToInt(screenWidth * widthFactor);
    state.pictureScale = ToReal(value("TUPER="));
    state.readModel = ToInt(value("READMODEL="));
    state.songWidth = ToInt(value("SONGWIDTH="));
    state.scrollSpeed = ToInt(value("SCROLLSPEED="));
    state.useGbk = ToInt(value("USEGBK="));
    state.extendNote = ToInt(value("EXTENDNOTE="));
    state.maxSearch = ToInt(value("MAXSEARCH="));
    state.openDelay = ToInt(value("OPENDELAYTIME="));
    if (state.openDelay > 2000 || state.openDelay < 100) {
        state.openDelay = 300;
    }
    state.closeDelay = ToInt(value("CLOSEDELAYTIME="));
    if (state.closeDelay > 2000 || state.closeDelay < 0) {
        state.closeDelay = 200;
    }
    state.substitute = value("SUBSTITUTE=").GetAt(0) == '1' ? 1 : 0;

    state.pageHeader.Assign("<html><body><STYLE>");
    state.pageHeader.Append(ReadCompanionFile(state, "bible.css"));
    state.pageHeader.Append("</STYLE>");
    state.scriptText = platform::GbkToUtf16(ReadCompanionFile(state, "quillets.js"));
}

GbString ReadConfigValue(const RenderState& state, std::string_view key) {
    return ReadConfigValue(state.configText, key);
}

bool SetConfigValue(RenderState& state, std::string_view keyText, GbString& value) {
    if (state.busy) {
        return false;  // refused: a page build, a popup or another write is running
    }
    const BusyGuard guard(state);

    state.configText = ReadCurrentConfigFile(state);
    GbString key(keyText);
    key.MakeUpper();
    if (FindConfigKey(state.configText, key) < 0) {
        return false;  // files are never extended with new keys
    }

    // An empty value reads the key, also for the colour list (whose special forms below all
    // carry at least one byte).
    if (key == kColorKey && !value.IsEmpty()) {
        const int n = ToInt(value);
        const int k = value.Length();
        if (k == 1) {
            value = state.cssBgColors[n];
            return true;
        }
        if (k == 2) {
            value = state.cssBgColors[n];
            ChooseColorInto(state, value);
        } else {
            // A colour given with its index ("2#00FF00") becomes that index's entry "#00FF00".
            // Kept whole, the stored item would read "22#00FF00" and load back as "2#00FF00",
            // which is no colour at all.
            const int hash = value.Find("#", 0);
            bool indexDigits = hash > 0;
            for (int i = 0; i < hash && indexDigits; ++i) {
                indexDigits = value.GetAt(i) >= '0' && value.GetAt(i) <= '9';
            }
            if (indexDigits) value.Delete(0, hash);
        }
        const GbString stored = BuildColorList(state.cssBgColors, n, value);
        if (GbString* item = state.cssBgColors.Get(n)) {
            item->Assign(value);
        }
        WriteConfigValue(state, key, stored);
        return true;
    }

    if (key == kTableWidthKey && !value.IsEmpty()) {
        GbString widths(value);
        widths.Replace("\"", "");
        state.tableWidths.Split(widths, ",", GbList::kSplitSharedBuffer);
        WriteConfigValue(state, key, value);
        return false;
    }

    if (value.IsEmpty()) {
        value = ReadConfigValue(state.configText, key);
        return true;
    }

    WriteConfigValue(state, key, value);
    LoadSettings(state);
    return false;
}

GbString PictureTable(RenderState& state, std::string_view group) {
    state.configText = ReadCurrentConfigFile(state);
    GbString key("TU");
    key.Append(group);
    key.Append("=");
    return ReadConfigValue(state.configText, key);
}

}  // namespace quillax
