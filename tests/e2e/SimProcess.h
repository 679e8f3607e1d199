#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

// cvi-sim started for one test, serving its loop at <temporary folder>/COM1.
struct SimProcess {
    QTemporaryDir dir;
    QProcess process;
    QString link;

    bool start(const QStringList& options) {
        link = dir.path() + QStringLiteral("/COM1");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(CVI_SIM_PATH), QStringList{"--link", link} + options);
        if (!process.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo(link).isSymLink() && t.elapsed() < 5000)
            QThread::msleep(10);
        return QFileInfo(link).isSymLink();
    }
    // Serves the loop described by a JSON configuration (cvi-sim --config).
    bool startWithConfig(const QByteArray& json, const QStringList& options = {}) {
        const QString config = dir.path() + QStringLiteral("/loop.json");
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size()) return false;
        f.close();
        return start(QStringList{"--config", config} + options);
    }
    ~SimProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) process.kill();
            process.waitForFinished(1000);
        }
    }
};
