#pragma once

// Finds the web engine's render processes below this process, for tests that
// stop them and benchmarks that weigh them. Chromium forks renderers from
// its zygote, so they keep the zygote's command line: a zygote process whose
// parent is not this process is a renderer.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>

inline QList<int> renderProcesses() {
    using namespace Qt::StringLiterals;
    const int self = int(QCoreApplication::applicationPid());
    QHash<int, int> parentOf;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            parentOf.insert(pid, fields[1].toInt());
    }
    QList<int> found;
    for (auto process = parentOf.cbegin(); process != parentOf.cend(); ++process) {
        int ancestor = process.value();
        while (ancestor > 1 && ancestor != self)
            ancestor = parentOf.value(ancestor, 0);
        QFile commandLine(u"/proc/%1/cmdline"_s.arg(process.key()));
        if (ancestor != self || process.value() == self || !commandLine.open(QIODevice::ReadOnly))
            continue;
        const QByteArray arguments = commandLine.readAll();
        if (arguments.contains("--type=renderer") || arguments.contains("--type=zygote"))
            found.append(process.key());
    }
    return found;
}
