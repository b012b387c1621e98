#include "engine/com/members.h"

namespace quillax {

namespace {

constexpr MemberParameter kNone{ParameterType::Text, "", ""};

constexpr MemberParameter Text(std::string_view name, std::string_view pageKey) {
    return {ParameterType::Text, name, pageKey};
}
constexpr MemberParameter Number(std::string_view name, std::string_view pageKey) {
    return {ParameterType::Number, name, pageKey};
}
constexpr MemberParameter Window(std::string_view name, std::string_view pageKey) {
    return {ParameterType::Window, name, pageKey};
}

using Args = const MemberArguments&;

void Init(Cqlx& c, Args a, MemberReply& r) { r.result = c.init(a.Window(0), a.Text(1)); }
void MouseClick(Cqlx& c, Args, MemberReply& r) { r.result = c.MouseClick(); }
void MouseOut(Cqlx& c, Args, MemberReply& r) { r.result = c.MouseOut(); }
void MouseOver(Cqlx& c, Args, MemberReply& r) { r.result = c.MouseOver(); }
void PF10(Cqlx& c, Args, MemberReply& r) { r.result = c.pF10(); }

void SearchWord(Cqlx& c, Args a, MemberReply& r) {
    r.result = c.SearchWord(a.Text(0), a.Text(1), a.Number(2), a.Window(3));
}

void Getcfg(Cqlx& c, Args a, MemberReply& r) {
    std::u16string value = r.text.value_or(u"");
    r.result = c.getcfg(a.Text(0), &value);
    r.text = std::move(value);
}

void GetWheel(Cqlx& c, Args a, MemberReply& r) { r.result = c.GetWheel(a.Text(0)); }
void Linkmap(Cqlx& c, Args a, MemberReply& r) { r.result = c.linkmap(a.Text(0)); }

void GetVer(Cqlx& c, Args, MemberReply& r) {
    std::u16string value;
    r.result = c.get_Ver(&value);
    r.text = std::move(value);
}

void Openchahtm(Cqlx& c, Args a, MemberReply& r) {
    r.result = c.openchahtm(a.Text(0), a.Number(1), a.Text(2));
}

void AddBibleLink(Cqlx& c, Args, MemberReply& r) { r.result = c.AddBibleLink(); }

void GetChanged(Cqlx& c, Args, MemberReply& r) {
    std::int32_t value = 0;
    r.result = c.get_Changed(&value);
    r.number = value;
}

void PutChanged(Cqlx& c, Args a, MemberReply& r) { r.result = c.put_Changed(a.Number(0)); }

void GetFixResult(Cqlx& c, Args a, MemberReply& r) {
    std::u16string value;
    r.result = c.get_FixResult(a.Text(0), &value);
    r.text = std::move(value);
}

constexpr MemberKind kMethod = MemberKind::Method;
constexpr MemberKind kGet = MemberKind::PropertyGet;
constexpr MemberKind kPut = MemberKind::PropertyPut;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

const ControlMember* Exact(std::string_view name, MemberKind kind) {
    for (const ControlMember& member : kControlMembers) {
        if (member.name == name && member.kind == kind) return &member;
    }
    return nullptr;
}

}  // namespace

// The window parameters' page keys name the window the development host page gives them: its
// own page, or its result pane for the search.
const std::array<ControlMember, kControlMemberCount> kControlMembers = {{
    {"init", 1, kMethod, 2, {Window("wes", "page"), Text("sTitle", "title"), kNone, kNone},
     MemberValue::None, Init},
    {"MouseClick", 2, kMethod, 0, {kNone, kNone, kNone, kNone}, MemberValue::None, MouseClick},
    {"MouseOut", 3, kMethod, 0, {kNone, kNone, kNone, kNone}, MemberValue::None, MouseOut},
    {"MouseOver", 4, kMethod, 0, {kNone, kNone, kNone, kNone}, MemberValue::None, MouseOver},
    {"pF10", 5, kMethod, 0, {kNone, kNone, kNone, kNone}, MemberValue::None, PF10},
    {"SearchWord", 7, kMethod, 4,
     {Text("fStr", "word"), Text("NoFindTxt", "noFind"), Number("ExtendTxt", "extend"),
      Window("pinnerhtml", "result")},
     MemberValue::None, SearchWord},
    {"getcfg", 8, kMethod, 1, {Text("NoName", "name"), kNone, kNone, kNone}, MemberValue::Text,
     Getcfg},
    {"GetWheel", 9, kMethod, 1, {Text("wd", "wd"), kNone, kNone, kNone}, MemberValue::None,
     GetWheel},
    {"linkmap", 10, kMethod, 1, {Text("TuNo", "tu"), kNone, kNone, kNone}, MemberValue::None,
     Linkmap},
    {"Ver", 11, kGet, 0, {kNone, kNone, kNone, kNone}, MemberValue::Text, GetVer},
    {"openchahtm", 13, kMethod, 3,
     {Text("tKey", "key"), Number("NoLinkValue", "noLink"), Text("esinnerHTML", "position"), kNone},
     MemberValue::None, Openchahtm},
    {"AddBibleLink", 18, kMethod, 0, {kNone, kNone, kNone, kNone}, MemberValue::None,
     AddBibleLink},
    {"Changed", 19, kGet, 0, {kNone, kNone, kNone, kNone}, MemberValue::Number, GetChanged},
    {"Changed", 19, kPut, 1, {Number("newVal", "value"), kNone, kNone, kNone}, MemberValue::None,
     PutChanged},
    {"FixResult", 21, kGet, 1, {Text("inBSTR", "text"), kNone, kNone, kNone}, MemberValue::Text,
     GetFixResult},
}};

const ControlMember* FindMember(std::string_view name, MemberKind kind) {
    for (const ControlMember& member : kControlMembers) {
        if (member.kind == kind && SameIgnoringCase(member.name, name)) return &member;
    }
    return nullptr;
}

std::optional<std::int32_t> DispatchIdOf(std::string_view name) {
    for (const ControlMember& member : kControlMembers) {
        if (SameIgnoringCase(member.name, name)) return member.dispatchId;
    }
    return std::nullopt;
}

const ControlMember* MemberOfCall(std::string_view written, bool hasArguments) {
    if (const ControlMember* method = Exact(written, kMethod)) return method;
    if (const ControlMember* get = Exact(written, kGet)) {
        const ControlMember* put = hasArguments ? Exact(written, kPut) : nullptr;
        return put != nullptr ? put : get;
    }
    for (const std::string_view prefix : {"get_", "get", "put_", "put"}) {
        if (written.substr(0, prefix.size()) != prefix) continue;
        const MemberKind kind = prefix[0] == 'g' ? kGet : kPut;
        if (const ControlMember* property = Exact(written.substr(prefix.size()), kind)) return property;
    }
    return nullptr;
}

std::string MemberNames() {
    std::string names;
    std::string_view previous;
    for (const ControlMember& member : kControlMembers) {
        if (member.name == previous) continue;
        if (!names.empty()) names += ", ";
        names += member.name;
        previous = member.name;
    }
    return names;
}

}  // namespace quillax
