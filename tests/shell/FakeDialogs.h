// SPDX-License-Identifier: Apache-2.0
#pragma once
// Scripted dialogs for driving the main window's commands: each question
// takes the next prepared answer, and every exchange is recorded.
#include "shell/ShellDialogs.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace ostrel::testing {

struct DialogCall {
    QString kind;  // "open", "save", "password", "message", "error", "question", "url", "about"
    QString title; // dialog title, or the message's print title
    QString text;  // filter for file dialogs, else the shown text
    bool printAllowed = false;
};

class FakeDialogs : public ShellDialogs {
public:
    // Answers, consumed front first. An empty file name or a missing
    // password means the user cancelled.
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<std::optional<QString>> passwordAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> urlAnswers;

    std::vector<DialogCall> calls;

    QString openFileName(QWidget*, const QString& title, const QString& filter) override
    {
        calls.push_back({QStringLiteral("open"), title, filter});
        return next(openAnswers, QString(), "open");
    }
    QString saveFileName(QWidget*, const QString& title, const QString& filter) override
    {
        calls.push_back({QStringLiteral("save"), title, filter});
        return next(saveAnswers, QString(), "save");
    }
    std::optional<QString> password(QWidget*) override
    {
        calls.push_back({QStringLiteral("password"), {}, {}});
        return next(passwordAnswers, std::optional<QString>(), "password");
    }
    void showMessage(const QString& text, bool printAllowed, const QString& title) override
    {
        calls.push_back({QStringLiteral("message"), title, text, printAllowed});
    }
    void showError(const QString& text) override { calls.push_back({QStringLiteral("error"), {}, text}); }
    bool askYesNo(const QString& text) override
    {
        calls.push_back({QStringLiteral("question"), {}, text});
        return next(yesNoAnswers, false, "question");
    }
    std::optional<QString> webAddress(const QString& lastUrl) override
    {
        calls.push_back({QStringLiteral("url"), {}, lastUrl});
        return next(urlAnswers, std::optional<QString>(), "url");
    }
    void showAbout(QWidget*) override { calls.push_back({QStringLiteral("about"), {}, {}}); }
    void printPicture(const QImage& picture, const QString& title) override
    {
        calls.push_back({QStringLiteral("print"), title, QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())});
    }

    QStringList kinds() const
    {
        QStringList result;
        for (const DialogCall& call : calls)
            result.append(call.kind);
        return result;
    }
    const DialogCall* last(const QString& kind) const
    {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->kind == kind)
                return &*it;
        return nullptr;
    }
    bool allAnswersUsed() const
    {
        return openAnswers.empty() && saveAnswers.empty() && passwordAnswers.empty() && yesNoAnswers.empty()
            && urlAnswers.empty();
    }

private:
    template <typename T>
    static T next(std::deque<T>& answers, T cancelled, const char* what)
    {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what << " dialog";
            answers.push_back(std::move(cancelled));
        }
        // Swapped out rather than copied: GCC 12 sees a copy of an optional
        // QString as maybe uninitialised.
        T answer{};
        std::swap(answer, answers.front());
        answers.pop_front();
        return answer;
    }
};

} // namespace ostrel::testing
