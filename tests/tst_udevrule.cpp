// SPDX-License-Identifier: LGPL-3.0-or-later
// The shipped udev rule: its syntax as udev reads it, and its vendor IDs against the ones
// the USB link really accepts (checked on the virtual printer bus, not by reading code).
#include "usb.h"
#include "virtualprinter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

struct RuleFile
{
    QStringList errors;
    QStringList uaccessVendors; // vendor IDs of the rules that tag the device with uaccess
};

enum class KeyKind { Match, Assign, Both };

// The keys of udev(7) that this kind of rule could use, with the operators each accepts.
KeyKind keyKind(const QString &key, bool *known)
{
    static const QHash<QString, KeyKind> kinds{
        {"ACTION", KeyKind::Match},    {"DEVPATH", KeyKind::Match},
        {"KERNEL", KeyKind::Match},    {"KERNELS", KeyKind::Match},
        {"SUBSYSTEM", KeyKind::Match}, {"SUBSYSTEMS", KeyKind::Match},
        {"DRIVER", KeyKind::Match},    {"DRIVERS", KeyKind::Match},
        {"ATTRS", KeyKind::Match},     {"TAGS", KeyKind::Match},
        {"TEST", KeyKind::Match},      {"PROGRAM", KeyKind::Match},
        {"RESULT", KeyKind::Match},    {"CONST", KeyKind::Match},
        {"ATTR", KeyKind::Both},       {"ENV", KeyKind::Both},
        {"TAG", KeyKind::Both},        {"SYMLINK", KeyKind::Both},
        {"NAME", KeyKind::Both},       {"SYSCTL", KeyKind::Both},
        {"OWNER", KeyKind::Assign},    {"GROUP", KeyKind::Assign},
        {"MODE", KeyKind::Assign},     {"RUN", KeyKind::Assign},
        {"IMPORT", KeyKind::Assign},   {"OPTIONS", KeyKind::Assign},
        {"LABEL", KeyKind::Assign},    {"GOTO", KeyKind::Assign},
    };
    *known = kinds.contains(key);
    return kinds.value(key, KeyKind::Match);
}

// Whether the key needs an {attribute}; for TEST, IMPORT and RUN it may be left out.
bool attributeFits(const QString &key, bool hasAttribute)
{
    static const QSet<QString> required{"ATTR", "ATTRS", "ENV", "SYSCTL", "CONST"};
    static const QSet<QString> optional{"TEST", "IMPORT", "RUN"};
    if (optional.contains(key))
        return true;
    return required.contains(key) == hasAttribute;
}

