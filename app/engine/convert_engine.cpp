#include "convert_engine.h"

#include "packaged_resources.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

using namespace Qt::StringLiterals;

namespace {

// Payloads and answers cross between the processes in parts of this many
// characters, so that no single message grows with the document.
constexpr qsizetype partLength = qsizetype(1) << 22;

const QString pageDidNotLoad = u"engine page did not load"_s;
const QString processEnded = u"engine process ended"_s;
const QString engineClosed = u"engine closed"_s;
const QString engineRestarted = u"engine restarted after another conversion ran too long"_s;

// Runs in the page's own world before its scripts: connects the channel and
// offers the host the two calls it makes, one per payload part and one per
// conversion. The answer comes back through the channel in parts too.
const char* const glue = R"JS(
(function () {
  const host = new Promise((resolve) => {
    new QWebChannel(qt.webChannelTransport, (channel) => resolve(channel.objects.host));
  });
  const parts = new Map();
  const partLength = %1;
  const describe = (error) => {
    try {
      if (error instanceof Error || (error && typeof error.message === 'string')) {
        return error.name ? error.name + ': ' + error.message : String(error.message);
      }
      return String(error);
    } catch (e) {
      return 'script error';
    }
  };
  Object.defineProperty(window, '__morvaneHost', { value: Object.freeze({
    part(id, text) {
      if (!parts.has(id)) parts.set(id, []);
      parts.get(id).push(text);
    },
    async call(id, kind, name) {
      const payload = (parts.get(id) || []).join('');
      parts.delete(id);
      let outcome = 'other';
      let text = '';
      try {
        const value = await window.ombrixConvert(kind, payload, name);
        if (typeof value === 'string') {
          outcome = 'string';
          text = value;
        } else if (value === undefined) {
          outcome = 'nothing';
        }
      } catch (error) {
        outcome = 'error';
        text = describe(error);
      }
      const bridge = await host;
      let start = 0;
      for (; text.length - start > partLength; start += partLength) {
        bridge.part(id, text.slice(start, start + partLength));
      }
      bridge.answer(id, outcome, text.slice(start));
    },
  }) });
})();
)JS";

bool isAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

bool isStrictBase64(const QByteArray& text) {
    if (text.size() % 4 != 0)
        return false;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (c == '=') {
            if (i < text.size() - 2)
                return false;
            ++padding;
        } else if (!alphabet || padding > 0) {
            return false;
        }
    }
    return true;
}

} // namespace

// The object the page reaches through the channel as "host".
class EngineBridge : public QObject {
    Q_OBJECT

public:
    explicit EngineBridge(ConvertEngine* engine)
        : m_engine(engine) {}

public Q_SLOTS:
    void part(int id, const QString& text) { m_engine->receivePart(id, text); }
    void answer(int id, const QString& outcome, const QString& text) {
        m_engine->receiveAnswer(id, outcome, text);
    }

private:
    ConvertEngine* m_engine;
};

ConvertEngine::ConvertEngine(QObject* parent)
    : ConvertEngine(PackagedResources::enginePage(), parent) {}

ConvertEngine::ConvertEngine(const QUrl& page, QObject* parent)
    : QObject(parent)
    , m_url(page)
    , m_profile(std::make_unique<QWebEngineProfile>())
    , m_bridge(std::make_unique<EngineBridge>(this))
    , m_channel(std::make_unique<QWebChannel>()) {
    m_channel->registerObject(u"host"_s, m_bridge.get());
    createPage();
    // An engine that outlives the event loop would leave its page to the web
    // engine's own shutdown, which then finds the profile still in use.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &ConvertEngine::close);
    startLoading();
}

void ConvertEngine::createPage() {
    m_page = std::make_unique<QWebEnginePage>(m_profile.get());
    m_page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);

    QFile channelScript(u":/qtwebchannel/qwebchannel.js"_s);
    channelScript.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setName(u"morvane-host"_s);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromUtf8(channelScript.readAll()) +
                         QString::fromLatin1(glue).arg(partLength));
    m_page->scripts().insert(script);
    m_page->setWebChannel(m_channel.get(), QWebEngineScript::MainWorld);

    connect(m_page.get(), &QWebEnginePage::loadFinished, this, &ConvertEngine::onLoadFinished);
    connect(m_page.get(), &QWebEnginePage::renderProcessTerminated, this,
            &ConvertEngine::onRenderProcessEnded);
}

