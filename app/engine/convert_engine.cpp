#include "convert_engine.h"

#include "base64.h"
#include "packaged_resources.h"

#include <QBuffer>
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
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

// Answers cross between the processes in parts of this many characters or
// bytes, so that no single message grows with the document.
constexpr qsizetype partLength = qsizetype(1) << 22;

// The page reads each call's payload from this scheme, so that a document is
// not copied into a script: "ID" gives its bytes (the file's own for Word and
// PowerPoint), "ID/transport" the base64 text of its UTF-8 that the engine's
// entry function takes by its contract.
const QByteArray payloadScheme = QByteArrayLiteral("morvane-payload");

const QString pageDidNotLoad = u"engine page did not load"_s;
const QString processEnded = u"engine process ended"_s;
const QString engineClosed = u"engine closed"_s;
const QString engineRestarted = u"engine restarted after another conversion ran too long"_s;

// Runs in the page's own world before its scripts: connects the channel and
// offers the host its calls. Each call reads its payload from the payload
// scheme. A page whose engine also offers ombrixConvertBytes gets the bytes
// there; any other gets ombrixConvert(kind, payload, name) with three strings.
// A text answer comes back through the channel in parts, an answer in bytes
// (a list of Uint8Array) is only announced there and then taken by the host
// part by part.
const char* const glue = R"JS(
(function () {
  const host = new Promise((resolve) => {
    new QWebChannel(qt.webChannelTransport, (channel) => resolve(channel.objects.host));
  });
  const answers = new Map();
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
  // fetch() does not reach custom schemes in this Chromium; XMLHttpRequest does.
  const payload = (id, asBytes) => new Promise((resolve, reject) => {
    const request = new XMLHttpRequest();
    request.open('GET', '%2:' + id + (asBytes ? '' : '/transport'));
    request.responseType = asBytes ? 'arraybuffer' : 'text';
    request.onload = () => request.response === null ? reject('the payload did not arrive')
      : resolve(asBytes ? new Uint8Array(request.response) : request.response);
    // A stored payload is refused only when its bytes cannot be decoded.
    request.onerror = () => reject('payload is not valid base64');
    request.send();
  });
  const isBytes = (value) => Array.isArray(value) && value.every((part) => part instanceof Uint8Array);
  Object.defineProperty(window, '__morvaneHost', { value: Object.freeze({
    async call(id, kind, name) {
      let outcome = 'other';
      let text = '';
      try {
        const value = typeof window.ombrixConvertBytes === 'function'
          ? await window.ombrixConvertBytes(kind, await payload(id, true), name)
          : await window.ombrixConvert(kind, await payload(id, false), name);
        if (typeof value === 'string') {
          outcome = 'string';
          text = value;
        } else if (value === undefined) {
          outcome = 'nothing';
        } else if (isBytes(value)) {
          outcome = 'bytes';
          answers.set(id, value);
          text = String(value.reduce((sum, part) => sum + part.length, 0));
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
    // The next bytes of an answer, up to one part; empty once all are taken.
    take(id) {
      const parts = answers.get(id) || [];
      const taken = [];
      let size = 0;
      while (parts.length && size < partLength) {
        const part = parts[0].subarray(0, partLength - size);
        taken.push(part);
        size += part.length;
        if (part.length === parts[0].length) parts.shift();
        else parts[0] = parts[0].subarray(part.length);
      }
      if (!parts.length) answers.delete(id);
      const out = new Uint8Array(size);
      for (let i = 0, at = 0; i < taken.length; at += taken[i].length, i++) out.set(taken[i], at);
      return out;
    },
    forget(id) {
      answers.delete(id);
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

// The smallest valid answer in bytes: the frame's two counts.
constexpr qsizetype frameHead = 8;

quint32 readNumber(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Registered once, before the first profile: the web engine reads its schemes
// when it starts.
void registerPayloadScheme() {
    static const bool registered = [] {
        QWebEngineUrlScheme scheme(payloadScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        // Local: no page from the network may read it; CORS: the engine page,
        // a file, may.
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
        return true;
    }();
    (void)registered;
}

std::unique_ptr<QWebEngineProfile> makeProfile() {
    registerPayloadScheme();
    return std::make_unique<QWebEngineProfile>();
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

// Serves each call's payload once, then lets go of it.
class PayloadHandler : public QWebEngineUrlSchemeHandler {
public:
    explicit PayloadHandler(ConvertEngine* engine)
        : m_engine(engine) {}

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        QString path = job->requestUrl().path();
        const bool transport = path.endsWith(u"/transport"_s);
        if (transport)
            path.chop(10);
        bool isNumber = false;
        const int id = path.toInt(&isNumber);
        const auto found = isNumber ? m_engine->m_payloads.find(id) : m_engine->m_payloads.end();
        if (found == m_engine->m_payloads.end()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        ConvertEngine::Payload payload = std::move(*found);
        m_engine->m_payloads.erase(found);
        std::optional<QByteArray> served = transport        ? payload.utf8.toBase64()
                                           : payload.binary ? Base64::decodeStrict(payload.utf8)
                                                            : std::move(payload.utf8);
        if (!served) {
            job->fail(QWebEngineUrlRequestJob::RequestFailed);
            return;
        }
        auto* device = new QBuffer(job);
        device->setData(std::move(*served));
        device->open(QIODevice::ReadOnly);
        job->reply(QByteArrayLiteral("application/octet-stream"), device);
    }

private:
    ConvertEngine* m_engine;
};

ConvertEngine::ConvertEngine(QObject* parent)
    : ConvertEngine(PackagedResources::enginePage(), parent) {}

ConvertEngine::ConvertEngine(const QUrl& page, QObject* parent)
    : QObject(parent)
    , m_url(page)
    , m_profile(makeProfile())
    , m_payloadHandler(std::make_unique<PayloadHandler>(this))
    , m_bridge(std::make_unique<EngineBridge>(this))
    , m_channel(std::make_unique<QWebChannel>()) {
    m_profile->installUrlSchemeHandler(payloadScheme, m_payloadHandler.get());
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
    script.setSourceCode(
        QString::fromUtf8(channelScript.readAll()) +
        QString::fromLatin1(glue).arg(partLength).arg(QString::fromLatin1(payloadScheme)));
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
    failAll(engineClosed, Resume::later);
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

void ConvertEngine::failAll(const QString& error, Resume resume) {
    const auto waiters = std::exchange(m_waiters, {});
    const auto calls = std::exchange(m_calls, {});
    m_payloads.clear();
    for (const auto& waiter : waiters)
        fill(waiter, std::optional<QString>(error), resume);
    for (const Call& call : calls)
        fill(call.slot, Outcome{Outcome::hostError, {}, {}, error}, resume);
}

void ConvertEngine::expire(int id) {
    const auto found = m_calls.find(id);
    if (found == m_calls.end())
        return;
    const auto slot = found->slot;
    m_calls.erase(found);
    m_payloads.remove(id);
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
    m_payloads.clear();
    for (const Call& call : calls)
        fill(call.slot, Outcome{Outcome::hostError, {}, {}, engineRestarted});
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_deadline).count();
    fill(slot, Outcome{Outcome::hostError,
                       {},
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
    m_payloads.remove(id);
    if (outcome == u"bytes"_s) {
        found->expected = text.toLongLong();
        takeBytes(id);
        return;
    }
    Call call = std::move(*found);
    m_calls.erase(found);
    call.answer.append(text);
    Outcome result{Outcome::other, std::move(call.answer), {}, {}};
    if (outcome == u"string"_s)
        result.kind = Outcome::string;
    else if (outcome == u"nothing"_s)
        result.kind = Outcome::nothing;
    else if (outcome == u"error"_s)
        result.kind = Outcome::scriptError;
    fill(call.slot, std::move(result));
}

void ConvertEngine::takeBytes(int id) {
    // A page let go of may still answer, with nothing; the call has had its
    // answer from failAll or expire by then.
    m_page->runJavaScript(u"window.__morvaneHost.take(%1)"_s.arg(id), QWebEngineScript::MainWorld,
                          [this, id, page = m_page.get()](const QVariant& value) {
                              if (page == m_page.get())
                                  receiveBytes(id, value.toByteArray());
                          });
}

void ConvertEngine::receiveBytes(int id, const QByteArray& part) {
    const auto found = m_calls.find(id);
    if (found == m_calls.end())
        return;
    found->bytes += part;
    // An empty part ends an answer that came up short.
    if (!part.isEmpty() && found->bytes.size() < found->expected) {
        takeBytes(id);
        return;
    }
    Call call = std::move(*found);
    m_calls.erase(found);
    if (!part.isEmpty() || call.bytes.size() < call.expected)
        m_page->runJavaScript(u"window.__morvaneHost.forget(%1)"_s.arg(id),
                              QWebEngineScript::MainWorld);
    fill(call.slot, Outcome{Outcome::binary, {}, std::move(call.bytes), {}});
}

QCoro::Task<ConvertResult> ConvertEngine::convert(ConvertKind kind, QString payload, QString name) {
    // The awaiters are named: g++ 12 mishandles temporaries that live across
    // a co_await in the same expression.
    Wait<std::optional<QString>> loading = ensureLoaded();
    const std::optional<QString> failure = co_await loading;
    if (failure)
        co_return ConvertResult::errorMessage(*failure);

    // Held as UTF-8 until the page reads it in the form its engine takes.
    QByteArray utf8 = payload.toUtf8();
    payload.clear();
    const qsizetype transportLength = (utf8.size() + 2) / 3 * 4;
    const int id = m_nextId++;
    auto slot = std::make_shared<Slot<Outcome>>();
    m_calls.insert(id, Call{slot, {}, {}, -1});
    m_payloads.insert(id, Payload{std::move(utf8), kind.isBinary()});

    const QJsonArray arguments{kind.rawValue(), name};
    m_page->runJavaScript(
        u"(function (a) { window.__morvaneHost.call(%1, a[0], a[1]); })("_s.arg(id) +
        QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)) + u")"_s);
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
    case Outcome::binary:
        return fromAnswerBytes(outcome.bytes);
    case Outcome::string:
        break;
    }
    std::optional<QByteArray> json =
        outcome.answer.asciiOnly ? Base64::decodeStrict(outcome.answer.ascii) : std::nullopt;
    outcome.answer.ascii.clear();
    if (!json)
        return ConvertResult::errorMessage(
            u"bad base64 back (%1 chars)"_s.arg(outcome.answer.characters));
    std::optional<ConvertResult> result = ConvertResult::fromJson(*json);
    if (!result)
        return ConvertResult::errorMessage(u"bad JSON back (%1 bytes)"_s.arg(json->size()));
    return std::move(*result);
}

// The frame of engine/src/transport.js: the JSON's length, the asset count,
// each asset's length (-1: its base64 is in the JSON), the JSON, the bytes.
ConvertResult ConvertEngine::fromAnswerBytes(const QByteArray& answer) {
    const auto broken = [&] {
        return ConvertResult::errorMessage(u"bad answer back (%1 bytes)"_s.arg(answer.size()));
    };
    if (answer.size() < frameHead)
        return broken();
    const qsizetype jsonLength = readNumber(answer, 0);
    const qsizetype count = readNumber(answer, 4);
    if (count > (answer.size() - frameHead) / 4)
        return broken();
    qsizetype offset = frameHead + 4 * count;
    if (jsonLength > answer.size() - offset)
        return broken();
    const QByteArray json = answer.sliced(offset, jsonLength);
    offset += jsonLength;
    std::optional<ConvertResult> result = ConvertResult::fromJson(json);
    if (!result)
        return ConvertResult::errorMessage(u"bad JSON back (%1 bytes)"_s.arg(json.size()));
    if (result->assets.size() != count)
        return broken();
    for (qsizetype i = 0; i < count; ++i) {
        const auto length = qint32(readNumber(answer, frameHead + 4 * i));
        if (length < 0)
            continue;
        if (length > answer.size() - offset)
            return broken();
        result->assets[i].base64 = QString::fromLatin1(answer.sliced(offset, length).toBase64());
        offset += length;
    }
    if (offset != answer.size())
        return broken();
    return std::move(*result);
}

#include "convert_engine.moc"