// Reads rule text as udev does: "KEY[{attr}] OP "value"" pairs separated by commas,
// comments and blank lines skipped, a trailing backslash joining lines.
RuleFile checkRules(const QString &text)
{
    RuleFile result;
    QSet<QString> labels;
    QList<QPair<int, QString>> gotos;

    static const QRegularExpression pair(
        QStringLiteral("^\\s*([A-Z_]+)(\\{([^}]*)\\})?\\s*(==|!=|\\+=|-=|:=|=)\\s*"
                       "\"((?:[^\"\\\\]|\\\\.)*)\"\\s*(,?)"));

    QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i];
        while (line.endsWith(QLatin1Char('\\'))) {
            line.chop(1);
            if (++i >= lines.size()) {
                result.errors << QStringLiteral("%1: continuation at end of file").arg(lineNo);
                break;
            }
            line += lines[i];
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;

        QString rest = trimmed;
        QString vendor;
        bool uaccess = false;
        while (!rest.isEmpty()) {
            const QRegularExpressionMatch m = pair.match(rest);
            if (!m.hasMatch()) {
                result.errors << QStringLiteral("%1: cannot read \"%2\"").arg(lineNo).arg(rest);
                break;
            }
            const QString key = m.captured(1);
            const QString attr = m.captured(3);
            const QString op = m.captured(4);
            const QString value = m.captured(5);
            const bool isMatch = op == QLatin1String("==") || op == QLatin1String("!=");
            bool known = false;
            const KeyKind kind = keyKind(key, &known);
            if (!known)
                result.errors << QStringLiteral("%1: unknown key %2").arg(lineNo).arg(key);
            else if (kind == KeyKind::Match && !isMatch)
                result.errors << QStringLiteral("%1: %2 only compares").arg(lineNo).arg(key);
            else if (kind == KeyKind::Assign && isMatch)
                result.errors << QStringLiteral("%1: %2 only assigns").arg(lineNo).arg(key);
            if (known && !attributeFits(key, !m.captured(2).isEmpty()))
                result.errors << QStringLiteral("%1: %2 with wrong {attribute}").arg(lineNo).arg(key);

            if (key == QLatin1String("LABEL"))
                labels << value;
            if (key == QLatin1String("GOTO"))
                gotos << qMakePair(lineNo, value);
            if ((key == QLatin1String("ATTR") || key == QLatin1String("ATTRS"))
                && attr == QLatin1String("idVendor") && op == QLatin1String("==")) {
                // sysfs writes the ID in four lower-case hex digits; anything else never matches.
                if (!QRegularExpression(QStringLiteral("^[0-9a-f]{4}$")).match(value).hasMatch())
                    result.errors << QStringLiteral("%1: vendor \"%2\" never matches sysfs")
                                         .arg(lineNo).arg(value);
                vendor = value;
            }
            if (key == QLatin1String("TAG") && op == QLatin1String("+=")
                && value == QLatin1String("uaccess"))
                uaccess = true;

            rest = rest.mid(m.capturedLength()).trimmed();
            if (m.captured(6).isEmpty() && !rest.isEmpty())
                result.errors << QStringLiteral("%1: missing comma").arg(lineNo);
        }
        if (uaccess && !vendor.isEmpty())
            result.uaccessVendors << vendor;
    }
    for (const auto &jump : qAsConst(gotos)) {
        if (!labels.contains(jump.second))
            result.errors << QStringLiteral("%1: GOTO \"%2\" has no LABEL").arg(jump.first).arg(jump.second);
    }
    return result;
}

QString shippedRulePath()
{
    return QStringLiteral(CARDTOOL_SOURCE_DIR "/packaging/70-cardtool.rules");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

class tst_UdevRule : public QObject
{
    Q_OBJECT

private slots:
    void checkerCatchesFaults_data();
    void checkerCatchesFaults();
    void shippedRuleReadsCleanly();
    void vendorsMatchAcceptedPrinters();

private:
    VirtualPrinterBus bus;
};

void tst_UdevRule::checkerCatchesFaults_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QString>("error"); // part of the expected error, empty for none

    const QString good = QStringLiteral(
        "SUBSYSTEM!=\"usb\", GOTO=\"x_end\"\n"
        "ATTR{idVendor}==\"2867\", TAG+=\"uaccess\"\n"
        "LABEL=\"x_end\"\n");
    QTest::newRow("well formed") << good << QString();
    QTest::newRow("continued line")
        << QStringLiteral("ATTR{idVendor}==\"2867\", \\\n  TAG+=\"uaccess\"\n") << QString();
    QTest::newRow("value without quotes")
        << QStringLiteral("ATTR{idVendor}==2867, TAG+=\"uaccess\"\n") << "cannot read";
    QTest::newRow("unknown key")
        << QStringLiteral("VENDOR==\"2867\", TAG+=\"uaccess\"\n") << "unknown key VENDOR";
    QTest::newRow("assignment to a compare-only key")
        << QStringLiteral("ACTION=\"add\", TAG+=\"uaccess\"\n") << "ACTION only compares";
    QTest::newRow("comparison of an assign-only key")
        << QStringLiteral("MODE==\"0660\"\n") << "MODE only assigns";
    QTest::newRow("attribute key without attribute")
        << QStringLiteral("ATTR==\"2867\", TAG+=\"uaccess\"\n") << "wrong {attribute}";
    QTest::newRow("jump to a missing label")
        << QStringLiteral("SUBSYSTEM!=\"usb\", GOTO=\"nowhere\"\n") << "has no LABEL";
    QTest::newRow("upper-case vendor never matches")
        << QStringLiteral("ATTR{idVendor}==\"08BD\", TAG+=\"uaccess\"\n") << "never matches";
    QTest::newRow("vendor with prefix never matches")
        << QStringLiteral("ATTR{idVendor}==\"0x2867\", TAG+=\"uaccess\"\n") << "never matches";
    QTest::newRow("missing comma")
        << QStringLiteral("ATTR{idVendor}==\"2867\" TAG+=\"uaccess\"\n") << "missing comma";
    QTest::newRow("continuation at end of file")
        << QStringLiteral("ATTR{idVendor}==\"2867\", \\") << "continuation at end";
}

