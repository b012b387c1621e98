// The members' table against the interface of the type library (resources/quillax.idl): the
// same members in the same order, with their names, dispatch ids, kinds and parameters.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/com/members.h"
#include "platform/files.h"

namespace quillax {
namespace {

struct IdlMember {
    std::string name;
    std::int32_t id = -1;
    MemberKind kind = MemberKind::Method;
    std::vector<std::string> parameters;   // the names of the parameters a caller passes
    bool returnsValue = false;             // an [out, retval] parameter
};

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

// The members of the interface Iqlx: each an attribute list "[...]" followed by
// "HRESULT Name(parameters);".
std::vector<IdlMember> ReadInterface(const std::string& idl) {
    std::vector<IdlMember> members;
    const std::size_t start = idl.find("interface Iqlx : IDispatch");
    if (start == std::string::npos) return members;
    const std::size_t end = idl.find("};", start);
    std::size_t at = idl.find('{', start);
    while (at < end) {
        const std::size_t open = idl.find('[', at);
        if (open == std::string::npos || open > end) break;
        const std::size_t close = idl.find(']', open);
        const std::string attributes = idl.substr(open + 1, close - open - 1);
        const std::size_t hresult = idl.find("HRESULT", close);
        const std::size_t paren = idl.find('(', hresult);
        const std::size_t closeParen = idl.find(");", paren);
        IdlMember member;
        member.name = Trimmed(idl.substr(hresult + 7, paren - hresult - 7));
        const std::size_t id = attributes.find("id(");
        if (id != std::string::npos) member.id = std::stoi(attributes.substr(id + 3));
        if (attributes.find("propget") != std::string::npos) member.kind = MemberKind::PropertyGet;
        if (attributes.find("propput") != std::string::npos) member.kind = MemberKind::PropertyPut;
        std::string list = idl.substr(paren + 1, closeParen - paren - 1);
        std::size_t from = 0;
        while (from < list.size()) {
            std::size_t comma = list.find(',', from);
            // A comma inside the attributes of a parameter ("[out, retval]") does not end it.
            const std::size_t bracket = list.find('[', from);
            const std::size_t bracketEnd = list.find(']', from);
            if (bracket < comma && bracketEnd > comma && bracketEnd != std::string::npos) {
                comma = list.find(',', bracketEnd);
            }
            if (comma == std::string::npos) comma = list.size();
            const std::string parameter = Trimmed(list.substr(from, comma - from));
            from = comma + 1;
            if (parameter.empty()) continue;
            if (parameter.find("retval") != std::string::npos) {
                member.returnsValue = true;
                continue;
            }
            const std::size_t nameStart = parameter.find_last_of(" *");
            member.parameters.push_back(parameter.substr(nameStart + 1));
        }
        members.push_back(member);
        at = closeParen + 2;
    }
    return members;
}

TEST(ControlMembers, TheTableIsTheInterfaceOfTheTypeLibrary) {
    const std::optional<std::string> idl = platform::ReadWholeFile("resources\\quillax.idl");
    ASSERT_TRUE(idl.has_value()) << "resources/quillax.idl not found";
    const std::vector<IdlMember> interface = ReadInterface(*idl);
    ASSERT_EQ(interface.size(), kControlMembers.size());
    for (std::size_t i = 0; i < interface.size(); ++i) {
        const IdlMember& expected = interface[i];
        const ControlMember& member = kControlMembers[i];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(member.name, expected.name);
        EXPECT_EQ(member.dispatchId, expected.id);
        EXPECT_EQ(member.kind, expected.kind);
        ASSERT_EQ(member.arity, expected.parameters.size());
        for (std::size_t p = 0; p < member.arity; ++p) {
            EXPECT_EQ(member.parameters[p].name, expected.parameters[p]);
            EXPECT_FALSE(member.parameters[p].pageKey.empty());
        }
        // What comes back is a retval, or the number of a property's get.
        EXPECT_EQ(member.value != MemberValue::None, expected.returnsValue);
        EXPECT_NE(member.invoke, nullptr);
    }
}

TEST(ControlMembers, NamesAsScriptsAndTheDevelopmentToolsWriteThem) {
    // Dispatch by name ignores case; a property's get and put share their id.
    ASSERT_NE(FindMember("MOUSEOVER", MemberKind::Method), nullptr);
    EXPECT_EQ(FindMember("MOUSEOVER", MemberKind::Method)->dispatchId, 4);
    EXPECT_EQ(FindMember("Ver", MemberKind::Method), nullptr);
    EXPECT_EQ(DispatchIdOf("changed"), 19);
    EXPECT_EQ(DispatchIdOf("fixresult"), 21);
    EXPECT_EQ(DispatchIdOf("openchahtm "), std::nullopt);
    EXPECT_EQ(DispatchIdOf(""), std::nullopt);

    // The call scripts' and the host page's spellings of the properties.
    const auto call = [](const char* written, bool arguments) -> std::string {
        const ControlMember* member = MemberOfCall(written, arguments);
        if (member == nullptr) return "none";
        const char* kinds[] = {"method", "get", "put"};
        return std::string(member->name) + " " + kinds[static_cast<int>(member->kind)];
    };
    EXPECT_EQ(call("getcfg", true), "getcfg method");
    EXPECT_EQ(call("GetWheel", false), "GetWheel method");
    EXPECT_EQ(call("Changed", false), "Changed get");
    EXPECT_EQ(call("Changed", true), "Changed put");
    EXPECT_EQ(call("get_Changed", true), "Changed get");
    EXPECT_EQ(call("put_Changed", false), "Changed put");
    EXPECT_EQ(call("getChanged", false), "Changed get");
    EXPECT_EQ(call("putChanged", true), "Changed put");
    EXPECT_EQ(call("Ver", true), "Ver get");
    EXPECT_EQ(call("get_Ver", false), "Ver get");
    EXPECT_EQ(call("put_Ver", true), "none");
    EXPECT_EQ(call("get_FixResult", true), "FixResult get");
    EXPECT_EQ(call("get_getcfg", false), "none");
    EXPECT_EQ(call("mouseover", false), "none");
    EXPECT_EQ(call("Open", false), "none");

    EXPECT_EQ(MemberNames(),
              "init, MouseClick, MouseOut, MouseOver, pF10, SearchWord, getcfg, GetWheel, "
              "linkmap, Ver, openchahtm, AddBibleLink, Changed, FixResult");
}

}  // namespace
}  // namespace quillax
