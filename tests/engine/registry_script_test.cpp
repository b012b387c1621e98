// Registry scripts: the shipped class registration and the rules of registering and
// unregistering. Writes go below a key of the test's own in HKEY_CURRENT_USER (on Linux into a
// store file of the test's own).
#include "engine/library/registry_script.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

using platform::RegistryRoot;
using Removal = RegistryScriptKey::Removal;

const RegistryScriptKey* Child(const RegistryScriptKey& key, const std::string& name) {
    for (const RegistryScriptKey& subkey : key.subkeys) {
        if (subkey.name == name) return &subkey;
    }
    return nullptr;
}

std::string DefaultText(const RegistryScriptKey* key) {
    return key != nullptr && key->defaultValue ? key->defaultValue->text : std::string("<none>");
}

TEST(RegistryScript, TheShippedScriptRegistersExactlyTheClassKeys) {
    const auto text = platform::ReadWholeFile("resources\\quillax.rgs");
    ASSERT_TRUE(text.has_value()) << "tests run in the repository root";
    const std::string module = "C:\\Program Files\\Corvex\\cfg\\quillax.dll";
    const auto roots = ParseRegistryScript(*text, {{"MODULE", module}});
    ASSERT_TRUE(roots.has_value());
    ASSERT_EQ(roots->size(), 1u);
    const RegistryScriptRoot& root = roots->front();
    EXPECT_EQ(root.root, RegistryRoot::ClassesRoot);
    ASSERT_EQ(root.keys.size(), 2u);

    const RegistryScriptKey& progId = root.keys[0];
    EXPECT_EQ(progId.name, "quillax.qlx");
    EXPECT_EQ(progId.removal, Removal::Plain);
    EXPECT_EQ(DefaultText(&progId), "qlx Class");
    ASSERT_EQ(progId.subkeys.size(), 2u);
    EXPECT_EQ(DefaultText(Child(progId, "CLSID")), "{A9599F9D-1610-4092-99F3-B602427CC1C3}");
    EXPECT_EQ(DefaultText(Child(progId, "CurVer")), "quillax.qlx");

    const RegistryScriptKey& classes = root.keys[1];
    EXPECT_EQ(classes.name, "CLSID");
    EXPECT_EQ(classes.removal, Removal::NoRemove);
    EXPECT_FALSE(classes.defaultValue.has_value());
    ASSERT_EQ(classes.subkeys.size(), 1u);
    const RegistryScriptKey& clsid = classes.subkeys[0];
    EXPECT_EQ(clsid.name, "{A9599F9D-1610-4092-99F3-B602427CC1C3}");
    EXPECT_EQ(clsid.removal, Removal::ForceRemove);
    EXPECT_EQ(DefaultText(&clsid), "qlx Class");
    ASSERT_EQ(clsid.subkeys.size(), 4u);
    EXPECT_EQ(DefaultText(Child(clsid, "ProgID")), "quillax.qlx");
    const RegistryScriptKey* server = Child(clsid, "InprocServer32");
    EXPECT_EQ(DefaultText(server), module);
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(server->values.size(), 1u);
    EXPECT_EQ(server->values[0].first, "ThreadingModel");
    EXPECT_EQ(server->values[0].second.text, "Apartment");
    EXPECT_EQ(DefaultText(Child(clsid, "TypeLib")), "{D3BD7906-044A-402B-AD75-272F3C0A26C2}");
    EXPECT_EQ(DefaultText(Child(clsid, "Version")), "1.0");
}

TEST(RegistryScript, TextsReplacementsAndNumbers) {
    const auto roots = ParseRegistryScript(
        "HKEY_CURRENT_USER { 'Key With Blank' = s 'It''s %WHO%, 100%% sure' "
        "{ val Count = d '0x10' val Plain = d 7 val Path = s '%WHO%' } }",
        {{"WHO", "O'Brien"}});
    ASSERT_TRUE(roots.has_value());
    const RegistryScriptKey& key = roots->front().keys.front();
    EXPECT_EQ(roots->front().root, RegistryRoot::CurrentUser);
    EXPECT_EQ(key.name, "Key With Blank");
    EXPECT_EQ(DefaultText(&key), "It's O'Brien, 100% sure");
    ASSERT_EQ(key.values.size(), 3u);
    EXPECT_TRUE(key.values[0].second.isNumber);
    EXPECT_EQ(key.values[0].second.number, 16u);
    EXPECT_EQ(key.values[1].second.number, 7u);
    EXPECT_EQ(key.values[2].second.text, "O'Brien");
}

