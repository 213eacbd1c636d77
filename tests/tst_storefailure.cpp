// SPDX-License-Identifier: LGPL-3.0-or-later
// A template store that fails at any of its file calls (creating the new file, each write,
// the sync, the link or rename into place, the close) leaves the previous template byte for
// byte, says so, and leaves no half-written file behind.
#include "bmpfixtures.h"
#include "dialogdriver.h"
#include "iofaults.h"
#include "testfiles.h"
#include "widgetinspector.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kConfirm = QStringLiteral("确认");
const QString kTitle = QStringLiteral("注意");
const QString kFailedPrefix = QStringLiteral("模板未能保存：");
const QString kFailedSuffix = QStringLiteral("。原有的模板保持不变。");
const QStringList kFileNames = {QStringLiteral("kValid.bmp"), QStringLiteral("kValidR.bmp"),
                                QStringLiteral("erasing_custom.bmp"),
                                QStringLiteral("erasing_custom_r.bmp")};
// A small card keeps the number of writes per store (one per row of pixels) low.
constexpr int kLong = 40;
constexpr int kShort = 24;
// Far more calls than a store of this size makes; reaching it means the loop never ends.
constexpr int kMaxCalls = 500;

// The kind of a counted call: "write", "rename", ...
QString kindOf(const QString &call)
{
    return call.section(QLatin1Char(' '), 0, 0);
}

// A sync or close that fails after an earlier sync of the new file went through loses
// nothing: the bytes are on the disk already, so the store may go on. (The store writes one
// file only; its name changes when it is linked and renamed into place.)
bool afterSafeSync(const QStringList &calls, int failAt)
{
    const QString kind = kindOf(calls.value(failAt - 1));
    if (kind != QLatin1String("fsync") && kind != QLatin1String("fdatasync")
        && kind != QLatin1String("close"))
        return false;
    for (int i = 0; i < failAt - 1; ++i) {
        const QString k = kindOf(calls[i]);
        if (k == QLatin1String("fsync") || k == QLatin1String("fdatasync"))
            return true;
    }
    return false;
}

} // namespace

class TestStoreFailure : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failAtEveryCall_data();
    void failAtEveryCall();

private:
    std::unique_ptr<QTemporaryDir> m_appDir;
    std::unique_ptr<QTemporaryDir> m_pickDir;
};

void TestStoreFailure::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    m_pickDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    QVERIFY(m_pickDir->isValid());
}

void TestStoreFailure::cleanup()
{
    iofaults::disarm();
    WidgetInspector::setExecutableLink(QString());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestStoreFailure::failAtEveryCall_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("storedBefore");

    QTest::newRow("print front, a template stored before") << 0 << true;
    QTest::newRow("erase back, a template stored before") << 3 << true;
    QTest::newRow("print back, nothing stored before: nothing appears") << 1 << false;
}