ConvertEngine::~ConvertEngine() {
    close();
}

void ConvertEngine::close() {
    if (!m_page)
        return;
    // Callers still waiting get their answer instead of waiting for ever.
    m_page->disconnect(this);
    // Answered through the event loop: a caller resumed from inside this call
    // could be the owner now destroying the engine, and run on its members.
    const auto waiters = std::exchange(m_waiters, {});
    const auto calls = std::exchange(m_calls, {});
    for (const auto& waiter : waiters)
        fill(waiter, std::optional<QString>(engineClosed), Resume::later);
    for (const Call& call : calls)
        fill(call.slot, Outcome{Outcome::hostError, {}, engineClosed}, Resume::later);
    m_state = State::failed;
    m_failure = engineClosed;
    // The page goes before the profile it was made with.
    m_page.reset();
    m_profile.reset();
}

bool ConvertEngine::isLoaded() const {
    return m_state == State::ready;
}

QUrl ConvertEngine::page() const {
    return m_url;
}

template <typename T>
void ConvertEngine::fill(const std::shared_ptr<Slot<T>>& slot, T value, Resume resume) {
    slot->value = std::move(value);
    auto waiter = std::exchange(slot->waiter, {});
    if (!waiter)
        return;
    if (resume == Resume::now)
        waiter.resume();
    else
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
}

void ConvertEngine::setDeadline(std::chrono::milliseconds deadline) {
    m_deadline = deadline;
}

void ConvertEngine::startLoading() {
    m_state = State::loading;
    m_page->load(m_url);
}

ConvertEngine::Wait<std::optional<QString>> ConvertEngine::ensureLoaded() {
    auto slot = std::make_shared<Slot<std::optional<QString>>>();
    if (m_state == State::ready) {
        slot->value = std::optional<QString>();
        return {slot};
    }
    if (!m_page) {
        slot->value = std::optional<QString>(engineClosed);
        return {slot};
    }
    // After a failed load or a lost process, each new call tries once more.
    if (m_state == State::failed)
        startLoading();
    m_waiters.append(slot);
    return {slot};
}

void ConvertEngine::onLoadFinished(bool ok) {
    if (ok) {
        const bool changed = m_state != State::ready;
        m_state = State::ready;
        if (changed)
            Q_EMIT loadedChanged();
        const auto waiters = std::exchange(m_waiters, {});
        for (const auto& waiter : waiters)
            fill(waiter, std::optional<QString>());
        return;
    }
    if (m_state == State::loading) {
        m_state = State::failed;
        m_failure = pageDidNotLoad;
        const auto waiters = std::exchange(m_waiters, {});
        for (const auto& waiter : waiters)
            fill(waiter, std::optional<QString>(pageDidNotLoad));
    }
}

void ConvertEngine::onRenderProcessEnded() {
    const bool changed = m_state == State::ready;
    m_state = State::failed;
    m_failure = processEnded;
    failAll(processEnded);
    if (changed)
        Q_EMIT loadedChanged();
}

void ConvertEngine::failAll(const QString& error) {
    const auto waiters = std::exchange(m_waiters, {});
    const auto calls = std::exchange(m_calls, {});
    for (const auto& waiter : waiters)
        fill(waiter, std::optional<QString>(error));
    for (const Call& call : calls)
        fill(call.slot, Outcome{Outcome::hostError, {}, error});
}

void ConvertEngine::expire(int id) {
    const auto found = m_calls.find(id);
    if (found == m_calls.end())
        return;
    const auto slot = found->slot;
    m_calls.erase(found);
    // A script that loops never yields to a reload, so the page goes with its
    // render process; the calls it still held cannot be answered any more.
    m_page->disconnect(this);
    m_page.reset();
    const bool changed = m_state == State::ready;
    createPage();
    startLoading();
    if (changed)
        Q_EMIT loadedChanged();
    const auto calls = std::exchange(m_calls, {});
    for (const Call& call : calls)
        fill(call.slot, Outcome{Outcome::hostError, {}, engineRestarted});
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_deadline).count();
    fill(slot, Outcome{Outcome::hostError,
                       {},
                       u"the conversion took longer than %1 s and was stopped"_s.arg(seconds)});
}

