#include "ui/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kKey = QStringLiteral("files/recent");

void Store(QStringList files) {
    while (files.size() > kRecentFileCount)
        files.removeLast();
    QSettings().setValue(kKey, files);
}

}  // namespace

QStringList RecentFiles() {
    QStringList files = QSettings().value(kKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, kRecentFileCount);
}

void AddRecentFile(const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(file);
    files.prepend(file);
    Store(files);
}

void RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    Store(files);
}
