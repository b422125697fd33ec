#include "app/text_file_writer.h"

#include <QDir>
#include <QSaveFile>

#include "app/ui_text.h"

namespace zk::app {

namespace {

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QChar::Null);
}

bool fail(QString* error, const QString& reason) {
    if (error != nullptr) *error = reason;
    return false;
}

}  // namespace

bool writeTextFileAtomically(const QString& folder, const QString& fileName, const QString& text,
                             QString* error) {
    if (!isPlainFileName(fileName)) return fail(error, UiText::tr("invalid file name \"%1\"").arg(fileName));
    QSaveFile file(QDir(folder).filePath(fileName));
    // Unbuffered, so that the write below reports what reached the file: a buffered write of a short
    // text succeeds, and the flush at commit drops a short write unnoticed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(error, file.errorString());
    const QByteArray bytes = text.toUtf8();
    // A short write (a full disk, a file size limit) is not an error to QIODevice, yet committing it
    // would put a truncated file under the final name.
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        const QString reason = written < 0 || file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : UiText::tr("only %1 of %2 bytes written").arg(written).arg(bytes.size());
        file.cancelWriting();
        file.commit();  // drops the temporary file; the target stays as it was
        return fail(error, reason);
    }
    if (!file.commit()) return fail(error, file.errorString());
    return true;
}

}  // namespace zk::app
