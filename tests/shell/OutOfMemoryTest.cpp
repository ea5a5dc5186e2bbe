// An operation that runs out of memory under an event ends with a message;
// the program keeps handling events.
#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>
#include <new>

#include "shell/GuardedApplication.h"
#include "support/Wait.h"

namespace flashsmith::shell::test {
namespace {

using flashsmith::test::WaitUntil;

TEST(GuardedApplicationTest, OutOfMemoryInAHandlerIsReportedAndTheLoopGoesOn) {
    auto* app = dynamic_cast<GuardedApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QStringList told;
    const auto keep = app->ReportFailure;
    app->ReportFailure = [&](const QString& text) { told << text; };
    bool later = false;
    QTimer::singleShot(0, [] { throw std::bad_alloc(); });
    QTimer::singleShot(0, [&] { later = true; });
    WaitUntil([&] { return later; });
    app->ReportFailure = keep;
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith("Not enough memory"));
    EXPECT_TRUE(later);
}

}  // namespace
}  // namespace flashsmith::shell::test
