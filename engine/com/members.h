// The members of the control as scripts reach them: one table, in the order and with the names,
// dispatch ids and parameters of the interface in the type library (resources/quillax.idl).
// A property's get and put are two rows under one dispatch id.
//
// Every caller that reaches the members by name goes through this table: the COM class for
// its names, the development host for the calls of its page, and quillax-cli for its call
// scripts. Each carries the arguments its own way (MemberArguments) and gets the member's
// answer back as a MemberReply.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/com/control.h"

namespace quillax {

class HostWindow;

enum class MemberKind { Method, PropertyGet, PropertyPut };

// What a parameter carries: a text (BSTR, or a VARIANT read as text), a number (long, or a
// VARIANT read as a number) or a browser window (a VARIANT holding the window object).
enum class ParameterType { Text, Number, Window };

struct MemberParameter {
    ParameterType type;
    std::string_view name;      // as in the type library
    std::string_view pageKey;   // the key the development host page sends it under
};

// What a member gives back besides its result code.
enum class MemberValue { None, Text, Number };

// The arguments of one call, read by position in the member's order. Missing arguments read
// as an empty text, 0 and no window.
class MemberArguments {
public:
    virtual ~MemberArguments() = default;
    virtual std::u16string Text(std::size_t index) const = 0;
    virtual std::int32_t Number(std::size_t index) const = 0;
    virtual HostWindow* Window(std::size_t index) const = 0;
};

// The answer of a call. A member that gives a text back starts from the text already here
// (getcfg leaves it as it is when the setting is not read).
struct MemberReply {
    HResult result = kResultOk;
    std::optional<std::u16string> text;
    std::optional<std::int32_t> number;
};

constexpr std::size_t kMostMemberParameters = 4;

struct ControlMember {
    std::string_view name;       // as in the type library
    std::int32_t dispatchId;
    MemberKind kind;
    std::size_t arity;           // the parameters a caller passes ([out, retval] not counted)
    std::array<MemberParameter, kMostMemberParameters> parameters;
    MemberValue value;
    void (*invoke)(Cqlx& control, const MemberArguments& args, MemberReply& reply);
};

constexpr std::size_t kControlMemberCount = 15;
extern const std::array<ControlMember, kControlMemberCount> kControlMembers;

// The member of a name as the type library spells it (ASCII case ignored, as dispatch by name
// ignores it) and of a kind; null when there is none.
const ControlMember* FindMember(std::string_view name, MemberKind kind);

// The dispatch id of a name (ASCII case ignored); nullopt when no member has it.
std::optional<std::int32_t> DispatchIdOf(std::string_view name);

// The member that a call of the development tools names. Besides the type library's names
// they write a property's get and put as "get_Changed" and "put_Changed" (the C++ spelling)
// or "getChanged" and "putChanged" (the host page's); a property written plainly is its get,
// or its put when the call brings arguments and the property has one. Null when no member
// has the name.
const ControlMember* MemberOfCall(std::string_view written, bool hasArguments);

// The names of the members, each once, in table order, separated by ", " (for messages).
std::string MemberNames();

}  // namespace quillax
