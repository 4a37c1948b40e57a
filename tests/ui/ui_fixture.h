#pragma once

// The model with fakes, as in the model's own tests, plus update fakes and
// helpers for looking at widgets.

#include "fake_updates.h"
#include "golden.h"
#include "model_fixture.h"
#include "qt_printers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

class UiTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        ModelServices services;
        auto fake = std::make_unique<FakeUpdates>();
        updates = fake.get();
        services.updates = std::move(fake);
        makeModel(nullptr, std::move(services));
    }

    // The model goes with the fixture; no update call may still be waiting
    // inside the fake it owns by then.
    void TearDown() override {
        if (updates && model) {
            updates->releaseChecks();
            updates->releaseInstalls();
            EXPECT_TRUE(QTest::qWaitFor([&] { return updates->settled(); }, 5000));
        }
        ModelTest::TearDown();
    }

    template <typename T>
    static T* child(const QWidget& parent, const QString& name) {
        T* found = parent.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    // Every text a window shows against golden/NAME.txt: "objectName: text"
    // a line, in the order the widgets were made.
    static void expectTexts(const QWidget& window, const QString& name) {
        QString texts;
        for (const QWidget* widget : window.findChildren<QWidget*>()) {
            QString text;
            if (const auto* label = qobject_cast<const QLabel*>(widget))
                text = label->text();
            else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
                text = button->text();
            else if (const auto* group = qobject_cast<const QGroupBox*>(widget))
                text = group->title();
            else if (const auto* field = qobject_cast<const QLineEdit*>(widget))
                text = field->placeholderText();
            if (!text.isEmpty())
                texts += widget->objectName() + u": "_s + text + u'\n';
        }
        expectGolden(QStringLiteral(MORVANE_UI_GOLDEN "/") + name + u".txt"_s, texts);
    }

    static void showAndWait(QWidget& widget) {
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    }

    FakeUpdates* updates = nullptr;
};
