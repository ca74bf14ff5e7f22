// SPDX-License-Identifier: BSD-2-Clause
// Work put off until a widget's first frame is on screen.

#include "first-frame.hh"
#include "fixture.hh"

#include <vector>

namespace {

// The widgets the work was done for, in order; work is a plain function.
std::vector<GtkWidget*> done_for;

void record(GtkWidget* widget)
{
        done_for.push_back(widget);
}

class FirstFrameTest : public testing::Test {
protected:
        void SetUp() override
        {
                done_for.clear();
                open_window();
        }

        void open_window()
        {
                draws = 0;
                window = new_counted_window(&draws);
        }

        void TearDown() override
        {
                if (window) {
                        gtk_widget_destroy(GTK_WIDGET(window));
                        g_object_unref(window);
                }
                iterate_pending();
        }

        // Destroys the window and drops the test's reference: it must then
        // be gone, whatever is still waiting for it.
        void close_window()
        {
                gpointer gone = window;
                g_object_add_weak_pointer(G_OBJECT(window), &gone);
                gtk_widget_destroy(GTK_WIDGET(window));
                g_object_unref(window);
                window = nullptr;
                EXPECT_EQ(gone, nullptr) << "the waiting work holds the window";
                if (gone)
                        g_object_remove_weak_pointer(G_OBJECT(gone), &gone);
        }

        GtkWindow* window = nullptr;
        int draws = 0;
};

TEST_F(FirstFrameTest, WorkWaitsUntilTheWindowHasDrawn)
{
        after_first_frame(GTK_WIDGET(window), record);
        iterate_pending();
        EXPECT_TRUE(done_for.empty()) << "done before the window was shown";

        int draws_at_work = -1;
        gtk_widget_show(GTK_WIDGET(window));
        EXPECT_TRUE(done_for.empty()) << "done at the map, before any frame";
        ASSERT_TRUE(iterate_until([&] {
                if (!done_for.empty() && draws_at_work < 0)
                        draws_at_work = draws;
                return !done_for.empty();
        }));
        EXPECT_GE(draws_at_work, 1);
        EXPECT_EQ(done_for, std::vector<GtkWidget*>{GTK_WIDGET(window)});

        // Once only: later frames do nothing more.
        gtk_widget_queue_draw(GTK_WIDGET(window));
        auto before = draws;
        ASSERT_TRUE(iterate_until([&] { return draws > before; }));
        iterate_pending();
        EXPECT_EQ(done_for.size(), 1u);
}

// A short command's child exits while the first frame's work is ready to
// run: VTE tells of the exit from a source at G_PRIORITY_LOW, whose handler
// ends the main loop, and the work must not run in the same round.
TEST_F(FirstFrameTest, AChildWatchReadyAlongsideComesFirstAndCanEndTheLoop)
{
        auto loop = Owned<GMainLoop, g_main_loop_unref>{g_main_loop_new(nullptr, false)};
        after_first_frame(GTK_WIDGET(window), record);
        gtk_widget_show(GTK_WIDGET(window));
        // Connected after the work's own handler: by the time this runs, the
        // work is waiting for an idle moment.
        auto clock = gtk_widget_get_frame_clock(GTK_WIDGET(window));
        ASSERT_NE(clock, nullptr);
        auto handler = g_signal_connect(
            clock, "after-paint", G_CALLBACK(+[](GdkFrameClock* clock, GMainLoop* loop) {
                    g_signal_handlers_disconnect_by_data(clock, loop);
                    g_idle_add_full(
                        G_PRIORITY_LOW,
                        +[](gpointer loop) {
                                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                                return G_SOURCE_REMOVE;
                        },
                        loop, nullptr);
            }),
            loop.get());
        auto timeout = g_timeout_add_seconds(5, +[](gpointer loop) {
                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                return G_SOURCE_REMOVE;
        }, loop.get());
        g_main_loop_run(loop.get());
        g_source_remove(timeout);
        if (g_signal_handler_is_connected(clock, handler))
                g_signal_handler_disconnect(clock, handler);
        ASSERT_GE(draws, 1) << "no frame was painted";
        EXPECT_TRUE(done_for.empty()) << "the work ran after the loop was told to end";
        ASSERT_TRUE(iterate_until([&] { return !done_for.empty(); }));
}

// A child that floods the terminal keeps VTE's sources ready without a
// pause: the work still gets its turn, at the deadline.
TEST_F(FirstFrameTest, ABusyMainLoopGetsTheWorkDoneAtTheDeadline)
{
        auto busy = g_idle_add_full(
            G_PRIORITY_DEFAULT_IDLE, +[](gpointer) -> gboolean { return G_SOURCE_CONTINUE; },
            nullptr, nullptr);
        after_first_frame(GTK_WIDGET(window), record);
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return draws > 0; }));
        auto painted = g_get_monotonic_time();
        auto done = iterate_until([&] { return !done_for.empty(); },
                                  3.0 * first_frame_work_deadline_ms / 1000);
        auto waited_ms = (g_get_monotonic_time() - painted) / 1000;
        g_source_remove(busy);
        ASSERT_TRUE(done) << "a busy main loop never got the work done";
        EXPECT_GE(waited_ms, first_frame_work_deadline_ms / 2)
            << "the work came before the deadline, so the loop was not busy";
        EXPECT_EQ(done_for, std::vector<GtkWidget*>{GTK_WIDGET(window)});
        // Done once: the idle turn that would have come is gone.
        iterate_pending();
        EXPECT_EQ(done_for.size(), 1u);
}

// The work does not keep a closed window alive, before the map or after
// the frame, and is not done for a window that is gone, nor for one that
// was closed while something still holds it.
TEST_F(FirstFrameTest, AWidgetGoneBeforeItsTurnIsLeftAlone)
{
        enum class Closed { unseen, after_its_frame, but_still_held };
        for (auto closed : {Closed::unseen, Closed::after_its_frame, Closed::but_still_held}) {
                SCOPED_TRACE(int(closed));
                if (!window)
                        open_window();
                after_first_frame(GTK_WIDGET(window), record);
                if (closed != Closed::unseen) {
                        gtk_widget_show(GTK_WIDGET(window));
                        // The frame that draws first queues the work for later.
                        ASSERT_TRUE(iterate_until([&] { return draws > 0; }));
                        ASSERT_TRUE(done_for.empty());
                }
                auto held = closed == Closed::but_still_held
                                ? RefPtr<GtkWindow>{GTK_WINDOW(g_object_ref(window))}
                                : nullptr;
                if (held) {
                        gtk_widget_destroy(GTK_WIDGET(window));
                        g_object_unref(window);
                        window = nullptr;
                } else {
                        close_window();
                }
                iterate_until([] { return false; },
                              1.25 * first_frame_work_deadline_ms / 1000);
                EXPECT_TRUE(done_for.empty());
        }
}

}  // namespace
