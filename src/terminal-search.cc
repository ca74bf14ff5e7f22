// SPDX-License-Identifier: BSD-2-Clause
// Searching the screen and scrollback for a regular expression.
#include "terminal-private.hh"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstring>

using RegexPtr = Owned<VteRegex, vte_regex_unref>;

// Case-sensitive, and "^"/"$" work per line.
constexpr guint32 search_compile_flags = PCRE2_UTF | PCRE2_NO_UTF_CHECK | PCRE2_MULTILINE;
constexpr guint32 search_jit_flags = PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_SOFT;

// --- The entry's looks -----------------------------------------------------

// The look's texts are not translated.
static void set_entry_look(Terminal* self, const char* icon, const char* tooltip,
                           bool error)
{
        auto entry = GTK_ENTRY(self->search_entry);
        gtk_entry_set_icon_from_icon_name(entry, GTK_ENTRY_ICON_SECONDARY, icon);
        gtk_entry_set_icon_tooltip_text(entry, GTK_ENTRY_ICON_SECONDARY, tooltip);
        auto style = gtk_widget_get_style_context(GTK_WIDGET(entry));
        if (error)
                gtk_style_context_add_class(style, "error");
        else
                gtk_style_context_remove_class(style, "error");
}

void search_entry_reset(Terminal* self)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        set_entry_look(self, "edit-clear", "Clear search", false);
}

void search_entry_indicate(Terminal* self, const char* tooltip)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        g_return_if_fail(tooltip != NULL);
        set_entry_look(self, "dialog-error", tooltip, true);
}

static void search_entry_no_results(Terminal* self)
{
        set_entry_look(self, "action-unavailable", "No results", true);
}

// --- Searching --------------------------------------------------------------

// Where JIT is unavailable the pattern still works, only slower: that is
// not worth a word. Any other JIT failure is shown, and the pattern is
// used all the same.
static void jit_compile(Terminal* self, VteRegex* regex)
{
        Error error;
        if (vte_regex_jit(regex, search_jit_flags, error.out()))
                return;
        if (!error.matches(VTE_REGEX_ERROR, PCRE2_ERROR_JIT_BADOPTION))
                search_entry_indicate(self, error.message());
}

static RegexPtr compile_search_pattern(Terminal* self, const char* text)
{
        Error error;
        auto regex = RegexPtr{vte_regex_new_for_search(
            text, gssize(strlen(text)), search_compile_flags, error.out())};
        if (!regex) {
                search_entry_indicate(self, error.message());
                return nullptr;
        }
        jit_compile(self, regex.get());
        return regex;
}

static void install_search_pattern(Terminal* self, VteRegex* regex)
{
        auto has_regex = regex != nullptr;
        self->priv->has_search_regex = has_regex;
        vte_terminal_search_set_regex(self->vte, regex, 0);
        gtk_widget_set_sensitive(GTK_WIDGET(self->search_button_up), has_regex);
        gtk_widget_set_sensitive(GTK_WIDGET(self->search_button_down), has_regex);
}

static bool find_match(Terminal* self, bool up)
{
        if (up)
                return vte_terminal_search_find_previous(self->vte);
        return vte_terminal_search_find_next(self->vte);
}

void search(Terminal* self, bool up)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        if (!self->priv->has_search_regex)
                return;
        if (find_match(self, up))
                return;
        // A selection that is not a match can stop the search: try once
        // more from nothing selected.
        vte_terminal_unselect_all(self->vte);
        if (find_match(self, up))
                return;
        search_entry_no_results(self);
}

// --- Handlers --------------------------------------------------------------

void search_changed(GtkSearchEntry* entry, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        g_return_if_fail(GTK_IS_ENTRY(entry));
        vte_terminal_unselect_all(self->vte);
        search_entry_reset(self);
        auto text = gtk_entry_get_text(GTK_ENTRY(entry));
        auto regex = *text ? compile_search_pattern(self, text) : nullptr;
        install_search_pattern(self, regex.get());
        search(self, false);
}

void search_up(GtkWidget*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        search(self, true);
}

void search_down(GtkWidget*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        search(self, false);
}

void search_stop(GtkSearchEntry*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        search_entry_reset(self);
        if (auto window = self->priv->window.get())
                gtk_window_set_focus(window, GTK_WIDGET(self->vte));
        gtk_revealer_set_reveal_child(self->search_revealer, false);
}

gboolean search_entry_key_press(GtkWidget*, GdkEventKey* event, Terminal* self) noexcept
{
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), false);
        g_return_val_if_fail(event != NULL, false);
        // Only Shift counts: Ctrl+Shift+Return searches upwards too. Handled
        // here so the entry does not also search downwards on "activate".
        if ((event->state & GDK_SHIFT_MASK) && event->keyval == GDK_KEY_Return) {
                search(self, true);
                return true;
        }
        return false;
}
