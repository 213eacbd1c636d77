// SPDX-License-Identifier: LGPL-3.0-or-later
// Settings of configTool.ini in a given directory, read and written by group and key.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class QSettings;

class Config : public QObject
{
public:
    explicit Config(const QString &dir, QObject *parent = nullptr);
    ~Config() override;

    void setValue(const QString &group, const QString &key, const QVariant &value);
    QVariant getValue(const QString &group, const QString &key) const;
    QString getOneValue(const QString &group, const QString &key, const QVariant &value) const;
    void removeValue(const QString &group, const QString &key);
    void removeGroup(const QString &group);

private:
    QSettings *settings = nullptr;
};