// Breaks the disk at the first counted call of a store, then at the second, and so on, until
// a store runs through without reaching the call chosen; that one must store the new template.
void TestStoreFailure::failAtEveryCall()
{
    QFETCH(int, slot);
    QFETCH(bool, storedBefore);

    const QString dir = QDir(m_appDir->path()).canonicalPath();
    const QString target = dir + QLatin1Char('/') + kFileNames[slot];
    // Portrait before, landscape after: the preview shows which one the label holds.
    const QByteArray oldBytes = fixtures::storedForm(fixtures::picture(kShort, kLong, 9));
    const QByteArray newBytes = fixtures::storedForm(fixtures::picture(kLong, kShort, 6));
    QVERIFY(oldBytes != newBytes);
    if (storedBefore)
        QVERIFY(writeFile(target, oldBytes));
    const QString candidate = m_pickDir->filePath(QStringLiteral("new.bmp"));
    QVERIFY(writeFile(candidate, fixtures::writeBmp(fixtures::picture(kLong, kShort, 6), 40)));

    QVERIFY(writeFile(dir + QStringLiteral("/configTool.ini"),
                      QStringLiteral("[CONFIG_PRINTER]\nMAXL=%1\nMINL=%2\nSCALE_X=1\nSCALE_Y=1\n"
                                     "BlackFront=1\nBlackBack=1\nEraseFront=1\nEraseBack=1\n")
                          .arg(kLong)
                          .arg(kShort)
                          .toUtf8()));
    QVERIFY(WidgetInspector::setAppDir(dir));
    Widget window;
    WidgetInspector::setExecutableLink(QString());
    QLabel *label = WidgetInspector::slotLabel(window, slot);
    const QStringList filesBefore = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);

    QSet<QString> failedKinds;
    QStringList cleanStore;
    int failAt = 1;
    for (; failAt <= kMaxCalls; ++failAt) {
        const QString row = QStringLiteral("failing call %1").arg(failAt);
        DialogDriver driver;
        driver.then(DialogDriver::chooseFile(candidate));
        driver.then([&](QWidget *box) {
            // Armed for the store alone: the file dialog and the question are behind us.
            iofaults::arm(dir, failAt);
            DialogDriver::clickButton(kConfirm)(box);
        });
        driver.then([](QWidget *box) {
            iofaults::disarm();
            DialogDriver::accept()(box);
        });
        WidgetInspector::slotButton(window, slot)->click();
        iofaults::disarm();

        const QString failed = iofaults::failedCall();
        const QStringList calls = iofaults::calls();
        const QVector<SeenDialog> &seen = driver.seen();
        const QString what = failed.isEmpty()
            ? QStringLiteral("no call failed")
            : QStringLiteral("call %1 failed: %2").arg(failAt).arg(failed);
        QVERIFY2(seen.size() == 2 || seen.size() == 3, qPrintable(what));
        const bool stored = seen.size() == 2;

        // Whatever happened, nothing but the slot's file may have changed in the directory.
        QStringList expectedFiles = filesBefore;
        if (stored && !expectedFiles.contains(kFileNames[slot])) {
            expectedFiles << kFileNames[slot];
            expectedFiles.sort();
        }
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System), expectedFiles);

        if (stored) {
            QVERIFY2(failed.isEmpty() || afterSafeSync(calls, failAt),
                     qPrintable(what + QStringLiteral(": the store went through as if nothing failed")));
            QVERIFY2(readFile(target) == newBytes, qPrintable(what + QStringLiteral(": stored bytes")));
            QVERIFY(!label->pixmap(Qt::ReturnByValue).isNull());
            QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QSize(kLong, kShort));
            if (failed.isEmpty()) {
                cleanStore = calls;
                break;
            }
            // Put the old template back for the next call to fail.
            if (storedBefore)
                QVERIFY(writeFile(target, oldBytes));
            else
                QVERIFY(QFile::remove(target));
            continue;
        }

        QVERIFY2(!failed.isEmpty(), qPrintable(QStringLiteral("a message after a clean store: ")
                                                + seen[2].text));
        failedKinds << kindOf(failed);
        QCOMPARE(seen[2].className, QStringLiteral("QMessageBox"));
        QCOMPARE(seen[2].title, kTitle);
        QCOMPARE(seen[2].icon, int(QMessageBox::Critical));
        QVERIFY2(seen[2].text.startsWith(kFailedPrefix) && seen[2].text.endsWith(kFailedSuffix),
                 qPrintable(what + QStringLiteral(": ") + seen[2].text));
        QVERIFY2(driver.pending() == 0, qPrintable(what));
        if (storedBefore) {
            QVERIFY2(readFile(target) == oldBytes, qPrintable(what + QStringLiteral(": template changed")));
            // The label shows the stored template again, not the candidate.
            QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QSize(kShort, kLong));
        } else {
            QVERIFY2(!QFile::exists(target), qPrintable(what + QStringLiteral(": a template appeared")));
            QVERIFY(label->pixmap(Qt::ReturnByValue).isNull());
            QCOMPARE(label->frameShape(), QFrame::Box);
        }
        QVERIFY(!WidgetInspector::bitmap(window));
    }
    QVERIFY2(failAt <= kMaxCalls, "the store never ran through");

    qInfo("a clean store makes %d counted calls: %s", int(cleanStore.size()),
          qPrintable(cleanStore.join(QStringLiteral(", "))));
    // The sweep really failed the creation, the writes, the sync and the move into place
    // (and so the wrappers are seen at all).
    for (const char *kind : {"open", "write", "fsync"})
        QVERIFY2(failedKinds.contains(QLatin1String(kind)), kind);
    QVERIFY(failedKinds.contains(QStringLiteral("rename")) || failedKinds.contains(QStringLiteral("link")));
    QCOMPARE(failAt, cleanStore.size() + 1);
}

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    TestStoreFailure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storefailure.moc"
