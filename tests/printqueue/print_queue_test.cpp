// SPDX-License-Identifier: Apache-2.0
// Printing on a real print queue: the test starts a CUPS server of its own
// (own configuration folder, own socket, CUPS_SERVER pointing at it), makes a
// queue with lpadmin whose device is a file: URI, and checks that the print
// window lists that queue and that the server accepts what it sends.
#include "support/Children.h"
#include "support/ProcessRun.h"
#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXSuperSpin.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

constexpr const char* kQueue = "ostrel-queue";

using testing::child;
using testing::ProcessRun;
using testing::runProcess;

// A cupsd of the test's own, in the foreground, on a socket in a temporary
// folder; stopped when the object goes.
class PrivateCupsServer {
public:
    // Empty when the server runs, else why it cannot.
    QString start()
    {
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin"),
                                                                                        QStringLiteral("/sbin")});
        if (cupsd.isEmpty())
            return QStringLiteral("cupsd is not installed (Debian package cups-daemon)");
        if (QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {QStringLiteral("/usr/sbin")}).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("lpstat")).isEmpty())
            return QStringLiteral("lpadmin or lpstat is missing (Debian packages cups-client)");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        const QDir root(m_dir.path());
        for (const char* sub : {"spool", "cache", "state", "tmp", "log", "ppd"})
            root.mkpath(QLatin1String(sub));
        m_socket = root.filePath(QStringLiteral("cups.sock"));
        writeFile(QStringLiteral("cupsd.conf"),
                  QStringLiteral("Listen %1\nLogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n"
                                 "</Policy>\n")
                      .arg(m_socket));
        // FileDevice lets a queue print into a file: URI, so no printer and
        // no backend is involved.
        writeFile(QStringLiteral("cups-files.conf"),
                  QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                 "TempDir %1/tmp\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                 "PageLog %1/log/page_log\nFileDevice Yes\n")
                      .arg(m_dir.path()));
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), root.filePath(QStringLiteral("cupsd.conf")),
                               QStringLiteral("-s"), root.filePath(QStringLiteral("cups-files.conf"))});
        if (!m_server.waitForStarted(10000))
            return QStringLiteral("cupsd did not start: ") + m_server.errorString();
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(m_socket)) {
            if (m_server.state() == QProcess::NotRunning || clock.elapsed() > 15000)
                return QStringLiteral("cupsd did not open its socket: ") + QString::fromUtf8(m_server.readAll())
                    + log();
            QThread::msleep(50);
        }
        qputenv("CUPS_SERVER", m_socket.toLocal8Bit());
        return {};
    }

    ~PrivateCupsServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(10000))
                m_server.kill();
            m_server.waitForFinished(5000);
        }
        qunsetenv("CUPS_SERVER");
    }

    QString log() const
    {
        QFile file(QDir(m_dir.path()).filePath(QStringLiteral("log/error_log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void writeFile(const QString& name, const QString& text)
    {
        QFile file(QDir(m_dir.path()).filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_server;
};

// One server for the whole program: the print library keeps the server it
// first talked to, so every test in this process uses the same one.
PrivateCupsServer& sharedServer(QString& why)
{
    static PrivateCupsServer server;
    static const QString startError = server.start();
    why = startError;
    return server;
}

// Waits a little for the server to list the job.
bool jobListed(const QString& job)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        const ProcessRun jobs = runProcess(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"),
                                                                      QStringLiteral("-o"), QLatin1String(kQueue)});
        if (jobs.out.contains(job))
            return true;
        QThread::msleep(100);
    }
    return false;
}

// Tests on the shared private server, with a one-line text file to print.
class PrintQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        m_server = &sharedServer(why);
        if (!why.isEmpty())
            GTEST_SKIP() << "A private CUPS server cannot run on this machine, so no real queue is tested: "
                         << why.toStdString();
    }

    QString notesFile()
    {
        const QString text = m_dir.filePath(QStringLiteral("notes.txt"));
        QFile file(text);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("one line\n");
        return text;
    }

    PrivateCupsServer& server() { return *m_server; }

private:
    PrivateCupsServer* m_server = nullptr;
    QTemporaryDir m_dir;
};

