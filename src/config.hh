// Every setting of one reading of the configuration file.
#pragma once

#include "configreader.hh"

#include <pango/pango.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using FontPtr = Owned<PangoFontDescription, pango_font_description_free>;

class Config {
public:
        // Reads $XDG_CONFIG_HOME/brackenfold/config.
        Config();
        // Reads the given file; for tests and tools.
        explicit Config(const std::string& path);
        Config(Config const&) = delete;
        Config& operator=(Config const&) = delete;

        // Each line is "• " and the markup-escaped message, in the order
        // the problems were found.
        std::vector<std::string> get_warnings() const;
        // How many warnings there were, including those left out of
        // get_warnings() and standard error.
        size_t warning_count() const;

        // The file that Config() reads.
        static std::string default_path();

        bool autohide_mouse = false;
        VteCursorShape cursor_shape = VTE_CURSOR_SHAPE_BLOCK;
        VteCursorBlinkMode cursor_blink = VTE_CURSOR_BLINK_SYSTEM;
        FontPtr font;
        int scrollback = 10000;
        bool scrollbar = true;
        bool allow_hyperlinks = false;
        bool prefer_osc7 = true;
        bool resize_hints = true;
        bool bold_is_bright = false;
        std::optional<GdkRGBA> foreground;
        std::optional<GdkRGBA> background;
        std::optional<GdkRGBA> cursor_foreground;
        std::optional<GdkRGBA> cursor_background;
        std::optional<GdkRGBA> highlight_foreground;
        std::optional<GdkRGBA> highlight_background;
        std::optional<GdkRGBA> bold;
        std::array<GdkRGBA, 16> palette{};
        std::vector<OpenWithProgram> open_with;

private:
        void load();
        void load_misc();
        void load_colours();
        void load_palette();
        GdkRGBA read_palette_colour(const std::string& key, const char* def);

        ConfigReader m_reader;
};
