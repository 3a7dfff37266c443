#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which looks exist, how the skin list orders them and what each skin looks
// like. Pure rules; the widgets apply the result.
namespace tarnwick::gui
{

enum class LookKind { Standard, Flat, UltraFlat };

// The three plain looks, first in the list in this order.
const std::vector<std::string>& plainLookNames();

// "Standard", "Flat" or "Ultra Flat" (exact text) name a plain look.
std::optional<LookKind> plainLookByName(std::string_view name);

// The toolkit's own skin definition, never offered to the user.
bool isUserSkinData(std::string_view name);

// The skin list: the plain looks, then the built-in skin names without the
// toolkit's own entry, sorted without regard to case.
std::vector<std::string> skinListItems(const std::vector<std::string>& builtInNames);

// A built-in skin: the base colours of one row of the skin table ("#rrggbb").
struct SkinPalette {
    std::string name;
    std::string window;
    std::string text;
    std::string accent;
    std::string field;
    std::string fieldText;
};

// Parses the skin table: one skin a line, name and five colours separated by
// blanks; '#' at the start of a line begins a comment. Throws
// std::invalid_argument naming the line for a malformed row.
std::vector<SkinPalette> parseSkinTable(std::string_view table);

// Case-insensitive lookup, as skin names are stored under their capitals.
const SkinPalette* findSkin(const std::vector<SkinPalette>& skins, std::string_view name);

// The style sheet that draws every window in the skin's colours: window,
// groups, buttons, fields, lists, menus and the status bar.
std::string styleSheetFor(const SkinPalette& skin);

// Tooltips keep the application's hint colour whatever the look.
inline constexpr const char* kHintColour = "#a6caf0";

} // namespace tarnwick::gui