void ConvertEngine::Answer::append(const QString& part) {
    characters += part.size();
    if (asciiOnly && isAscii(part)) {
        ascii += part.toLatin1();
        return;
    }
    if (asciiOnly) {
        text = QString::fromLatin1(ascii);
        ascii.clear();
        asciiOnly = false;
    }
    text += part;
}

void ConvertEngine::receivePart(int id, const QString& text) {
    const auto call = m_calls.find(id);
    if (call != m_calls.end())
        call->answer.append(text);
}

void ConvertEngine::receiveAnswer(int id, const QString& outcome, const QString& text) {
    const auto found = m_calls.find(id);
    if (found == m_calls.end())
        return;
    Call call = std::move(*found);
    m_calls.erase(found);
    call.answer.append(text);
    Outcome result{Outcome::other, std::move(call.answer), {}};
    if (outcome == u"string"_s)
        result.kind = Outcome::string;
    else if (outcome == u"nothing"_s)
        result.kind = Outcome::nothing;
    else if (outcome == u"error"_s)
        result.kind = Outcome::scriptError;
    fill(call.slot, std::move(result));
}

QCoro::Task<ConvertResult> ConvertEngine::convert(ConvertKind kind, QString payload, QString name) {
    // The awaiters are named: g++ 12 mishandles temporaries that live across
    // a co_await in the same expression.
    Wait<std::optional<QString>> loading = ensureLoaded();
    const std::optional<QString> failure = co_await loading;
    if (failure)
        co_return ConvertResult::errorMessage(*failure);

    QByteArray transport = payload.toUtf8().toBase64();
    const qsizetype transportLength = transport.size();
    payload.clear();
    const int id = m_nextId++;
    auto slot = std::make_shared<Slot<Outcome>>();
    m_calls.insert(id, Call{slot, {}});

    // Base64 needs no escaping inside a script's string literal.
    for (qsizetype start = 0; start < transport.size(); start += partLength) {
        const QByteArray part = transport.mid(start, partLength);
        m_page->runJavaScript(u"window.__morvaneHost.part(%1, \""_s.arg(id) +
                              QString::fromLatin1(part) + u"\")"_s);
    }
    const QJsonArray arguments{kind.rawValue(), name};
    m_page->runJavaScript(
        u"(function (a) { window.__morvaneHost.call(%1, a[0], a[1]); })("_s.arg(id) +
        QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)) + u")"_s);
    transport.clear();
    QTimer::singleShot(m_deadline, this, [this, id] { expire(id); });

    Wait<Outcome> answering{slot};
    Outcome outcome = co_await answering;
    co_return interpret(std::move(outcome), transportLength);
}

ConvertResult ConvertEngine::interpret(Outcome outcome, qsizetype transportLength) {
    switch (outcome.kind) {
    case Outcome::hostError:
        return ConvertResult::errorMessage(outcome.error);
    case Outcome::scriptError:
        return ConvertResult::errorMessage(outcome.answer.toString());
    case Outcome::nothing:
        return ConvertResult::errorMessage(u"engine returned nil (in %1b)"_s.arg(transportLength));
    case Outcome::other:
        return ConvertResult::errorMessage(u"engine returned non-string"_s);
    case Outcome::string:
        break;
    }
    if (!outcome.answer.asciiOnly || !isStrictBase64(outcome.answer.ascii))
        return ConvertResult::errorMessage(
            u"bad base64 back (%1 chars)"_s.arg(outcome.answer.characters));
    QByteArray json = QByteArray::fromBase64(outcome.answer.ascii);
    outcome.answer.ascii.clear();
    std::optional<ConvertResult> result = ConvertResult::fromJson(json);
    if (!result)
        return ConvertResult::errorMessage(u"bad JSON back (%1 bytes)"_s.arg(json.size()));
    return std::move(*result);
}

#include "convert_engine.moc"
