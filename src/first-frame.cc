// SPDX-License-Identifier: BSD-2-Clause
#include "first-frame.hh"

#include "utils.hh"

#include <memory>

namespace {

// One piece of work on its way from the widget's map, through the first
// paint, to an idle moment. It holds the widget weakly: the wait must not
// keep a closed window alive, and destroying a widget clears its weak
// references even where something still holds the widget itself.
class Wait {
public:
        Wait(GtkWidget* widget, FirstFrameWork work) : m_widget{widget}, m_work{work} {}

        void run() noexcept
        {
                if (auto widget = m_widget.get())
                        m_work(widget.get());
        }

private:
        WeakRef<GtkWidget> m_widget;
        FirstFrameWork m_work;
};

// A signal handler's data: the handler moves the wait on to its next stage
// before it disconnects itself, which frees this holder.
struct Stage {
        std::unique_ptr<Wait> wait;
};

void free_stage(gpointer stage, GClosure*) noexcept
{
        delete static_cast<Stage*>(stage);
}

// The work's turn: the first idle moment, or the deadline where the main
// loop is never idle (a child that floods the terminal with output keeps
// VTE's sources ready all the time). Whichever comes first ends the other.
class Turn {
public:
        static void start(std::unique_ptr<Wait> wait) noexcept
        {
                auto turn = new Turn{std::move(wait)};
                turn->m_idle = g_idle_add_full(first_frame_work_priority, take, turn, nullptr);
                turn->m_deadline = g_timeout_add_full(
                    G_PRIORITY_DEFAULT, first_frame_work_deadline_ms, take, turn, nullptr);
        }

private:
        explicit Turn(std::unique_ptr<Wait> wait) : m_wait{std::move(wait)} {}

        static gboolean take(gpointer data) noexcept
        {
                auto turn = std::unique_ptr<Turn>{static_cast<Turn*>(data)};
                auto current = g_source_get_id(g_main_current_source());
                g_source_remove(current == turn->m_idle ? turn->m_deadline : turn->m_idle);
                turn->m_wait->run();
                return G_SOURCE_REMOVE;
        }

        std::unique_ptr<Wait> m_wait;
        guint m_idle = 0;
        guint m_deadline = 0;
};

void first_frame_painted(GdkFrameClock* clock, Stage* stage) noexcept
{
        Turn::start(std::move(stage->wait));
        g_signal_handlers_disconnect_by_data(clock, stage);
}

// The frame clock is the window's, from its realisation on; its first paint
// after the map is the first frame the user sees.
void wait_for_paint(GtkWidget* widget, std::unique_ptr<Wait> wait) noexcept
{
        auto clock = gtk_widget_get_frame_clock(widget);
        if (!clock) {
                // Mapped but in no window with a clock (an offscreen
                // toplevel): no frame will tell us, so there is nothing to
                // wait for but the main loop.
                Turn::start(std::move(wait));
                return;
        }
        g_signal_connect_data(clock, "after-paint", G_CALLBACK(first_frame_painted),
                              new Stage{std::move(wait)}, free_stage, GConnectFlags(0));
}

void widget_mapped(GtkWidget* widget, Stage* stage) noexcept
{
        wait_for_paint(widget, std::move(stage->wait));
        g_signal_handlers_disconnect_by_data(widget, stage);
}

}  // namespace

void after_first_frame(GtkWidget* widget, FirstFrameWork work)
{
        g_return_if_fail(GTK_IS_WIDGET(widget));
        g_return_if_fail(work != nullptr);

        auto wait = std::make_unique<Wait>(widget, work);
        if (gtk_widget_get_mapped(widget)) {
                // Its first frame may be long past, and a window with nothing
                // to redraw paints no other: ask for one.
                wait_for_paint(widget, std::move(wait));
                if (auto clock = gtk_widget_get_frame_clock(widget))
                        gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
        } else
                g_signal_connect_data(widget, "map", G_CALLBACK(widget_mapped),
                                      new Stage{std::move(wait)}, free_stage, G_CONNECT_AFTER);
}
