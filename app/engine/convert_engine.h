#pragma once

#include "convert_kind.h"
#include "convert_result.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <memory>
#include <optional>

class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;
class EngineBridge;
class PayloadHandler;

// Hosts the conversion engine page in a web page without a view and turns
// each conversion into one script call of window.ombrixConvert(kind, payload,
// name). Several calls may be outstanding at once; every fault comes back as
// a result whose `error` is set. A call that has not answered by its deadline
// ends with an error and the page is made afresh, so that a script stuck in
// one document does not hold every later one.
//
// Before creating one, the application must set Qt::AA_ShareOpenGLContexts
// (QCoreApplication::setAttribute) and then create its QGuiApplication or
// QApplication; the engine lives and is called on the main thread.
class ConvertEngine : public QObject {
    Q_OBJECT

public:
    // Starts loading the engine page of the resource bundle at once.
    explicit ConvertEngine(QObject* parent = nullptr);
    // The same host around any page; the page must define window.ombrixConvert.
    ConvertEngine(const QUrl& page, QObject* parent);
    ~ConvertEngine() override;

    // Lets go of the page and its profile; every waiting call is answered
    // "engine closed" through the event loop, and later calls at once. Done
    // when the event loop quits and by the destructor.
    void close();

    // Waits for the page, calls the engine with the bytes of `payload` (for
    // a binary kind the file's, decoded from its base64, otherwise the
    // text's UTF-8), which the page reads from a URL scheme of the engine's
    // own, and decodes the answer: base64 of the result's JSON, or the
    // frame of bytes the real engine answers with. Never fails: a fault of
    // the call gives ConvertResult::errorMessage.
    QCoro::Task<ConvertResult> convert(ConvertKind kind, QString payload, QString name);

    bool isLoaded() const;
    QUrl page() const;

    // How long one script call may take; two minutes unless set.
    static constexpr std::chrono::milliseconds defaultDeadline = std::chrono::minutes(2);
    void setDeadline(std::chrono::milliseconds deadline);

Q_SIGNALS:
    void loadedChanged();

private:
    friend class EngineBridge;
    friend class PayloadHandler;

    // The text of an answer, received in parts. Base64 answers (the usual
    // case) are kept as bytes, half the size of a QString.
    struct Answer {
        QByteArray ascii;
        QString text; // used instead of `ascii` once a part is not ASCII
        bool asciiOnly = true;
        qsizetype characters = 0;

        void append(const QString& part);
        QString toString() const { return asciiOnly ? QString::fromLatin1(ascii) : text; }
    };

    // The outcome of one script call as the page reports it.
    struct Outcome {
        enum Kind { string, binary, nothing, other, scriptError, hostError };
        Kind kind = hostError;
        Answer answer;
        QByteArray bytes;
        QString error; // for hostError
    };

    // A one-shot awaitable: the host fills it in and resumes its one waiter.
    template <typename T>
    struct Slot {
        std::optional<T> value;
        std::coroutine_handle<> waiter;
    };
    template <typename T>
    struct Wait {
        std::shared_ptr<Slot<T>> slot;
        bool await_ready() const noexcept { return slot->value.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) noexcept { slot->waiter = handle; }
        T await_resume() { return std::move(*slot->value); }
    };
    enum class Resume { now, later };
    template <typename T>
    static void fill(const std::shared_ptr<Slot<T>>& slot, T value, Resume resume = Resume::now);

    struct Call {
        std::shared_ptr<Slot<Outcome>> slot;
        Answer answer;    // the parts received so far
        QByteArray bytes; // of an answer in bytes, taken so far
        qsizetype expected = -1;
    };

    enum class State { loading, ready, failed };

    // Resolves with no value once the page has loaded, or with the error text
    // when it failed to load or its process ended.
    Wait<std::optional<QString>> ensureLoaded();
    void createPage();
    void startLoading();
    void expire(int id);
    void onLoadFinished(bool ok);
    void onRenderProcessEnded();
    void failAll(const QString& error, Resume resume = Resume::now);
    void receivePart(int id, const QString& text);
    void receiveAnswer(int id, const QString& outcome, const QString& text);
    void takeBytes(int id);
    void receiveBytes(int id, const QByteArray& part);
    static ConvertResult interpret(Outcome outcome, qsizetype transportLength);
    static ConvertResult fromAnswerBytes(const QByteArray& answer);

    QUrl m_url;
    State m_state = State::loading;
    QString m_failure;
    QList<std::shared_ptr<Slot<std::optional<QString>>>> m_waiters;
    QHash<int, Call> m_calls;
    struct Payload {
        QByteArray utf8;
        bool binary = false; // its text is the base64 of a file
    };
    QHash<int, Payload> m_payloads; // until the page has read them
    int m_nextId = 1;
    std::chrono::milliseconds m_deadline = defaultDeadline;
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<PayloadHandler> m_payloadHandler;
    std::unique_ptr<EngineBridge> m_bridge;
    std::unique_ptr<QWebChannel> m_channel;
    std::unique_ptr<QWebEnginePage> m_page;
};