void tst_UdevRule::checkerCatchesFaults()
{
    QFETCH(QString, rules);
    QFETCH(QString, error);

    const RuleFile checked = checkRules(rules);
    if (error.isEmpty()) {
        QVERIFY2(checked.errors.isEmpty(), qPrintable(checked.errors.join("; ")));
        QCOMPARE(checked.uaccessVendors, QStringList{"2867"});
    } else {
        QVERIFY2(!checked.errors.isEmpty(), "the fault went unnoticed");
        QVERIFY2(checked.errors.join("; ").contains(error), qPrintable(checked.errors.join("; ")));
    }
}

void tst_UdevRule::shippedRuleReadsCleanly()
{
    const QByteArray text = readFile(shippedRulePath());
    QVERIFY2(!text.isEmpty(), qPrintable(shippedRulePath()));
    const RuleFile checked = checkRules(QString::fromUtf8(text));
    QVERIFY2(checked.errors.isEmpty(), qPrintable(checked.errors.join("; ")));
    QVERIFY(!checked.uaccessVendors.isEmpty());

    // logind applies the uaccess tag in 73-seat-late.rules: a rule ordered after it is ignored.
    const QString name = QFileInfo(shippedRulePath()).fileName();
    QVERIFY2(name < QLatin1String("73-seat-late.rules"), qPrintable(name));
}

// Every vendor ID of the rule must be one that the tool lists, and the tool must list no
// vendor that the rule leaves without access. The candidates are the rule's IDs, every
// four-digit hex constant of the USB source (wherever the accepted IDs are written) and one
// vendor that nothing names.
void tst_UdevRule::vendorsMatchAcceptedPrinters()
{
    const RuleFile checked = checkRules(QString::fromUtf8(readFile(shippedRulePath())));
    const QSet<QString> ruleVendors(checked.uaccessVendors.cbegin(), checked.uaccessVendors.cend());
    QVERIFY(!ruleVendors.isEmpty());

    const QString source = QString::fromUtf8(readFile(QStringLiteral(CARDTOOL_SOURCE_DIR "/src/usb.cpp")));
    QVERIFY(!source.isEmpty());
    QSet<QString> candidates = ruleVendors;
    QRegularExpressionMatchIterator it = QRegularExpression(
        QStringLiteral("(?:\"|\\b0x)([0-9a-fA-F]{4})(?:\"|\\b)")).globalMatch(source);
    while (it.hasNext())
        candidates << it.next().captured(1).toLower();
    candidates << QStringLiteral("1d50");
    QVERIFY(candidates.size() > ruleVendors.size());

    for (const QString &vendor : qAsConst(candidates)) {
        VirtualDevice device;
        device.vendorId = quint16(vendor.toUInt(nullptr, 16));
        bus.addDevice(device);
    }
    Usb usb;
    usb.enumPrinters();
    QSet<QString> listed;
    for (const usbInfo &info : usb.openedDevices())
        listed << QStringLiteral("%1").arg(info.vendorId, 4, 16, QLatin1Char('0'));

    QStringList listedSorted = listed.values();
    QStringList ruleSorted = ruleVendors.values();
    listedSorted.sort();
    ruleSorted.sort();
    QCOMPARE(listedSorted, ruleSorted);
}

QTEST_GUILESS_MAIN(tst_UdevRule)
#include "tst_udevrule.moc"
