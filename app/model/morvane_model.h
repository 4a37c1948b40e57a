#pragma once

#include "converters.h"
#include "desktop.h"
#include "file_writer.h"
#include "lifetime.h"
#include "morvane_settings.h"
#include "recent.h"
#include "update_service.h"
#include "updater.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// What the model works with besides its converters. The desktop and the
// network are always given: the application's composition makes the real
// ones, tests a fake desktop and a session of their own.
struct ModelServices {
    Desktop* desktop = nullptr;
    std::unique_ptr<FileWriter> fileWriter;
    // The settings file; an empty path keeps settings in memory only. Left
    // out, the standard location is worked out (and its folder made) anew at
    // every write, so a folder removed meanwhile comes back.
    std::optional<QString> settingsPath;
    // Whether written documents join the stored recents. A run that prints
    // its document instead of keeping it records nothing.
    bool recordRecents = true;
    std::function<QDateTime()> clock;
    // The process's one HTTP session (pages, update feed, downloads).
    QNetworkAccessManager* network = nullptr;
    // A page must arrive whole within the deadline; the idle time-out ends a
    // transfer that has gone quiet sooner.
    std::chrono::milliseconds pageDeadline = std::chrono::seconds(60);
    std::chrono::milliseconds pageIdleTimeout = std::chrono::seconds(30);
    // A page body beyond this is refused rather than read into memory.
    qsizetype maxPageBytes = 64 * 1024 * 1024;
    // Without one (a build that a package manager updates), the model never
    // checks for an update and offers no update commands.
    std::unique_ptr<UpdateService> updates;
    // Given, the PDF layout of this model's conversions; the stored choice is
    // then neither read nor changed.
    std::optional<PdfLayoutChoice> pdfLayout;
};

// The one observable model of the application: settings, the status line,
// the recents, batches of conversions and their saving. Lives on the main
// thread; every operation is entered there.
class MorvaneModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(MorvaneSettings settings READ settings WRITE setSettings NOTIFY settingsChanged)
    Q_PROPERTY(bool isConverting READ isConverting NOTIFY isConvertingChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(QList<Recent> recents READ recents NOTIFY recentsChanged)
    Q_PROPERTY(std::optional<UpdateInfo> availableUpdate READ availableUpdate NOTIFY
                   availableUpdateChanged)
    Q_PROPERTY(bool isUpdating READ isUpdating NOTIFY isUpdatingChanged)
    Q_PROPERTY(bool isCheckingForUpdate READ isCheckingForUpdate NOTIFY isCheckingForUpdateChanged)

public:
    explicit MorvaneModel(std::unique_ptr<Converters> converters, ModelServices services = {},
                          QObject* parent = nullptr);
    ~MorvaneModel() override;

    const MorvaneSettings& settings() const { return m_settings; }
    void setSettings(const MorvaneSettings& settings);
    bool isConverting() const { return m_isConverting; }
    const QString& status() const { return m_status; }
    const QList<Recent>& recents() const { return m_recents; }
    const QSet<QString>& inFlight() const { return m_inFlight; }
    const QString& version() const { return m_version; }
    const std::optional<UpdateInfo>& availableUpdate() const { return m_availableUpdate; }
    bool updatesItself() const { return m_services.updates != nullptr; }
    bool isUpdating() const { return m_isUpdating; }
    bool isCheckingForUpdate() const { return m_isCheckingForUpdate; }
    bool didCheck() const { return m_didCheck; }
    PdfLayoutChoice pdfLayout() const { return m_pdfLayout; }
    // Applies from the next PDF on and is kept in the preference store.
    void setPdfLayout(PdfLayoutChoice layout);

    // Inputs beyond these are refused before they are read: PDFs are read
    // page by page, the others whole into memory and over to the engine.
    static constexpr qint64 maxPdfBytes = qint64(2) << 30;
    static constexpr qint64 maxEngineInputBytes = qint64(512) << 20;

    // Starts one batch of the files not already in an unfinished batch.
    void convertFiles(const QList<QUrl>& urls);

    // Writes the document and its assets; the written document's location,
    // already added to the recents, or nothing when it could not be written.
    std::optional<QUrl> saveAndRecord(const ConvertResult& result, const QString& source,
                                      const QString& fallback);
    // The wished location, or the first free "-2", "-3", … variant of it.
    QUrl uniqueURL(const QUrl& url) const;
    // The local date as yyyy-MM-dd.
    QString today() const;

    // Fetches a pasted web address and saves its article.
    void convertURL(const QString& text);

    void loadRecents();
    void addRecent(const QUrl& document);
    void copyRecent(const Recent& recent);
    void chooseFolder();

    // After launch: the stored recents, then the quiet update check once.
    void start();
    // The update feed, made once: https://HOST/morvane/latest.json.
    static const QUrl& manifest();
    void checkForUpdatesOnLaunch();
    void checkForUpdatesManually();
    void promptForUpdate();
    void installUpdate();

Q_SIGNALS:
    void settingsChanged();
    void isConvertingChanged();
    void statusChanged();
    void recentsChanged();
    void availableUpdateChanged();
    void isUpdatingChanged();
    void isCheckingForUpdateChanged();
    void pdfLayoutChanged();
    // A batch is over: what it took on and what it wrote, in order.
    void batchEnded(const QList<QUrl>& inputs, const QList<QUrl>& written);
    // A web page conversion is over; `written` is empty when nothing was saved.
    void pageEnded(const QUrl& address, const QList<QUrl>& written);

private:
    QCoro::Task<> runBatch(QList<QUrl> batch);
    QCoro::Task<std::optional<QUrl>> convertOne(QUrl url);
    // Clears what a killed run left in the output folder.
    void removeStaleTemporaries();
    QCoro::Task<> runPage(QUrl address, QString shownHost);
    // The body, its Content-Type and the address it came from after redirects.
    QCoro::Task<std::optional<QByteArray>> fetchPage(QUrl address, QByteArray& contentType,
                                                     QUrl& finalAddress);
    void setStatus(const QString& status);
    void setIsConverting(bool isConverting);
    void setAvailableUpdate(const std::optional<UpdateInfo>& update);
    void setIsUpdating(bool isUpdating);
    void setIsCheckingForUpdate(bool isChecking);
    // The user's preference store (recents, declined update version, PDF layout).
    static QSettings preferences();
    enum class Check { onLaunch, manual };
    QCoro::Task<> runCheck(Check check);
    QCoro::Task<> runInstall();

    Lifetime m_lifetime;
    std::unique_ptr<Converters> m_converters;
    ModelServices m_services;

    MorvaneSettings m_settings;
    bool m_isConverting = false;
    QString m_status;
    QList<Recent> m_recents;
    QSet<QString> m_inFlight;
    QString m_version;
    std::optional<UpdateInfo> m_availableUpdate;
    bool m_isUpdating = false;
    bool m_isCheckingForUpdate = false;
    bool m_didCheck = false;
    PdfLayoutChoice m_pdfLayout = PdfLayoutChoice::plain;
    bool m_storesPdfLayout = true;
};
