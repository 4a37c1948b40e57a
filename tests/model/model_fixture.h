#pragma once

// The model with fake converters, a recording desktop, a fixed clock and its
// own temporary folders.

#include "fake_converters.h"
#include "morvane_model.h"
#include "recording_desktop.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A writer whose writes clash once as if another process had taken the name
// first.
class ScriptedWriter : public FileWriter {
public:
    QString takeFirst;       // created by "someone else" just before our write
    QString takeFolderFirst; // likewise, for a folder

    Outcome createFolder(const QString& path) override {
        if (!takeFolderFirst.isEmpty() && path == takeFolderFirst) {
            QDir().mkpath(path);
            takeFolderFirst.clear();
        }
        return FileWriter::createFolder(path);
    }

    Outcome createNew(const QString& path, QByteArrayView bytes) override {
        if (!takeFirst.isEmpty() && path == takeFirst) {
            writeFile(path, "someone else's");
            takeFirst.clear();
        }
        return FileWriter::createNew(path, bytes);
    }
};

class ModelTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        QSettings(u"Ombrix"_s, u"Morvane"_s).clear();
        makeModel();
    }

    void TearDown() override { QSettings(u"Ombrix"_s, u"Morvane"_s).clear(); }

    void makeModel(std::unique_ptr<FileWriter> writer = nullptr, ModelServices services = {}) {
        auto converters = std::make_unique<FakeConverters>();
        fakes = converters.get();
        services.desktop = &desktop;
        services.network = &network;
        services.fileWriter = std::move(writer);
        services.settingsPath = root.filePath(u"settings.json"_s);
        services.clock = [] { return QDateTime(QDate(2026, 3, 7), QTime(23, 59)); };
        model = std::make_unique<MorvaneModel>(std::move(converters), std::move(services));
        MorvaneSettings settings{outFolder(), false};
        model->setSettings(settings);
        QObject::connect(model.get(), &MorvaneModel::statusChanged,
                         [this] { statuses.append(model->status()); });
        QObject::connect(model.get(), &MorvaneModel::batchEnded,
                         [this](const QList<QUrl>&, const QList<QUrl>&) { ++batchesEnded; });
        QObject::connect(model.get(), &MorvaneModel::pageEnded,
                         [this](const QUrl&, const QList<QUrl>&) { ++pagesEnded; });
    }

    QString outFolder() const { return root.filePath(u"out"_s); }
    QString out(const QString& name) const { return outFolder() + u'/' + name; }
    QString input(const QString& name) {
        const QString path = root.filePath(u"in/"_s + name);
        if (!QFileInfo::exists(path))
            writeFile(path, "input bytes");
        return path;
    }
    QUrl inputUrl(const QString& name) { return QUrl::fromLocalFile(input(name)); }

    void runBatch(const QList<QUrl>& urls) {
        const int before = batchesEnded;
        model->convertFiles(urls);
        ASSERT_TRUE(QTest::qWaitFor([&] { return batchesEnded > before; }, 5000));
    }

    // After a failed save: the output folder holds the one earlier document,
    // unchanged, and it is the only one listed.
    void expectOnlyDocument(const QString& name, const QByteArray& contents) {
        EXPECT_EQ(entries(outFolder()), QStringList{name});
        EXPECT_EQ(readFile(out(name)), contents);
        ASSERT_EQ(model->recents().size(), 1);
        EXPECT_EQ(model->recents()[0].name, name);
    }

    static ConvertResult engineText(const QString& markdown, const QString& title = {},
                                    const QList<ConvertResult::Asset>& assets = {}) {
        return ConvertResult(markdown, title, assets, {}, std::nullopt);
    }
    // One picture, chart.png ("ABC"), and its link.
    static ConvertResult chart(const QString& title = {}, const QString& base64 = u"QUJD"_s) {
        return engineText(u"![](chart.png)"_s, title, {{u"chart.png"_s, base64}});
    }
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir root;
    RecordingDesktop desktop;
    QNetworkAccessManager network;
    FakeConverters* fakes = nullptr;
    std::unique_ptr<MorvaneModel> model;
    QStringList statuses;
    int batchesEnded = 0;
    int pagesEnded = 0;
};
