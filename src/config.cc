// Every setting of one reading of the configuration file.
#include "config.hh"

#include <array>
#include <string_view>

namespace {

constexpr auto misc = "misc";
constexpr auto colours = "colours";
constexpr auto default_font = "Monospace 12";

struct PaletteDefault {
        const char* name;
        const char* normal;
        const char* bright;
};

// Entry i is "normal.<name>", entry i + 8 "bright.<name>". Bright green is
// written out: Pango reads colour names as CSS does, where "green" is a dark
// green (#008000), darker than normal green.
constexpr std::array<PaletteDefault, 8> palette_defaults{{
    {"black", "black", "grey50"},
    {"red", "red3", "red"},
    {"green", "green3", "#00ff00"},
    {"yellow", "yellow3", "yellow"},
    {"blue", "blue2", "#5c5cff"},
    {"magenta", "magenta3", "magenta"},
    {"cyan", "cyan3", "cyan"},
    {"white", "grey90", "white"},
}};

} // namespace

Config::Config() : Config(default_path()) {}

Config::Config(const std::string& path) : m_reader{path}
{
        load();
}

std::vector<std::string> Config::get_warnings() const
{
        return m_reader.get_warnings();
}

size_t Config::warning_count() const
{
        return m_reader.warning_count();
}

// The XDG base directory rules ignore an XDG_CONFIG_HOME that is not an
// absolute path, which would name a directory below wherever the program
// happens to be started, chosen by whoever can write there; some GLib
// releases pass such a value through.
static std::string user_config_dir()
{
        if (auto dir = g_getenv("XDG_CONFIG_HOME"); dir && g_path_is_absolute(dir))
                return dir;
        return CharPtr{g_build_filename(g_get_home_dir(), ".config", nullptr)}.get();
}

std::string Config::default_path()
{
        auto path = CharPtr{g_build_filename(user_config_dir().c_str(), "brackenfold",
                                             "config", nullptr)};
        return path.get();
}

// The reader consumes what it reads, so this sequence is at once the list of
// valid keys and the order of the warnings; the report of what is left over
// must come last.
void Config::load()
{
        load_misc();
        load_colours();
        load_palette();
        open_with = m_reader.read_open_with({});
        m_reader.log_unknown_keys();
}

void Config::load_misc()
{
        auto& reader = m_reader;
        autohide_mouse = reader.read_boolean(misc, "autohide-mouse", false).value_or(false);
        cursor_shape = reader.read_cursor(misc, "cursor-shape", "block");
        cursor_blink = reader.read_blink(misc, "cursor-blink", "system");
        auto font_name = reader.read_string(misc, "font", default_font).value_or(default_font);
        font = FontPtr{pango_font_description_from_string(font_name.c_str())};
        scrollback = reader.read_integer(misc, "scrollback", 10000).value_or(10000);
        scrollbar = reader.read_boolean(misc, "scrollbar", true).value_or(true);
        allow_hyperlinks = reader.read_boolean(misc, "allow-hyperlinks", false).value_or(false);
        prefer_osc7 = reader.read_boolean(misc, "prefer-osc7", true).value_or(true);
        resize_hints = reader.read_boolean(misc, "resize-hints", true).value_or(true);
        bold_is_bright = reader.read_boolean(misc, "bold-is-bright", false).value_or(false);
}

// The highlight colours have no key: the terminal keeps its own.
void Config::load_colours()
{
        auto& reader = m_reader;
        foreground = reader.read_colour(colours, "foreground", std::nullopt);
        background = reader.read_colour(colours, "background", std::nullopt);
        cursor_foreground = reader.read_colour(colours, "cursor.foreground", std::nullopt);
        cursor_background = reader.read_colour(colours, "cursor.background", std::nullopt);
        bold = reader.read_colour(colours, "bold", std::nullopt);
}

void Config::load_palette()
{
        for (size_t i = 0; i < palette_defaults.size(); ++i) {
                auto const& entry = palette_defaults[i];
                palette[i] = read_palette_colour(std::string{"normal."} + entry.name,
                                                 entry.normal);
                palette[i + 8] = read_palette_colour(std::string{"bright."} + entry.name,
                                                     entry.bright);
        }
}

GdkRGBA Config::read_palette_colour(const std::string& key, const char* def)
{
        if (auto colour = m_reader.read_colour(colours, key, def))
                return *colour;
        // Only a failed read yields nothing; the palette has no holes.
        GdkRGBA colour{};
        gdk_rgba_parse(&colour, def);
        return colour;
}
