#include "real_converters.h"

#include "qt_printers.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(RealConverters, a_page_left_for_later_is_made_by_the_first_call_that_needs_it) {
    RealConverters converters(RealConverters::Engine::startOnFirstUse);
    EXPECT_EQ(converters.engine(), nullptr);

    const ConvertResult first = QCoro::waitFor(converters.convert(
        ConvertKind::html,
        u"<html><body><h1>Tide tables</h1><p>High water at six.</p></body></html>"_s,
        u"tides.html"_s));
    EXPECT_FALSE(first.error.has_value()) << first.error.value_or(QString()).toStdString();
    EXPECT_TRUE(first.markdown.contains(u"High water at six."_s)) << first.markdown.toStdString();
    ASSERT_NE(converters.engine(), nullptr);
    const GraphicalSession::Engine* made = converters.engine();

    // Later calls keep the page that is already there.
    const ConvertResult second = QCoro::waitFor(converters.convert(
        ConvertKind::html, u"<html><body><p>Low water at noon.</p></body></html>"_s,
        u"low.html"_s));
    EXPECT_TRUE(second.markdown.contains(u"Low water at noon."_s)) << second.markdown.toStdString();
    EXPECT_EQ(converters.engine(), made);
}

TEST(RealConverters, starts_the_page_at_once_unless_told_otherwise) {
    RealConverters converters;
    ASSERT_NE(converters.engine(), nullptr);
}
