#include "busy_indicator.h"
#include "case_table.h"
#include "content_view.h"
#include "drop_zone.h"
#include "elided_label.h"
#include "local_http_server.h"
#include "look.h"
#include "recent_row.h"
#include "ui_fixture.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>

namespace {

// The next widget that Tab would reach.
QWidget* nextFocusable(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

class ContentViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        view = std::make_unique<ContentView>(*model, desktop);
        view->resize(580, 620);
        zone = child<DropZone>(*view, u"dropZone"_s);
        field = child<QLineEdit>(*view, u"urlField"_s);
        convert = child<QPushButton>(*view, u"convertButton"_s);
        status = child<ElidedLabel>(*view, u"status"_s);
        busy = child<BusyIndicator>(*view, u"busyIndicator"_s);
        QObject::connect(
            model.get(), &MorvaneModel::batchEnded,
            [this](const QList<QUrl>& inputs, const QList<QUrl>&) { batches.append(inputs); });
    }

    // A conversion still held would stay suspended, its frames never freed.
    void TearDown() override {
        if (heldBatch >= 0)
            finishHeldConversion();
        view.reset();
        UiTest::TearDown();
    }

    // Sends a drag over the zone and, when asked, the drop; answers whether
    // the zone took it. The source offers `offered` and proposes `proposed`.
    bool drag(QMimeData* data, bool drop, Qt::DropActions offered = Qt::CopyAction,
              Qt::DropAction proposed = Qt::CopyAction) {
        const QPoint centre = zone->rect().center();
        QDragEnterEvent enter(centre, offered, data, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(proposed);
        QApplication::sendEvent(zone, &enter);
        targetedDuringDrag = zone->isTargeted();
        dropAction = enter.dropAction();
        if (!enter.isAccepted() || !drop)
            return enter.isAccepted();
        QDropEvent dropped(QPointF(centre), offered, data, Qt::LeftButton, Qt::NoModifier);
        dropped.setDropAction(proposed);
        QApplication::sendEvent(zone, &dropped);
        dropAction = dropped.dropAction();
        return dropped.isAccepted();
    }

    QList<RecentRow*> rows() const {
        QList<RecentRow*> found = view->findChildren<RecentRow*>();
        std::sort(found.begin(), found.end(),
                  [](RecentRow* a, RecentRow* b) { return a->y() < b->y(); });
        return found;
    }

    QString document(const QString& name) {
        const QString path = out(name);
        writeFile(path, "# " + name.toUtf8() + "\n\nBody text.\n");
        return path;
    }

    // The view shown with one recent document; its row.
    RecentRow* showOneRecent(const QString& name) {
        model->addRecent(QUrl::fromLocalFile(document(name)));
        showAndWait(*view);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rows().size() == 1; }, 2000));
        return rows().value(0);
    }

    // Holds a conversion open so that `isConverting` stays true.
    void startHeldConversion() {
        const QString pdf = input(u"held.pdf"_s);
        fakes->gates.insert(pdf, &gate);
        heldBatch = batchesEnded;
        model->convertFiles({QUrl::fromLocalFile(pdf)});
        ASSERT_TRUE(model->isConverting());
    }

    // Waits for the batch itself: a page converted meanwhile clears
    // `isConverting` before the held batch has ended.
    void finishHeldConversion() {
        gate.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded > heldBatch; }, 5000));
        heldBatch = -1;
        ASSERT_FALSE(model->isConverting());
    }

    std::unique_ptr<ContentView> view;
    DropZone* zone = nullptr;
    QLineEdit* field = nullptr;
    QPushButton* convert = nullptr;
    ElidedLabel* status = nullptr;
    BusyIndicator* busy = nullptr;
    QList<QList<QUrl>> batches;
    bool targetedDuringDrag = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
    Gate gate;
    int heldBatch = -1; // batches ended before the held one started
};

TEST_F(ContentViewTest, a_file_drag_highlights_while_it_hovers_and_a_drop_is_one_batch_copied) {
    const QList<QUrl> files{inputUrl(u"c.pdf"_s), inputUrl(u"a.docx"_s), inputUrl(u"b.html"_s)};
    QMimeData data;
    data.setUrls(files);
    // Offered as a move, taken as a copy: the inputs stay where they are.
    EXPECT_TRUE(drag(&data, false, Qt::CopyAction | Qt::MoveAction, Qt::MoveAction));
    EXPECT_EQ(dropAction, Qt::CopyAction);
    EXPECT_TRUE(view->isTargeted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(zone, &leave);
    EXPECT_FALSE(view->isTargeted());
    QCoreApplication::processEvents();
    EXPECT_TRUE(batches.isEmpty());

    EXPECT_TRUE(
        drag(&data, true, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction));
    EXPECT_EQ(dropAction, Qt::CopyAction);
    EXPECT_TRUE(targetedDuringDrag);
    EXPECT_FALSE(zone->isTargeted());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !batches.isEmpty() && model->inFlight().isEmpty(); }, 5000));
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches.first(), files);
}

