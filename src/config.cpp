// Placeholder: read-only access to configTool.ini.
#include "config.h"

#include <QSettings>
#include <QTextCodec>

Config::Config(const QString &dir, QObject *parent)
    : QObject(parent)
    , settings(new QSettings(dir + QStringLiteral("/configTool.ini"), QSettings::IniFormat, this))
{
    settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
}

Config::~Config() = default;

void Config::setValue(const QString &, const QString &, const QVariant &) {}

QVariant Config::getValue(const QString &group, const QString &key) const
{
    settings->beginGroup(group);
    QVariant v = settings->value(key, QVariant());
    settings->endGroup();
    return v;
}

QString Config::getOneValue(const QString &, const QString &, const QVariant &) const { return QString(); }
void Config::removeValue(const QString &, const QString &) {}
void Config::removeGroup(const QString &) {}