TEST(RegistryScript, ScriptsThatBreakTheFormatAreRefused) {
    const RegistryScriptReplacements none;
    for (const char* broken : {
             "HKCR { a = s 'x' ",                // unclosed root
             "HKCR { a { b = s 'x' } ",          // unclosed key
             "HKXX { a = s 'x' }",               // unknown root
             "HKCR { a = s 'x }",                // unterminated text
             "HKCR { a = q 'x' }",               // unknown value type
             "HKCR { a = s '%MODULE%' }",        // no replacement given
             "HKCR { a = s '50%' }",             // lone percent sign
             "HKCR { a { val = s 'x' } }",       // value without a name
             "HKCR { a = d 'ten' }",             // not a number
             "HKCR { Delete a }",                // not supported
             "HKCR { a } }",                     // stray brace
         }) {
        EXPECT_FALSE(ParseRegistryScript(broken, none).has_value()) << broken;
    }
    const auto empty = ParseRegistryScript("", none);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

class RegistryScriptStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        ASSERT_TRUE(platform::SetEnvironmentValue("QUILLAX_REGISTRY", dir_.path() + "/registry"));
        base_ = "Software\\quillax-script-test-" + std::to_string(std::random_device{}());
    }
    void TearDown() override {
        platform::DeleteRegistryTree(RegistryRoot::CurrentUser, base_);
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }

    std::vector<RegistryScriptRoot> Script() {
        // Shaped like the class registration: a plain key, a shared NoRemove key and a
        // ForceRemove key below it.
        const std::string script =
            "HKCU { NoRemove '" + base_ + "' {"
            "  prog.id = s 'Prog' { CLSID = s '{1}' }"
            "  NoRemove Shared { ForceRemove {1} = s 'Class' {"
            "    Server = s '%MODULE%' { val Model = s 'Apartment' val Flags = d 3 } } } } }";
        auto roots = ParseRegistryScript(script, {{"MODULE", "C:\\lib\\q.dll"}});
        EXPECT_TRUE(roots.has_value());
        return roots.value_or(std::vector<RegistryScriptRoot>{});
    }

    std::string Text(const std::string& key, const std::string& name) {
        const auto value = platform::ReadRegistryValue(RegistryRoot::CurrentUser, base_ + key, name);
        if (!value) return "<none>";
        std::string bytes = value->bytes;
        return bytes.substr(0, bytes.find('\0'));
    }
    bool Exists(const std::string& key) {
        return platform::RegistryKeyExists(RegistryRoot::CurrentUser, base_ + key);
    }

    testing::TempDir dir_;
    std::optional<std::string> savedStore_;
    std::string base_;
};

TEST_F(RegistryScriptStore, RegistrationWritesEveryKeyAndValue) {
    const auto script = Script();
    // A stale key below the ForceRemove key goes with the old registration.
    ASSERT_TRUE(platform::CreateRegistryKey(RegistryRoot::CurrentUser, base_ + "\\Shared\\{1}\\Stale"));
    ASSERT_TRUE(RegisterFromScript(script));
    EXPECT_EQ(Text("\\prog.id", ""), "Prog");
    EXPECT_EQ(Text("\\prog.id\\CLSID", ""), "{1}");
    EXPECT_EQ(Text("\\Shared\\{1}", ""), "Class");
    EXPECT_EQ(Text("\\Shared\\{1}\\Server", ""), "C:\\lib\\q.dll");
    EXPECT_EQ(Text("\\Shared\\{1}\\Server", "Model"), "Apartment");
    const auto flags =
        platform::ReadRegistryValue(RegistryRoot::CurrentUser, base_ + "\\Shared\\{1}\\Server", "Flags");
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(flags->type, platform::RegistryType::Dword);
    EXPECT_EQ(flags->bytes, std::string("\x03\0\0\0", 4));
    EXPECT_FALSE(Exists("\\Shared\\{1}\\Stale"));

    // Registering twice leaves the same keys.
    ASSERT_TRUE(RegisterFromScript(script));
    EXPECT_EQ(Text("\\Shared\\{1}\\Server", ""), "C:\\lib\\q.dll");
}

TEST_F(RegistryScriptStore, UnregistrationRemovesOnlyWhatIsNotShared) {
    const auto script = Script();
    ASSERT_TRUE(RegisterFromScript(script));
    // Others' entries: a subkey under the plain key, a neighbour under the shared key.
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, base_ + "\\prog.id\\Other", "", "x"));
    ASSERT_TRUE(platform::CreateRegistryKey(RegistryRoot::CurrentUser, base_ + "\\Shared\\{2}"));

    ASSERT_TRUE(UnregisterFromScript(script));
    EXPECT_FALSE(Exists("\\Shared\\{1}"));  // ForceRemove: the whole tree
    EXPECT_TRUE(Exists("\\Shared\\{2}"));   // NoRemove parent and its other children stay
    EXPECT_TRUE(Exists("\\Shared"));
    EXPECT_FALSE(Exists("\\prog.id\\CLSID"));
    EXPECT_TRUE(Exists("\\prog.id"));       // still has a subkey of someone else's
    EXPECT_TRUE(Exists("\\prog.id\\Other"));

    // Once nothing else is below it, the plain key goes too; missing keys are no failure.
    ASSERT_TRUE(platform::DeleteRegistryTree(RegistryRoot::CurrentUser, base_ + "\\prog.id\\Other"));
    EXPECT_TRUE(UnregisterFromScript(script));
    EXPECT_FALSE(Exists("\\prog.id"));
    EXPECT_TRUE(UnregisterFromScript(script));
}

}  // namespace
}  // namespace quillax
