#include "config.hh"

// Placeholder until the model lands: the font and the palette's defaults.
Config::Config() : Config(default_path()) {}
Config::Config(const std::string& path) : m_reader{path} { load(); }
std::vector<std::string> Config::get_warnings() const { return m_reader.get_warnings(); }
std::string Config::default_path()
{
        return CharPtr{g_build_filename(g_get_user_config_dir(), "brackenfold", "config", nullptr)}.get();
}
void Config::load()
{
        font = FontPtr{pango_font_description_from_string("Monospace 12")};
        const char* defaults[16] = {"black", "red3", "green3", "yellow3", "blue2", "magenta3", "cyan3", "grey90",
                                    "grey50", "red", "green", "yellow", "#5c5cff", "magenta", "cyan", "white"};
        for (int i = 0; i < 16; ++i)
                gdk_rgba_parse(&palette[i], defaults[i]);
}
