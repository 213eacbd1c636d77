// SPDX-License-Identifier: LGPL-3.0-or-later
// Settings of configTool.ini in a given directory, read and written by group and key.
#include "config.h"

#include <QSettings>
#include <QStringList>
#include <QTextCodec>

Config::Config(const QString &dir, QObject *parent)
    : QObject(parent)
    , settings(new QSettings(dir + QStringLiteral("/configTool.ini"), QSettings::IniFormat, this))
{
    // Titles are written in Chinese; without the codec QSettings would read Latin-1.
    settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
}

Config::~Config()
{
    delete settings;
}

void Config::setValue(const QString &group, const QString &key, const QVariant &value)
{
    settings->beginGroup(group);
    settings->setValue(key, value);
    settings->endGroup();
    settings->sync();
}

QVariant Config::getValue(const QString &group, const QString &key) const
{
    settings->beginGroup(group);
    const QVariant value = settings->value(key, QVariant());
    settings->endGroup();
    return value;
}

QString Config::getOneValue(const QString &group, const QString &key, const QVariant &value) const
{
    const QStringList list = getValue(group, key).toStringList();
    int index = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (value == QVariant(list.at(i))) {
            index = i;
            break;
        }
    }
    return QString::number(index, 10);
}

void Config::removeValue(const QString &group, const QString &key)
{
    settings->beginGroup(group);
    settings->remove(key);
    settings->endGroup();
}

void Config::removeGroup(const QString &group)
{
    settings->beginGroup(group);
    settings->remove(QString());
    settings->endGroup();
}
