#include "app/ConfigFileSearch.h"
#include "app/SkinCatalog.h"
#include "app/StartsWindow.h"
#include "app/WindowRules.h"
#include "base/MemoryRegistryStore.h"
#include "base/Settings.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace tarnwick;
using namespace tarnwick::gui;

TEST(WindowRules, WidthToggleDecidesByTheCurrentWidth)
{
    const struct {
        int width;
        int expected;
        bool advanced;
    } cases[] = { { 722, 531, false }, { 531, 722, true }, { 599, 722, true }, { 600, 531, false },
        { 1000, 531, false } };
    for (const auto& c : cases) {
        const WidthChange w = toggleWidth(c.width);
        EXPECT_EQ(w.outerWidth, c.expected) << c.width;
        EXPECT_EQ(w.advanced, c.advanced) << c.width;
    }
}

TEST(WindowRules, ProxyBoxesGateEachOther)
{
    EXPECT_EQ(proxyEnables(false, false).useAgent, false);
    EXPECT_EQ(proxyEnables(false, true).fields, false); // cleared feature wins whatever the proxy box says
    EXPECT_EQ(proxyEnables(true, false).useAgent, true);
    EXPECT_EQ(proxyEnables(true, false).fields, false);
    EXPECT_EQ(proxyEnables(true, true).fields, true);
}

TEST(WindowRules, FixedAddressForcesFixedDns)
{
    const AddressEnables fixed = addressEnables(true);
    EXPECT_TRUE(fixed.addressFields);
    EXPECT_FALSE(fixed.autoDnsRadio);
    EXPECT_TRUE(fixed.forceUseDns);
    const AddressEnables dhcp = addressEnables(false);
    EXPECT_FALSE(dhcp.addressFields);
    EXPECT_TRUE(dhcp.autoDnsRadio);
    EXPECT_FALSE(dhcp.forceUseDns);
}

