#include "app/SkinCatalog.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace tarnwick::gui
{

namespace
{

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

struct Rgb {
    int r, g, b;
};

bool parseColour(const std::string& text, Rgb& out)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    for (std::size_t i = 1; i < 7; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    const unsigned long v = std::stoul(text.substr(1), nullptr, 16);
    out = { static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff),
        static_cast<int>(v & 0xff) };
    return true;
}

Rgb colour(const std::string& text)
{
    Rgb c {};
    parseColour(text, c); // rows were checked when parsed
    return c;
}

std::string hex(Rgb c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

// t = 0 gives a, t = 1 gives b.
Rgb mix(Rgb a, Rgb b, double t)
{
    auto m = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return { m(a.r, b.r), m(a.g, b.g), m(a.b, b.b) };
}

bool isDark(Rgb c)
{
    return c.r * 299 + c.g * 587 + c.b * 114 < 128000;
}

Rgb readableOn(Rgb background)
{
    return isDark(background) ? Rgb { 255, 255, 255 } : Rgb { 0, 0, 0 };
}

} // namespace

const std::vector<std::string>& plainLookNames()
{
    static const std::vector<std::string> names = { "Standard", "Flat", "Ultra Flat" };
    return names;
}

std::optional<LookKind> plainLookByName(std::string_view name)
{
    if (name == "Standard")
        return LookKind::Standard;
    if (name == "Flat")
        return LookKind::Flat;
    if (name == "Ultra Flat")
        return LookKind::UltraFlat;
    return std::nullopt;
}

bool isUserSkinData(std::string_view name)
{
    return lower(name) == "defaultuserskindata";
}

std::vector<std::string> skinListItems(const std::vector<std::string>& builtInNames)
{
    std::vector<std::string> skins;
    for (const std::string& n : builtInNames) {
        if (!isUserSkinData(n))
            skins.push_back(n);
    }
    std::stable_sort(skins.begin(), skins.end(),
        [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    std::vector<std::string> items = plainLookNames();
    items.insert(items.end(), skins.begin(), skins.end());
    return items;
}

std::vector<SkinPalette> parseSkinTable(std::string_view table)
{
    std::vector<SkinPalette> skins;
    std::istringstream in { std::string(table) };
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream fields(line);
        SkinPalette p;
        if (!(fields >> p.name) || p.name[0] == '#')
            continue;
        std::string extra;
        fields >> p.window >> p.text >> p.accent >> p.field >> p.fieldText;
        Rgb c {};
        const bool ok = parseColour(p.window, c) && parseColour(p.text, c) && parseColour(p.accent, c)
            && parseColour(p.field, c) && parseColour(p.fieldText, c) && !(fields >> extra);
        if (!ok)
            throw std::invalid_argument("skin table line " + std::to_string(lineNo) + " is malformed");
        skins.push_back(std::move(p));
    }
    return skins;
}

const SkinPalette* findSkin(const std::vector<SkinPalette>& skins, std::string_view name)
{
    const std::string wanted = lower(name);
    for (const SkinPalette& s : skins) {
        if (lower(s.name) == wanted)
            return &s;
    }
    return nullptr;
}

std::string styleSheetFor(const SkinPalette& skin)
{
    const Rgb window = colour(skin.window);
    const Rgb text = colour(skin.text);
    const Rgb accent = colour(skin.accent);
    const Rgb field = colour(skin.field);
    const Rgb fieldText = colour(skin.fieldText);
    const Rgb white { 255, 255, 255 };
    const Rgb black { 0, 0, 0 };

    const Rgb group = mix(window, field, 0.35);
    const Rgb border = mix(accent, isDark(window) ? white : black, 0.25);
    const Rgb buttonTop = mix(accent, white, 0.65);
    const Rgb buttonBottom = mix(accent, white, 0.25);
    const Rgb buttonText = readableOn(mix(buttonTop, buttonBottom, 0.5));
    const Rgb buttonHover = mix(accent, white, 0.45);
    // Disabled controls must look disabled in every skin: greyed text, a
    // field or box shaded towards the text colour (so even a white field on a
    // white window changes), a checked box that stays visibly checked.
    const Rgb disabledField = mix(mix(field, window, 0.6), text, 0.12);
    const Rgb disabledText = mix(fieldText, disabledField, 0.55);
    const Rgb disabledLabel = mix(text, window, 0.55);
    const Rgb disabledChecked = mix(accent, disabledField, 0.5);
    const Rgb disabledButton = mix(mix(buttonTop, buttonBottom, 0.5), window, 0.6);
    const Rgb disabledBorder = mix(border, window, 0.5);
    const Rgb tab = mix(window, accent, 0.3);
    const Rgb status = mix(window, accent, 0.45);
    const Rgb statusText = readableOn(status);
    const Rgb selectionText = readableOn(accent);

    std::ostringstream s;
    s << "QWidget { background-color: " << hex(window) << "; color: " << hex(text) << "; }\n"
      << "QLabel, QCheckBox, QRadioButton { background: transparent; }\n"
      << "QCheckBox::indicator, QRadioButton::indicator { width: 10px; height: 10px; border: 1px solid "
      << hex(border) << "; background-color: " << hex(field) << "; }\n"
      << "QRadioButton::indicator { border-radius: 6px; }\n"
      << "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background-color: " << hex(accent)
      << "; border: 3px solid " << hex(field) << "; outline: 1px solid " << hex(border) << "; }\n"
      << "QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { background-color: "
      << hex(disabledField) << "; border-color: " << hex(disabledBorder) << "; }\n"
      << "QCheckBox::indicator:checked:disabled, QRadioButton::indicator:checked:disabled { "
         "background-color: "
      << hex(disabledChecked) << "; border: 3px solid " << hex(disabledField) << "; }\n"
      << "QLabel:disabled, QCheckBox:disabled, QRadioButton:disabled { color: " << hex(disabledLabel)
      << "; }\n"
      << "QGroupBox { background-color: " << hex(group) << "; border: 1px solid " << hex(border)
      << "; border-radius: 3px; margin-top: 7px; }\n"
      << "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; color: " << hex(text)
      << "; }\n"
      << "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 " << hex(buttonTop)
      << ", stop:1 " << hex(buttonBottom) << "); color: " << hex(buttonText) << "; border: 1px solid "
      << hex(border) << "; border-radius: 3px; }\n"
      << "QPushButton:hover { background: " << hex(buttonHover) << "; }\n"
      << "QPushButton:pressed { background: " << hex(accent) << "; color: " << hex(selectionText) << "; }\n"
      << "QPushButton:disabled { background: " << hex(disabledButton)
      << "; color: " << hex(mix(buttonText, disabledButton, 0.6)) << "; border-color: " << hex(disabledBorder)
      << "; }\n"
      << "QLineEdit, QTextEdit, QComboBox { background-color: " << hex(field) << "; color: " << hex(fieldText)
      << "; border: 1px solid " << hex(border) << "; selection-background-color: " << hex(accent)
      << "; selection-color: " << hex(selectionText) << "; }\n"
      << "QLineEdit:disabled, QComboBox:disabled { background-color: " << hex(disabledField)
      << "; color: " << hex(disabledText) << "; }\n"
      << "QComboBox QAbstractItemView, QListWidget, QListView { background-color: " << hex(field)
      << "; color: " << hex(fieldText) << "; selection-background-color: " << hex(accent)
      << "; selection-color: " << hex(selectionText) << "; }\n"
      << "QTabWidget::pane { border: 1px solid " << hex(border) << "; background-color: " << hex(window)
      << "; }\n"
      << "QTabBar::tab { background-color: " << hex(tab) << "; color: " << hex(text) << "; border: 1px solid "
      << hex(border) << "; padding: 3px 10px; margin-right: 1px; }\n"
      << "QTabBar::tab:selected { background-color: " << hex(window)
      << "; border-bottom-color: " << hex(window) << "; }\n"
      << "QStatusBar, QStatusBar QLabel { background-color: " << hex(status) << "; color: " << hex(statusText)
      << "; }\n"
      << "QStatusBar QLabel { border: 1px solid " << hex(border) << "; padding: 0 2px; }\n"
      << "QMenu { background-color: " << hex(field) << "; color: " << hex(fieldText) << "; border: 1px solid "
      << hex(border) << "; }\n"
      << "QMenu::item:selected { background-color: " << hex(accent) << "; color: " << hex(selectionText)
      << "; }\n"
      << "QToolTip { background-color: " << kHintColour << "; color: #000000; border: 1px solid #000000; }\n";
    return s.str();
}

} // namespace tarnwick::gui
