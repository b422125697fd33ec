#include "app/console_message_handler.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>
#include <vector>

namespace {

using zk::app::consoleMessageHandler;

// Points file descriptor 2 at a file (or closes it) for the life of the object, with the handler
// under test installed and a known message pattern.
class RedirectedStderr {
  public:
    explicit RedirectedStderr(const QString& path) : saved_(dup(STDERR_FILENO)) {
        if (!path.isEmpty()) {
            const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(fd, STDERR_FILENO);
            close(fd);
        } else {
            close(STDERR_FILENO);
        }
        qSetMessagePattern("%{type}|%{message}");
        previous_ = qInstallMessageHandler(consoleMessageHandler);
    }
    ~RedirectedStderr() {
        qInstallMessageHandler(previous_);
        qSetMessagePattern(QString());
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }

  private:
    int saved_;
    QtMessageHandler previous_ = nullptr;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ConsoleMessageHandler, EachMessageIsOneFormattedLineOnStandardErrorAndNothingEndsTheProcess) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/stderr.txt";
    {
        RedirectedStderr redirect(path);
        qDebug("plain %d", 1);
        qInfo("info");
        qWarning("warn with ümlaut");
        qCritical("critical");
    }
    // Reaching this line is the proof that qCritical did not end the process.
    const QByteArray expected =
        QString::fromUtf8("debug|plain 1\ninfo|info\nwarning|warn with ümlaut\ncritical|critical\n")
            .toLocal8Bit();
    EXPECT_EQ(readAll(path), expected);
}

TEST(ConsoleMessageHandler, ConcurrentMessagesNeverInterleave) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/stderr.txt";
    constexpr int kThreads = 8;
    constexpr int kMessages = 300;
    {
        RedirectedStderr redirect(path);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                const QString filler(200, QChar('a' + t));
                // Straight into the handler, so ThreadSanitizer sees its own code without Qt's frames.
                const QMessageLogContext context;
                for (int i = 0; i < kMessages; ++i) {
                    consoleMessageHandler(QtWarningMsg, context,
                                          QString("t%1 m%2 %3").arg(t).arg(i).arg(filler));
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
    }
    const QList<QByteArray> lines = readAll(path).split('\n');
    ASSERT_EQ(lines.size(), kThreads * kMessages + 1);  // the last split part is the empty tail
    EXPECT_TRUE(lines.back().isEmpty());
    const QRegularExpression shape("^warning\\|t([0-7]) m(\\d+) ([a-h])\\3{199}$");
    std::vector<int> perThread(kThreads, 0);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QRegularExpressionMatch match = shape.match(QString::fromLatin1(lines[i]));
        ASSERT_TRUE(match.hasMatch()) << lines[i].left(80).toStdString();
        const int thread = match.captured(1).toInt();
        EXPECT_EQ(match.captured(3).at(0), QChar('a' + thread));
        EXPECT_EQ(match.captured(2).toInt(), perThread[thread]++);  // each thread's order kept
    }
}

TEST(ConsoleMessageHandler, ClosedStandardErrorDropsMessagesAndLaterOnesGoThroughAgain) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/stderr.txt";
    {
        RedirectedStderr redirect{QString()};
        qWarning("lost");
        qCritical("lost too");
        const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_GE(fd, 0);
        if (fd != STDERR_FILENO) {
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        qWarning("kept");
    }
    EXPECT_EQ(readAll(path), QByteArray("warning|kept\n"));
}

}  // namespace
