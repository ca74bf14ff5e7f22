#include "configreader.hh"

// Placeholder until the reader lands: an empty key file and no warnings.
ConfigReader::ConfigReader(const std::string&) : m_key_file{g_key_file_new()} {}
void ConfigReader::append_warning(const std::string& message) { m_warnings.push_back(message); }
std::vector<std::string> ConfigReader::get_warnings() const { return m_warnings; }
void ConfigReader::log_unknown_keys() {}
std::optional<std::string> ConfigReader::read_string(const std::string&, const std::string&, std::optional<std::string> def) { return def; }
std::optional<int> ConfigReader::read_integer(const std::string&, const std::string&, std::optional<int> def) { return def; }
std::optional<bool> ConfigReader::read_boolean(const std::string&, const std::string&, std::optional<bool> def) { return def; }
std::optional<GdkRGBA> ConfigReader::read_colour(const std::string&, const std::string&, std::optional<std::string> def)
{
        GdkRGBA rgba{};
        if (def && gdk_rgba_parse(&rgba, def->c_str()))
                return rgba;
        return std::nullopt;
}
VteCursorShape ConfigReader::read_cursor(const std::string&, const std::string&, const std::string&) { return VTE_CURSOR_SHAPE_BLOCK; }
VteCursorBlinkMode ConfigReader::read_blink(const std::string&, const std::string&, const std::string&) { return VTE_CURSOR_BLINK_SYSTEM; }
std::vector<OpenWithProgram> ConfigReader::read_open_with(const std::vector<OpenWithProgram>& def) { return def; }
void ConfigReader::handle_key_file_error(const GError*, const std::string&, const std::string&) {}
