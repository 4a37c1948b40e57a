#pragma once

// The model with fakes, as in the model's own tests, plus update fakes and
// helpers for looking at widgets.

#include "fake_updates.h"
#include "model_fixture.h"
#include "qt_printers.h"

#include <QApplication>
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

    static void showAndWait(QWidget& widget) {
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    }

    FakeUpdates* updates = nullptr;
};
