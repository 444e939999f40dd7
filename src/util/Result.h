// SPDX-License-Identifier: Apache-2.0
#pragma once
// How the project's own functions report failure: a Result<T> holds either
// the value asked for or the message that says why there is none, an Outcome
// the same for work that yields no value. The message is the user's text
// ("Cannot write FILE: REASON."), which callers show, pass on unchanged or
// set into a sentence of their own. Success is a state of its own, never an
// empty message. Nothing is thrown.
#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace ostrel {

// A failure's message on its way to a Result or an Outcome: `return fail(text);`.
struct Failure {
    QString message;
};

inline Failure fail(QString message)
{
    return Failure{std::move(message)};
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_error(std::move(failure.message)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // The value; only after ok().
    const T& value() const&
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T& value() &
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T&& value() &&
    {
        Q_ASSERT(ok());
        return std::move(*m_value);
    }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // The value, or `fallback` after a failure.
    T valueOr(T fallback) const& { return ok() ? *m_value : std::move(fallback); }

    // Why there is no value; empty after a success.
    const QString& error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};

class [[nodiscard]] Outcome {
public:
    // Success.
    Outcome() = default;
    Outcome(Failure failure) : m_ok(false), m_error(std::move(failure.message)) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // Why it failed; empty after a success.
    const QString& error() const { return m_error; }

private:
    bool m_ok = true;
    QString m_error;
};

// For functions whose callers hand an optional message pointer down (the
// picture writers): copies a failure's message there and says whether the
// work succeeded.
inline bool reportInto(const Outcome& outcome, QString* error)
{
    if (!outcome && error)
        *error = outcome.error();
    return outcome.ok();
}
template <class T>
bool reportInto(const Result<T>& result, QString* error)
{
    if (!result && error)
        *error = result.error();
    return result.ok();
}

} // namespace ostrel
