// SPDX-License-Identifier: BSD-2-Clause
// Small owners for GLib/GObject resources and the program's static helpers.
#pragma once

#include <gio/gio.h>
#include <glib.h>

// Precondition messages name the operation, as they would in C, rather than
// its whole C++ signature.
#undef G_STRFUNC
#define G_STRFUNC (static_cast<const char*>(__func__))

#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

template<auto Free>
struct FreeFn {
        void operator()(auto* p) const noexcept { Free(p); }
};

template<typename T, auto Free>
using Owned = std::unique_ptr<T, FreeFn<Free>>;

using CharPtr = Owned<char, g_free>;
using StrvPtr = Owned<char*, g_strfreev>;
using KeyFilePtr = Owned<GKeyFile, g_key_file_unref>;
using UriPtr = Owned<GUri, g_uri_unref>;
using SourcePtr = Owned<GSource, g_source_unref>;
// What libc allocates, such as realpath()'s answer.
using MallocPtr = Owned<char, ::free>;
using BytesPtr = Owned<GBytes, g_bytes_unref>;

template<typename T>
using RefPtr = Owned<T, g_object_unref>;

// Adopts a reference the caller already owns (transfer full).
template<typename T>
RefPtr<T> take_ref(T* p) noexcept
{
        return RefPtr<T>{p};
}

// Adds a reference of our own to a borrowed object (transfer none).
template<typename T>
RefPtr<T> share_ref(T* p) noexcept
{
        if (p)
                g_object_ref(p);
        return RefPtr<T>{p};
}

// A weak reference: it does not keep the object alive, and comes back empty
// once the object is finalized (or, for a widget, destroyed).
template<typename T>
class WeakRef {
public:
        explicit WeakRef(T* object) noexcept { g_weak_ref_init(&m_ref, object); }
        ~WeakRef() { g_weak_ref_clear(&m_ref); }
        WeakRef(WeakRef const&) = delete;
        WeakRef& operator=(WeakRef const&) = delete;

        // A strong reference, or none if the object is gone.
        RefPtr<T> get() noexcept { return RefPtr<T>{static_cast<T*>(g_weak_ref_get(&m_ref))}; }

private:
        GWeakRef m_ref;
};

// Owns a GError; `out()` hands out a cleared slot for the next call.
class Error {
public:
        Error() = default;
        Error(Error const&) = delete;
        Error& operator=(Error const&) = delete;
        ~Error() { reset(); }

        GError** out() noexcept
        {
                reset();
                return &m_error;
        }
        GError* get() const noexcept { return m_error; }
        explicit operator bool() const noexcept { return m_error != nullptr; }
        bool matches(GQuark domain, int code) const noexcept
        {
                return g_error_matches(m_error, domain, code);
        }
        const char* message() const noexcept
        {
                return m_error ? m_error->message : "";
        }
        void reset() noexcept { g_clear_error(&m_error); }

private:
        GError* m_error = nullptr;
};

// Copies a C string that may be absent.
std::optional<std::string> optional_string(const char* text);

// Copies a NULL-terminated string vector.
std::vector<std::string> strv_to_vector(const char* const* strv);

// A NULL-terminated view of a vector of strings, valid while `v` lives.
std::vector<char*> vector_to_argv(const std::vector<std::string>& v);

// Splits a command line as g_shell_parse_argv does, with its errors.
std::optional<std::vector<std::string>> shell_split(std::string_view command,
                                                    GError** error);

// Prints "brackenfold: MESSAGE" as one line on standard error.
void warning(const char* message);

// `text` as markup that shows it as written: made valid UTF-8 (markup must
// be), then escaped.
std::string escape_markup(std::string_view text);

// At most the first `max_chars` characters of `text`, then "…" if anything
// was left out. The cut falls between two UTF-8 characters.
std::string abbreviate(std::string_view text, size_t max_chars);

class Utils {
public:
        Utils() = delete;

        // $SHELL, else the user database's login shell, else /bin/sh.
        static std::string get_shell();

        // A link in the form a person reads: unescaped, with an
        // internationalised host name shown in Unicode. Always valid UTF-8.
        static std::optional<std::string> display_uri(const char* uri);

        // The directory an OSC 7 report names, resolved (symbolic links,
        // ".", "..", doubled and trailing slashes), when the report is of
        // `hostname` and names a directory that exists; otherwise nothing.
        static std::optional<std::string> trusted_directory(GUri* report,
                                                            const char* hostname);
};

// Runs `body` at a boundary where control returns to C: an exception is
// reported and `fallback` returned instead of letting it unwind into GTK.
template<typename R, typename F>
R guard_exceptions(const char* where, R fallback, F&& body) noexcept
{
        try {
                return body();
        } catch (std::exception const& e) {
                g_critical("%s: %s", where, e.what());
        } catch (...) {
                g_critical("%s: unknown exception", where);
        }
        return fallback;
}

template<typename F>
void guard_exceptions(const char* where, F&& body) noexcept
{
        guard_exceptions(where, 0, [&] {
                body();
                return 0;
        });
}
