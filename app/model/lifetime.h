#pragma once

#include <memory>

// Whether the object a coroutine works for still exists. A QPointer is no
// help here: it is cleared only in ~QObject, after the members are gone, and
// a converter destroyed with the model may resume its callers on the way.
// The owner ends its lifetime first thing in its destructor; coroutines take
// a token before they wait and check it after every resumption.
class Lifetime {
public:
    class Token {
    public:
        explicit operator bool() const { return *m_alive; }

    private:
        friend class Lifetime;
        explicit Token(std::shared_ptr<const bool> alive)
            : m_alive(std::move(alive)) {}
        std::shared_ptr<const bool> m_alive;
    };

    Token token() const { return Token(m_alive); }
    void end() { *m_alive = false; }

private:
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
