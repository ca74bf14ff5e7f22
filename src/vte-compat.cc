// SPDX-License-Identifier: BSD-2-Clause
#include "vte-compat.hh"

#include <cstring>

#if VTE_CHECK_VERSION(0, 78, 0)

UriPtr vte_compat_current_directory_uri(VteTerminal* vte)
{
        g_return_val_if_fail(VTE_IS_TERMINAL(vte), nullptr);
        return UriPtr{vte_terminal_ref_termprop_uri_by_id(
            vte, VTE_PROPERTY_ID_CURRENT_DIRECTORY_URI)};
}

std::optional<std::string> vte_compat_window_title(VteTerminal* vte)
{
        g_return_val_if_fail(VTE_IS_TERMINAL(vte), std::nullopt);
        size_t len = 0;
        auto title = vte_terminal_get_termprop_string_by_id(
            vte, VTE_PROPERTY_ID_XTERM_TITLE, &len);
        if (!title)
                return std::nullopt;
        return std::string{title, len};
}

#else

UriPtr vte_compat_current_directory_uri(VteTerminal* vte)
{
        g_return_val_if_fail(VTE_IS_TERMINAL(vte), nullptr);
        auto text = vte_terminal_get_current_directory_uri(vte);
        if (!text)
                return nullptr;
        // Newer releases store the report parsed this way, and only as a
        // file: URI; anything else counts as no report at all.
        auto uri = UriPtr{g_uri_parse(text, G_URI_FLAGS_ENCODED, nullptr)};
        if (!uri || g_strcmp0(g_uri_get_scheme(uri.get()), "file") != 0)
                return nullptr;
        return uri;
}

std::optional<std::string> vte_compat_window_title(VteTerminal* vte)
{
        g_return_val_if_fail(VTE_IS_TERMINAL(vte), std::nullopt);
        return optional_string(vte_terminal_get_window_title(vte));
}

#endif

CharPtr vte_compat_text(VteTerminal* vte)
{
        g_return_val_if_fail(VTE_IS_TERMINAL(vte), nullptr);
#if VTE_CHECK_VERSION(0, 76, 0)
        return CharPtr{vte_terminal_get_text_format(vte, VTE_FORMAT_TEXT)};
#else
        return CharPtr{vte_terminal_get_text(vte, nullptr, nullptr, nullptr)};
#endif
}