TEST_F(ContentViewTest, text_and_sources_that_can_only_move_are_refused_without_highlight) {
    QMimeData text;
    text.setText(u"/home/someone/report.pdf"_s);
    EXPECT_FALSE(drag(&text, false));
    EXPECT_FALSE(targetedDuringDrag);
    QMimeData files;
    files.setUrls({inputUrl(u"keep.pdf"_s)});
    EXPECT_FALSE(drag(&files, false, Qt::MoveAction, Qt::MoveAction));
    EXPECT_FALSE(targetedDuringDrag);
    EXPECT_FALSE(view->isTargeted());
}

TEST_F(ContentViewTest, the_zone_converts_the_chosen_files_and_a_cancelled_chooser_nothing) {
    QList<QUrl> chosen; // none: cancelled
    int asked = 0;
    view->setFileChooser([&](QWidget*) {
        ++asked;
        return chosen;
    });
    zone->setFocus();
    QTest::keyClick(zone, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(model->isConverting());
    EXPECT_TRUE(statuses.isEmpty());

    chosen = {inputUrl(u"x.pdf"_s), inputUrl(u"y.pptx"_s)};
    QTest::mouseClick(zone, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !batches.isEmpty(); }, 5000));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(batches.first(), chosen);
}

TEST_F(ContentViewTest, texts_of_the_zone_and_the_field) {
    expectTexts(*view, u"content_view"_s);
    EXPECT_EQ(zone->height(), 150);
}

struct EnabledRow {
    const char* name;
    QString text;
    bool converting, enabled;
};

class ConvertEnabled : public ContentViewTest, public testing::WithParamInterface<EnabledRow> {};

TEST_P(ConvertEnabled, follows_the_trimmed_text_and_the_conversion) {
    const EnabledRow& row = GetParam();
    if (row.converting)
        startHeldConversion();
    field->setText(row.text);
    EXPECT_EQ(convert->isEnabled(), row.enabled);
    EXPECT_TRUE(field->isEnabled());
    if (row.converting) {
        finishHeldConversion();
        EXPECT_EQ(convert->isEnabled(), !ContentView::trimmed(row.text).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    ContentView, ConvertEnabled,
    testing::Values(EnabledRow{"empty", u""_s, false, false},
                    EnabledRow{"spaces_and_tabs", u" \t \t"_s, false, false},
                    EnabledRow{"a_line_break_is_kept", u" \n "_s, false, true},
                    EnabledRow{"a_padded_address", u"  example.com\t"_s, false, true},
                    EnabledRow{"an_address_while_converting", u"example.com"_s, true, false}),
    caseName);

TEST_F(ContentViewTest, a_padded_address_reaches_the_model_and_empties_the_field) {
    field->setText(u"   "_s);
    QTest::keyClick(field, Qt::Key_Return); // spaces alone: nothing, and they stay
    EXPECT_EQ(field->text(), u"   "_s);
    EXPECT_TRUE(statuses.isEmpty());
    const quint16 port = LocalHttpServer::closedPort();
    field->setText(u"  http://127.0.0.1:%1/page \t"_s.arg(port));
    QTest::mouseClick(convert, Qt::LeftButton);
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first(), u"Fetching 127.0.0.1…"_s);
    EXPECT_EQ(field->text(), QString());
    EXPECT_EQ(view->urlText(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pagesEnded == 1; }, 5000));

    // Return is not held back by a running conversion, as the button is.
    startHeldConversion();
    field->setText(u"http://127.0.0.1:%1/"_s.arg(port));
    EXPECT_FALSE(convert->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(model->status(), u"Fetching 127.0.0.1…"_s);
    EXPECT_EQ(field->text(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pagesEnded == 2; }, 5000));
    finishHeldConversion();
}

TEST_F(ContentViewTest, status_line_is_secondary_and_busy_while_converting_and_primary_after) {
    showAndWait(*view);
    EXPECT_TRUE(status->isHidden());
    EXPECT_TRUE(busy->isHidden());
    startHeldConversion();
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), u"Converting held.pdf…"_s);
    EXPECT_EQ(status->palette().color(QPalette::WindowText), Look::secondary(view->palette()));
    EXPECT_TRUE(busy->isVisible());
    EXPECT_TRUE(busy->isTurning());
    EXPECT_LT(busy->geometry().right(), status->geometry().left());
    finishHeldConversion();
    EXPECT_FALSE(status->text().isEmpty());
    EXPECT_EQ(status->palette().color(QPalette::WindowText), Look::primary(view->palette()));
    EXPECT_NE(Look::primary(view->palette()), Look::secondary(view->palette()));
    EXPECT_TRUE(busy->isHidden());
    EXPECT_FALSE(busy->isTurning());
}