TEST(StartsWindow, NoArgumentOrOneQuickSwitchFile)
{
    const struct {
        std::vector<std::string> args;
        bool window;
    } cases[] = {
        { {}, true },
        { { "/home/u/Desktop/家里.twk" }, true },
        { { "OFFICE.TWK" }, true },
        { { ".twk" }, false },
        { { "a.twk", "b.twk" }, false },
        { { "list" }, false },
        { { "--help" }, false },
        { { "config.xml" }, false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(startsWindow(c.args), c.window) << (c.args.empty() ? "(none)" : c.args[0]);
}

namespace
{

std::string readSkinTable()
{
    std::ifstream in(std::string(test::kDataDir) + "/../../src/app/gui/skins/skins.table");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> names(const std::vector<SkinPalette>& skins)
{
    std::vector<std::string> out;
    for (const auto& s : skins)
        out.push_back(s.name);
    return out;
}

} // namespace

TEST(SkinCatalog, BuiltInSkinsListedAfterThePlainLooksSortedWithoutCase)
{
    const std::vector<SkinPalette> skins = parseSkinTable(readSkinTable());
    ASSERT_EQ(skins.size(), 32u); // 31 skins and the toolkit's own entry
    const std::vector<std::string> items = skinListItems(names(skins));
    const std::vector<std::string> expected
        = { "Standard", "Flat", "Ultra Flat", "Black", "Blue", "Caramel", "Coffee", "Darkroom", "DarkSide",
              "Foggy", "GlassOceans", "iMaginary", "Lilian", "LiquidSky", "LondonLiquidSky", "McSkin",
              "MoneyTwins", "Office2007Black", "Office2007Blue", "Office2007Green", "Office2007Pink",
              "Office2007Silver", "Office2010Black", "Office2010Blue", "Office2010Silver", "Pumpkin", "Seven",
              "Sharp", "Silver", "Springtime", "Stardust", "Summer2008", "Valentine", "Xmas2008Blue" };
    EXPECT_EQ(items, expected);
}

TEST(SkinCatalog, UserSkinDataIsDroppedInAnyCase)
{
    const std::vector<std::string> items
        = skinListItems({ "zeta", "DEFAULTUSERSKINDATA", "Alpha", "defaultuserskindata" });
    EXPECT_EQ(items, (std::vector<std::string> { "Standard", "Flat", "Ultra Flat", "Alpha", "zeta" }));
}

TEST(SkinCatalog, EverySkinHasItsOwnLook)
{
    const std::vector<SkinPalette> skins = parseSkinTable(readSkinTable());
    std::set<std::string> sheets;
    for (const SkinPalette& s : skins)
        sheets.insert(styleSheetFor(s));
    EXPECT_EQ(sheets.size(), skins.size());
    ASSERT_NE(findSkin(skins, "IMAGINARY"), nullptr);
    EXPECT_EQ(findSkin(skins, "IMAGINARY")->name, "iMaginary");
    EXPECT_EQ(findSkin(skins, "Ultra Flat"), nullptr);
}

TEST(SkinCatalog, PlainLooksByExactName)
{
    EXPECT_EQ(plainLookByName("Ultra Flat"), LookKind::UltraFlat);
    EXPECT_EQ(plainLookByName("Flat"), LookKind::Flat);
    EXPECT_EQ(plainLookByName("Standard"), LookKind::Standard);
    EXPECT_EQ(plainLookByName("flat"), std::nullopt);
    EXPECT_EQ(plainLookByName(""), std::nullopt);
}

TEST(SkinCatalog, MalformedRowsAreRefused)
{
    EXPECT_THROW(parseSkinTable("Black #000000 #ffffff\n"), std::invalid_argument);
    EXPECT_THROW(parseSkinTable("Black #000000 #ffffff #123456 #123456 red\n"), std::invalid_argument);
    EXPECT_THROW(
        parseSkinTable("Black #000000 #ffffff #123456 #123456 #123456 extra\n"), std::invalid_argument);
    EXPECT_EQ(parseSkinTable("# comment\n\nBlack #000000 #ffffff #123456 #123456 #123456\n").size(), 1u);
}

namespace
{

// Answers the start-up's questions from a script and records what was said.
class ScriptedPrompts : public UserPrompts
{
public:
    std::vector<std::string> answers; // taken in order; "" = cancel
    std::vector<std::string> messages;
    int asked = 0;

    void show(Kind, const std::string& text, const std::string& = {}) override { messages.push_back(text); }
    bool confirm(const std::string&, Answers, const std::string&) override { return false; }
    std::string askSaveFileName() override
    {
        const std::size_t i = static_cast<std::size_t>(asked++);
        return i < answers.size() ? answers[i] : std::string();
    }
};

struct FakeFiles {
    std::set<std::string> present;
    std::set<std::string> invalid;
    std::vector<std::string> created;
    bool refuseCreate = false;

    ConfigFileOps ops()
    {
        return { [this](const std::string& p) { return present.count(p) > 0; },
            [this](const std::string& p) {
                return invalid.count(p) ? ConfigCheck::Invalid : ConfigCheck::Valid;
            },
            [this](const std::string& p) {
                if (refuseCreate)
                    throw std::runtime_error("cannot write " + p);
                created.push_back(p);
                present.insert(p);
            } };
    }
};

} // namespace

TEST(ConfigFileSearch, SettlesThePathAndKeepsConfigFile)
{
    struct Case {
        const char* name;
        std::string start;
        std::vector<std::string> present, invalid, answers;
        std::string expected;
        std::vector<std::string> messages;
        std::string storedConfigFile; // "" = untouched
        std::vector<std::string> created;
    };
    const std::string nf = kConfigNotFound;
    const std::string bad = kConfigInvalid;
    const Case cases[] = {
        { "present and valid: no dialog", "config.xml", { "config.xml" }, {}, {}, "config.xml", {}, "", {} },
        { "missing, cancelled", "config.xml", {}, {}, { "" }, "null", { nf }, "", {} },
        { "missing, an existing file picked", "config.xml", { "/d/work.xml" }, {}, { "/d/work.xml" },
            "/d/work.xml", { nf }, "/d/work.xml", {} },
        { "missing, a new name typed: created", "config.xml", {}, {}, { "/d/new.xml" }, "/d/new.xml", { nf },
            "/d/new.xml", { "/d/new.xml" } },
        { "invalid file", "config.xml", { "config.xml" }, { "config.xml" }, {}, "null", { bad }, "config.xml",
            {} },
        { "picked file invalid", "gone.xml", { "/d/bad.xml" }, { "/d/bad.xml" }, { "/d/bad.xml" }, "null",
            { nf, bad }, "config.xml", {} },
        { "null stays null without asking", "null", {}, {}, { "/d/x.xml" }, "null", {}, "", {} },
    };
    for (const Case& c : cases) {
        MemoryRegistryStore store;
        ScriptedPrompts prompts;
        prompts.answers = c.answers;
        FakeFiles files;
        files.present.insert(c.present.begin(), c.present.end());
        files.invalid.insert(c.invalid.begin(), c.invalid.end());
        EXPECT_EQ(settleConfigFile(c.start, store, prompts, files.ops()), c.expected) << c.name;
        EXPECT_EQ(prompts.messages, c.messages) << c.name;
        EXPECT_EQ(settings::readValue(store, settings::kConfigFile), c.storedConfigFile) << c.name;
        EXPECT_EQ(files.created, c.created) << c.name;
    }
}

TEST(ConfigFileSearch, UnwritableNewNameEndsTheSearchInsteadOfAskingForever)
{
    MemoryRegistryStore store;
    ScriptedPrompts prompts;
    prompts.answers = { "/ro/new.xml", "/ro/new.xml", "/ro/new.xml" };
    FakeFiles files;
    files.refuseCreate = true;
    EXPECT_EQ(settleConfigFile("config.xml", store, prompts, files.ops()), "null");
    EXPECT_EQ(prompts.asked, 1);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1], "cannot write /ro/new.xml");
}

TEST(ConfigFileSearch, EmptyFileStartsWithTheDeclarationLine)
{
    const std::string bytes = emptyConfigFileBytes();
    EXPECT_EQ(bytes.substr(0, 41), "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n");
    EXPECT_NE(bytes.find("<ConfigBox LastID=\"0\"/>"), std::string::npos);
}