TEST_F(PrintQueue, TheDialogListsAPrivateQueueAndTheServerTakesItsJobs)
{
    const ProcessRun added =
        runProcess(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QLatin1String(kQueue), QStringLiteral("-E"),
                                               QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString() << server().log().toStdString();
    ASSERT_EQ(runProcess(QStringLiteral("lpadmin"), {QStringLiteral("-d"), QLatin1String(kQueue)}).exitCode, 0);

    TForm_Print form;
    form.notify = [](const PrintNotice& notice) { ADD_FAILURE() << notice.text.toStdString(); };
    QStringList lines;
    for (int i = 1; i <= 120; ++i)
        lines << QStringLiteral("queued line %1").arg(i);
    form.setTextSource(lines);
    form.prepareForShow();

    // The queue, then the file entry; the server's default queue is chosen.
    QStringList listed;
    const auto* printerList = child<QComboBox>(form, "PrinterList");
    for (int i = 0; i < printerList->count(); ++i)
        listed << printerList->itemText(i);
    EXPECT_EQ(listed, (QStringList{QLatin1String(kQueue), QLatin1String(kPrintToFileEntry)}));
    EXPECT_EQ(form.currentPrinterName(), QLatin1String(kQueue));
    EXPECT_TRUE(form.painter().metrics().valid);
    EXPECT_GT(child<TZQXSuperSpin>(form, "PageNumber")->maxValue(), 1);

    form.printAll();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(jobListed(QStringLiteral("%1-1").arg(QLatin1String(kQueue)))) << server().log().toStdString();

    // The command line finds the same queue, as the default.
    const QString text = notesFile();
    const ProcessRun printers = runProcess(QStringLiteral(OSTREL_CLI_PATH), {QStringLiteral("printers")});
    EXPECT_EQ(printers.exitCode, 0);
    EXPECT_TRUE(printers.out.contains(QStringLiteral("* %1").arg(QLatin1String(kQueue)))) << printers.out.toStdString();
    const ProcessRun printed = runProcess(QStringLiteral(OSTREL_CLI_PATH), {QStringLiteral("print"), text});
    EXPECT_EQ(printed.exitCode, 0) << printed.err.toStdString();
    EXPECT_TRUE(printed.err.contains(QStringLiteral("Sent 1 page to %1").arg(QLatin1String(kQueue))));
    EXPECT_TRUE(jobListed(QStringLiteral("%1-2").arg(QLatin1String(kQueue)))) << server().log().toStdString();
}

// A queue that refuses jobs, is stopped or has gone is an error in the print
// window and on the command line alike, naming the queue and the server's
// reason, and no job reaches the server.
TEST_F(PrintQueue, RefusingStoppedAndMissingQueuesAreErrorsInBothPrograms)
{
    const QString text = notesFile();

    struct Case {
        const char* name;
        QStringList turnOff; // a command given the queue's name last
        const char* reason;  // in the error, beside the queue's name
    };
    const std::vector<Case> cases = {
        {"rejecting", {QStringLiteral("cupsreject"), QStringLiteral("-r"), QStringLiteral("closed for repairs")},
         "not accepting jobs (closed for repairs)"},
        {"disabled", {QStringLiteral("cupsdisable"), QStringLiteral("-r"), QStringLiteral("out of paper")},
         "stopped (out of paper)"},
        {"deleted", {QStringLiteral("lpadmin"), QStringLiteral("-x")}, "no such queue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString queue = QStringLiteral("queue-%1").arg(QLatin1String(c.name));
        ASSERT_EQ(runProcess(QStringLiteral("lpadmin"), {QStringLiteral("-p"), queue, QStringLiteral("-E"),
                                                         QStringLiteral("-v"), QStringLiteral("file:///dev/null")})
                      .exitCode,
                  0)
            << server().log().toStdString();
        // The window chooses the queue while it is still there.
        TForm_Print form;
        QString shown;
        form.notify = [&](const PrintNotice& notice) {
            EXPECT_EQ(notice.kind, PrintNotice::Kind::PrintFailed);
            shown = notice.text;
        };
        form.setTextSource({QStringLiteral("a line")});
        form.prepareForShow();
        ASSERT_TRUE(form.selectPrinter(queue));

        const ProcessRun off = runProcess(c.turnOff.first(), c.turnOff.mid(1) << queue);
        ASSERT_EQ(off.exitCode, 0) << off.err.toStdString();

        form.printPage();
        EXPECT_NE(form.result(), QDialog::Accepted);
        EXPECT_TRUE(shown.contains(queue) && shown.contains(QLatin1String(c.reason))) << shown.toStdString();

        const ProcessRun printed =
            runProcess(QStringLiteral(OSTREL_CLI_PATH), {QStringLiteral("print"), text, QStringLiteral("--printer"), queue});
        EXPECT_EQ(printed.exitCode, 1) << printed.err.toStdString();
        EXPECT_TRUE(printed.err.contains(queue) && printed.err.contains(QLatin1String(c.reason)))
            << printed.err.toStdString();
        EXPECT_FALSE(printed.err.contains(QLatin1String("Sent"))) << printed.err.toStdString();

        const ProcessRun jobs = runProcess(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"),
                                                                      QStringLiteral("-o")});
        EXPECT_FALSE(jobs.out.contains(queue)) << jobs.out.toStdString();
    }
}

TEST(PrintServer, ListingSaysWhenItCannotBeReached)
{
    const QTemporaryDir dir;
    const ProcessRun printers = runProcess(
        QStringLiteral(OSTREL_CLI_PATH), {QStringLiteral("printers")},
        {.setEnvironment = {{QStringLiteral("CUPS_SERVER"), dir.filePath(QStringLiteral("no-server.sock"))}}});
    EXPECT_EQ(printers.exitCode, 1);
    EXPECT_TRUE(printers.err.contains(QLatin1String("the print server cannot be reached: "))) << printers.err.toStdString();
    EXPECT_FALSE(printers.err.contains(QLatin1String("No print queues"))) << printers.err.toStdString();
}

} // namespace
} // namespace ostrel