TEST_F(ContentViewTest, a_long_status_stays_on_one_line_shortened_in_the_middle) {
    view->resize(440, 620);
    showAndWait(*view);
    const int oneLine = status->sizeHint().height();
    QWidget* recents = child<QWidget>(*view, u"recentSection"_s);
    model->addRecent(QUrl::fromLocalFile(document(u"Below.md"_s)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recents->isVisible(); }, 2000));
    for (const QString& name :
         {u"An input with a long name that is not one of the kinds we read at all.txt"_s,
          QString(u"no_spaces_"_s).repeated(12) + u"end.odt"_s}) {
        runBatch({QUrl::fromLocalFile(input(name))});
        const QString whole = u"Skipped "_s + name + u" — unsupported type"_s;
        ASSERT_EQ(status->text(), whole);
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->height() == oneLine; }, 2000));
        EXPECT_LE(status->geometry().right(), view->width() - 20);
        const QString shown = status->shownText();
        EXPECT_TRUE(shown.startsWith(u"Skipped "_s)) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(u" — unsupported type"_s)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(u'…'));
        EXPECT_EQ(status->toolTip(), whole);
        // The recents follow one line below, not pushed further down.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return recents->y() == status->geometry().bottom() + 1 + 16; }, 2000))
            << recents->y();
    }
}

TEST_F(ContentViewTest, recents_appear_as_rows_in_list_order) {
    showAndWait(*view);
    EXPECT_FALSE(child<QWidget>(*view, u"recentSection"_s)->isVisible()); // none yet
    EXPECT_TRUE(rows().isEmpty());
    const QString first = document(u"First.md"_s);
    const QString second = document(u"Second.md"_s);
    model->addRecent(QUrl::fromLocalFile(first));
    model->addRecent(QUrl::fromLocalFile(second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows().size() == 2; }, 2000));
    EXPECT_TRUE(child<QLabel>(*view, u"recentHeading"_s)->isVisible());
    const QList<RecentRow*> shown = rows();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0]->recent().path, second);
    EXPECT_EQ(shown[1]->recent().path, first);
    // The row of a path stays the same widget when the list changes.
    RecentRow* firstRow = shown[1];
    model->addRecent(QUrl::fromLocalFile(first));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows().first() == firstRow; }, 2000));
}

TEST_F(ContentViewTest, a_long_name_is_shortened_in_the_middle_and_the_buttons_stay) {
    view->resize(440, 620);
    const QString name = u"A very long report title that keeps going on and on well past any "
                         "reasonable width for a window row.md"_s;
    RecentRow* row = showOneRecent(name);
    ASSERT_TRUE(row);
    const QString shown = child<ElidedLabel>(*row, u"recentName"_s)->shownText();
    EXPECT_NE(shown, name);
    EXPECT_TRUE(shown.contains(u'…'));
    EXPECT_TRUE(shown.startsWith(u"A very"_s));
    EXPECT_TRUE(shown.endsWith(u"row.md"_s));
    for (const char* button : {"copyButton", "openButton", "revealButton"}) {
        auto* tool = child<QToolButton>(*row, QString::fromLatin1(button));
        EXPECT_TRUE(tool->isVisible());
        EXPECT_LE(tool->geometry().right(), row->width());
    }
    EXPECT_LE(row->geometry().right(), view->width() - 20);
}

TEST_F(ContentViewTest, row_buttons_copy_open_and_reveal_and_tab_reaches_them_after_the_field) {
    RecentRow* row = showOneRecent(u"Notes.md"_s);
    ASSERT_TRUE(row);
    const QString path = out(u"Notes.md"_s);
    auto* copy = child<QToolButton>(*row, u"copyButton"_s);
    auto* open = child<QToolButton>(*row, u"openButton"_s);
    auto* reveal = child<QToolButton>(*row, u"revealButton"_s);
    EXPECT_EQ(copy->toolTip(), u"Copy Markdown"_s);
    EXPECT_EQ(open->toolTip(), u"Open"_s);
    EXPECT_EQ(reveal->toolTip(), u"Reveal in Finder"_s);
    EXPECT_EQ(reveal->accessibleName(), u"Reveal in Finder"_s);
    EXPECT_TRUE(copy->autoRaise());

    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(desktop.clipboard, QList<QString>{u"# Notes.md\n\nBody text.\n"_s});
    EXPECT_EQ(model->status(), u"Copied ✓ Notes.md"_s);
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QTest::mouseClick(reveal, Qt::LeftButton);
    EXPECT_EQ(desktop.reveals, QList<QList<QUrl>>{{QUrl::fromLocalFile(path)}});

    EXPECT_EQ(nextFocusable(zone), field);
    EXPECT_EQ(nextFocusable(field), convert);
    EXPECT_EQ(nextFocusable(convert), row->buttons().first());
}

} // namespace
