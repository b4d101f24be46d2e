#include "qt/widgets_qt.h"
#include "qt_test_support.h"

#include <QTest>

#include <gtest/gtest.h>

#include <new>

using namespace platform;

namespace {

// A window with one button whose handler the test supplies.
struct OneButtonWindow {
    WindowPtr window = CreateMainWindow(u"test", u"", 10200, 6090, "kresovar");
    Button* button = nullptr;

    explicit OneButtonWindow(ClickHandler handler)
    {
        CreateTextArea(*window, {0, 0, 10215, 5535}, u"");
        button = &CreateButton(*window, u"Przycisk", {120, 5640, 1815, 375}, std::move(handler));
    }

    int ClickAndRun()
    {
        return RunProgram(*window, [this] { QTest::mouseClick(button, Qt::LeftButton); });
    }
};

TEST(Dispatch, AFailureIsReportedWithNumberAndDescriptionThenTheProgramEnds)
{
    bool afterFailure = false;
    OneButtonWindow form([&] {
        throw PlatformError(1418, "Schowek nie jest otwarty.");
        afterFailure = true;
    });
    QString reported;
    WhenReportShows([&](QMessageBox& box) { reported = box.text(); });

    EXPECT_EQ(form.ClickAndRun(), 1);
    EXPECT_TRUE(reported.contains(QStringLiteral("1418"))) << reported.toStdString();
    EXPECT_TRUE(reported.contains(QStringLiteral("Schowek nie jest otwarty."))) << reported.toStdString();
    EXPECT_FALSE(afterFailure);
    EXPECT_FALSE(form.window->isVisible());
}

TEST(Dispatch, OutOfMemoryIsReportedInsteadOfCrossingTheEventLoop)
{
    OneButtonWindow form([] { throw std::bad_alloc(); });
    bool reported = false;
    WhenReportShows([&](QMessageBox&) { reported = true; });

    EXPECT_EQ(form.ClickAndRun(), 1);
    EXPECT_TRUE(reported);
}

TEST(Dispatch, EndProgramLeavesTheHandlerAtOnceWithStatusZero)
{
    bool afterEnd = false;
    OneButtonWindow form([&] {
        EndProgram();
        afterEnd = true;
    });
    EXPECT_EQ(form.ClickAndRun(), 0);
    EXPECT_FALSE(afterEnd);
}

TEST(Dispatch, ClosingTheWindowDuringAPumpEndsTheHandlerThere)
{
    int pumpsReturned = 0;
    OneButtonWindow form([&] {
        PumpEvents();
        ++pumpsReturned;
        QTimer::singleShot(0, [&] { form.window->close(); });
        PumpEvents();
        ++pumpsReturned;
    });
    EXPECT_EQ(form.ClickAndRun(), 0);
    EXPECT_EQ(pumpsReturned, 1);
}

TEST(Dispatch, ClosingTheIdleWindowEndsTheProgramWithStatusZero)
{
    OneButtonWindow form([] {});
    EXPECT_EQ(RunProgram(*form.window, [&] { form.window->close(); }), 0);
}

TEST(Dispatch, AFailureWhileTheWindowIsBuiltIsReportedAndEndsWithStatusOne)
{
    QString reported;
    WhenReportShows([&](QMessageBox& box) { reported = box.text(); });
    const int status = RunProgram([]() -> int { throw PlatformError(1400, "Nieprawidłowe dojście okna."); });
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(reported.contains(QStringLiteral("1400"))) << reported.toStdString();
    EXPECT_TRUE(reported.contains(QStringLiteral("Nieprawidłowe dojście okna."))) << reported.toStdString();
}

TEST(Dispatch, ADisabledButtonRunsNothing)
{
    int clicks = 0;
    OneButtonWindow form([&] { ++clicks; });
    EnableButton(*form.button, false);
    QTest::mouseClick(form.button, Qt::LeftButton);
    QTest::keyClick(form.button, Qt::Key_Space);
    EXPECT_EQ(clicks, 0);
    EnableButton(*form.button, true);
    QTest::mouseClick(form.button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

} // namespace
