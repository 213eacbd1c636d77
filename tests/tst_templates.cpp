// SPDX-License-Identifier: LGPL-3.0-or-later
// The four template slots end to end: file dialog, check, preview, confirmation, store,
// failed stores, and the previews the window shows when it opens.
#include "bmpfixtures.h"
#include "dialogdriver.h"
#include "testfiles.h"
#include "widgetinspector.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <memory>

using fixtures::Picture;

namespace {

const QString kFormatText = QStringLiteral("图片不是单色图或者不是bmp格式,请重新选择确认");
const QString kSizeText = QStringLiteral("图片尺寸不符合\"1016x656\"或者\"656x1016\"");
const QString kConfirm = QStringLiteral("确认");
const QString kDecline = QStringLiteral("取消");
const QString kEscape = QStringLiteral("Escape");
const QString kClose = QStringLiteral("closed");
const QString kNothingBefore = QStringLiteral("nothing stored before");
const QString kTemplateBefore = QStringLiteral("template stored before");
const QString kOtherSizeBefore = QStringLiteral("template of another size stored before");
const QStringList kFileNames = {QStringLiteral("kValid.bmp"), QStringLiteral("kValidR.bmp"),
                                QStringLiteral("erasing_custom.bmp"),
                                QStringLiteral("erasing_custom_r.bmp")};
// With MAXL 1016, MINL 656 and both divisors 4.
const QSize kLandscapePreview(254, 164);
const QSize kPortraitPreview(164, 254);

QByteArray configIni(const QString &maxL, const QString &minL, const QString &scaleX,
                     const QString &scaleY, const QString &flags = QStringLiteral("1,1,1,1"))
{
    const QStringList f = flags.split(QLatin1Char(','));
    return QStringLiteral("[CONFIG_PRINTER]\nMAXL=%1\nMINL=%2\nSCALE_X=%3\nSCALE_Y=%4\nTITLE=t\n"
                          "BlackFront=%5\nBlackBack=%6\nEraseFront=%7\nEraseBack=%8\n")
        .arg(maxL, minL, scaleX, scaleY, f[0], f[1], f[2], f[3])
        .toUtf8();
}

bool hasPicture(QLabel *label)
{
    return !label->pixmap(Qt::ReturnByValue).isNull();
}

// What a preview of `file` with these divisors looks like.
QImage previewOf(const QString &file, float scaleX, float scaleY)
{
    QPixmap picture(file);
    return picture
        .scaled(int(picture.width() / scaleX), int(picture.height() / scaleY), Qt::KeepAspectRatio,
                Qt::SmoothTransformation)
        .toImage();
}

// A label's visible state, to tell whether something touched it.
struct LabelState
{
    bool picture = false;
    qint64 pictureKey = 0;
    int frame = 0;
};

LabelState stateOf(QLabel *label)
{
    return {hasPicture(label), hasPicture(label) ? label->pixmap(Qt::ReturnByValue).cacheKey() : 0,
            int(label->frameShape())};
}

// A 24-bit BMP of the card size whose info header is the 124-byte form.
QByteArray deepV5Bmp()
{
    QByteArray bmp = fixtures::writeDeepBmp(1016, 656, 24);
    QByteArray extra(124 - 40, '\0');
    extra.replace(16, 4, "BGRs"); // colour space sRGB, after the four channel masks
    bmp.insert(14 + 40, extra);
    auto patch = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = char((v >> (8 * i)) & 0xff);
    };
    patch(2, uint32_t(bmp.size()));
    patch(10, 14 + 124);
    patch(14, 124);
    return bmp;
}

QByteArray pngBytes()
{
    QImage image(1016, 656, QImage::Format_Mono);
    image.fill(0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The template stored before a row runs: portrait, so that its preview differs from a
// landscape candidate's, in FreeImage's encoding as the tool would have stored it.
const Picture kOldPicture = fixtures::picture(656, 1016, 9);

} // namespace

class TestTemplates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void candidate_data();
    void candidate();
    void cancelledDialog();
    void nextDialogStart();
    void confirmStoredFileItself();
    void storeFailure_data();
    void storeFailure();
    void startupPreviews_data();
    void startupPreviews();
    void startupWithoutPreviews_data();
    void startupWithoutPreviews();
    void previewScale_data();
    void previewScale();
    void scaleXZeroStillStores();
    void percentSignsInDirectoryName();

private:
    // A window whose application directory is `appDir` with the given configuration.
    std::unique_ptr<Widget> openWindow(const QByteArray &ini);
    std::unique_ptr<Widget> openWindowIn(const QString &dir, const QByteArray &ini);

    std::unique_ptr<QTemporaryDir> m_appDir;
    std::unique_ptr<QTemporaryDir> m_pickDir;
};

void TestTemplates::initTestCase()
{
    // The store that runs into the file size limit must fail its write, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestTemplates::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    m_pickDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    QVERIFY(m_pickDir->isValid());
}

void TestTemplates::cleanup()
{
    WidgetInspector::setExecutableLink(QString());
    QVERIFY(!QApplication::activeModalWidget());
}

std::unique_ptr<Widget> TestTemplates::openWindow(const QByteArray &ini)
{
    return openWindowIn(m_appDir->path(), ini);
}

std::unique_ptr<Widget> TestTemplates::openWindowIn(const QString &dir, const QByteArray &ini)
{
    if (!writeFile(dir + QStringLiteral("/configTool.ini"), ini) || !WidgetInspector::setAppDir(dir))
        return {};
    auto window = std::make_unique<Widget>();
    WidgetInspector::setExecutableLink(QString());
    return window;
}

void TestTemplates::candidate_data()
{
    QTest::addColumn<QByteArray>("candidate");
    QTest::addColumn<QString>("outcome"); // "accepted", "format" or "size"
    QTest::addColumn<QByteArray>("stored"); // what "确认" must store
    QTest::addColumn<QSize>("previewSize");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("before"); // what the slot's file holds before

    const Picture landscape = fixtures::picture(1016, 656, 1);
    const Picture portrait = fixtures::picture(656, 1016, 2);
    Picture coloured = fixtures::picture(1016, 656, 3);
    const uint8_t red[4] = {0, 0, 255, 0};
    const uint8_t blue[4] = {255, 0, 0, 0};
    std::copy(red, red + 4, coloured.colour0);
    std::copy(blue, blue + 4, coloured.colour1);

    struct Accepted
    {
        const char *name;
        QByteArray bytes;
        Picture picture;
    };
    const QVector<Accepted> accepted = {
        {"1016x656", fixtures::writeBmp(landscape, 40), landscape},
        {"656x1016", fixtures::writeBmp(portrait, 40), portrait},
        {"12-byte header", fixtures::writeBmp(landscape, 12), landscape},
        {"40-byte header, top-down", fixtures::writeBmp(landscape, 40, true), landscape},
        {"64-byte OS/2 header", fixtures::writeBmp(landscape, 64), landscape},
        {"64-byte OS/2 header, top-down", fixtures::writeBmp(portrait, 64, true), portrait},
        {"108-byte V4 header", fixtures::writeBmp(landscape, 108), landscape},
        {"108-byte V4 header, top-down", fixtures::writeBmp(landscape, 108, true), landscape},
        {"124-byte V5 header", fixtures::writeBmp(portrait, 124), portrait},
        {"124-byte V5 header, top-down", fixtures::writeBmp(landscape, 124, true), landscape},
        {"red and blue instead of black and white", fixtures::writeBmp(coloured, 40), coloured},
    };
    int row = 0;
    for (const Accepted &a : accepted) {
        const QSize preview = a.picture.width > a.picture.height ? kLandscapePreview : kPortraitPreview;
        const QByteArray stored = fixtures::storedForm(a.picture);
        QTest::addRow("%s, 确认", a.name)
            << a.bytes << "accepted" << stored << preview << kConfirm << row % 4
            << (row % 2 == 0 ? kTemplateBefore : kNothingBefore);
        ++row;
    }
    const QVector<int> declined = {0, 1, 8}; // landscape, portrait, V5
    for (int i : declined) {
        const Accepted &a = accepted[i];
        const QSize preview = a.picture.width > a.picture.height ? kLandscapePreview : kPortraitPreview;
        for (const QString &answer : {kDecline, kEscape, kClose}) {
            for (const QString &before : {kNothingBefore, kTemplateBefore, kOtherSizeBefore}) {
                QTest::addRow("%s, %s, %s", a.name, qPrintable(answer), qPrintable(before))
                    << a.bytes << "accepted" << QByteArray() << preview << answer << row % 4 << before;
                ++row;
            }
        }
    }

    const QByteArray whole = fixtures::writeBmp(landscape, 40);
    struct Rejected
    {
        const char *name;
        QByteArray bytes;
        const char *outcome;
    };
    const QVector<Rejected> rejected = {
        {"1016x655", fixtures::writeBmp(fixtures::picture(1016, 655), 40), "size"},
        {"655x1016", fixtures::writeBmp(fixtures::picture(655, 1016), 124), "size"},
        {"8-bit of the card size", fixtures::writeDeepBmp(1016, 656, 8), "format"},
        {"24-bit of the card size", fixtures::writeDeepBmp(1016, 656, 24), "format"},
        {"24-bit with a V5 header", deepV5Bmp(), "format"},
        {"PNG named .bmp", pngBytes(), "format"},
        {"empty file", QByteArray(), "format"},
        {"truncated BMP", whole.left(whole.size() / 2), "format"},
    };
    for (const Rejected &r : rejected) {
        for (const QString &before : {kNothingBefore, kTemplateBefore}) {
            QTest::addRow("%s, %s", r.name, qPrintable(before))
                << r.bytes << r.outcome << QByteArray() << QSize() << QString() << row % 4 << before;
            ++row;
        }
    }
}

void TestTemplates::candidate()
{
    QFETCH(QByteArray, candidate);
    QFETCH(QString, outcome);
    QFETCH(QByteArray, stored);
    QFETCH(QSize, previewSize);
    QFETCH(QString, answer);
    QFETCH(int, slot);
    QFETCH(QString, before);

    const QString target = m_appDir->filePath(kFileNames[slot]);
    // Only a stored template of the card size has a preview.
    const bool storedBefore = before == kTemplateBefore;
    const bool fileBefore = before != kNothingBefore;
    QByteArray oldBytes;
    if (storedBefore)
        oldBytes = fixtures::storedForm(kOldPicture);
    else if (fileBefore)
        oldBytes = fixtures::storedForm(fixtures::picture(800, 600));
    if (fileBefore)
        QVERIFY(writeFile(target, oldBytes));
    const QString candidatePath = m_pickDir->filePath(QStringLiteral("candidate.bmp"));
    QVERIFY(writeFile(candidatePath, candidate));

    auto window = openWindow(configIni("1016", "656", "4", "4"));
    QVERIFY(window);
    QLabel *label = WidgetInspector::slotLabel(*window, slot);
    const LabelState initial = stateOf(label);
    QCOMPARE(initial.picture, storedBefore);

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(candidatePath));
    if (outcome != QLatin1String("accepted"))
        driver.then(DialogDriver::accept());
    else if (answer == kEscape)
        driver.then(DialogDriver::pressEscape());
    else if (answer == kClose)
        driver.then([](QWidget *box) { box->close(); }); // the title bar's close button
    else
        driver.then(DialogDriver::clickButton(answer));
    WidgetInspector::slotButton(*window, slot)->click();

    QCOMPARE(driver.pending(), 0);
    const QVector<SeenDialog> &seen = driver.seen();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0].className, QStringLiteral("QFileDialog"));
    QCOMPARE(seen[0].title, QStringLiteral("选择图片"));
    QVERIFY(seen[0].hasParent);
    QCOMPARE(seen[0].directory, QDir::currentPath()); // the first dialog starts at "."

    const bool confirmed = outcome == QLatin1String("accepted") && answer == kConfirm;
    if (outcome == QLatin1String("accepted")) {
        QCOMPARE(seen[1].className, QStringLiteral("QMessageBox"));
        QCOMPARE(seen[1].title, QStringLiteral("提示"));
        QCOMPARE(seen[1].text, QStringLiteral("是否选择此图片？"));
        QCOMPARE(seen[1].icon, int(QMessageBox::NoIcon));
        QVERIFY(!seen[1].hasParent);
        QStringList buttons = seen[1].buttons;
        buttons.sort();
        QCOMPARE(buttons, (QStringList{kDecline, kConfirm}));
    } else {
        QCOMPARE(seen[1].title, QStringLiteral("注意"));
        QCOMPARE(seen[1].text, outcome == QLatin1String("size") ? kSizeText : kFormatText);
        QCOMPARE(seen[1].icon, int(QMessageBox::Critical));
        QCOMPARE(seen[1].buttons.size(), 1);
        QVERIFY(seen[1].hasParent);
    }

    // The stored file: FreeImage's encoding after "确认", untouched otherwise.
    if (confirmed)
        QCOMPARE(readFile(target), stored);
    else if (fileBefore)
        QCOMPARE(readFile(target), oldBytes);
    else
        QVERIFY(!QFile::exists(target));
    QStringList expectedFiles = {QStringLiteral("configTool.ini")};
    if (confirmed || fileBefore)
        expectedFiles << kFileNames[slot];
    expectedFiles.sort();
    QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files), expectedFiles);

    // The label: the candidate, the stored template again, or as it was.
    if (confirmed) {
        QVERIFY(hasPicture(label));
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), previewSize);
        QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), previewOf(candidatePath, 4, 4));
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    } else if (outcome == QLatin1String("accepted")) {
        if (storedBefore) {
            QVERIFY(hasPicture(label));
            QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), kPortraitPreview);
            QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), previewOf(target, 4, 4));
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
        } else {
            QVERIFY(!hasPicture(label));
            QCOMPARE(label->frameShape(), QFrame::Box);
        }
    } else {
        const LabelState after = stateOf(label);
        QCOMPARE(after.picture, initial.picture);
        QCOMPARE(after.pictureKey, initial.pictureKey);
        QCOMPARE(after.frame, initial.frame);
    }

    // Where the next dialog opens.
    QCOMPARE(WidgetInspector::imagePath(*window), confirmed ? QString() : candidatePath);
    QVERIFY(!WidgetInspector::bitmap(*window));
}

void TestTemplates::cancelledDialog()
{
    const QString target = m_appDir->filePath(kFileNames[2]);
    const QByteArray oldBytes = fixtures::storedForm(kOldPicture);
    QVERIFY(writeFile(target, oldBytes));
    auto window = openWindow(configIni("1016", "656", "4", "4"));
    QVERIFY(window);
    QLabel *label = WidgetInspector::slotLabel(*window, 2);
    const LabelState before = stateOf(label);
    QVERIFY(before.picture);

    DialogDriver driver;
    driver.then(DialogDriver::cancel());
    WidgetInspector::slotButton(*window, 2)->click();

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(readFile(target), oldBytes);
    const LabelState after = stateOf(label);
    QCOMPARE(after.pictureKey, before.pictureKey);
    QCOMPARE(after.frame, before.frame);
    QVERIFY(WidgetInspector::imagePath(*window).isNull());
    QVERIFY(!WidgetInspector::bitmap(*window));
}

// Each dialog starts where the one before left imagePath.
void TestTemplates::nextDialogStart()
{
    const QString rejected = m_pickDir->filePath(QStringLiteral("small.bmp"));
    const QString good = m_pickDir->filePath(QStringLiteral("good.bmp"));
    QVERIFY(writeFile(rejected, fixtures::writeBmp(fixtures::picture(100, 50), 40)));
    QVERIFY(writeFile(good, fixtures::writeBmp(fixtures::picture(1016, 656), 108)));
    auto window = openWindow(configIni("1016", "656", "4", "4"));
    QVERIFY(window);
    QPushButton *button = WidgetInspector::slotButton(*window, 1);

    DialogDriver driver;
    driver.then(DialogDriver::cancel());                  // 1: starts at "."
    driver.then(DialogDriver::chooseFile(rejected));      // 2: no start location
    driver.then(DialogDriver::accept());                  //    size message
    driver.then(DialogDriver::chooseFile(good));          // 3: at the rejected file
    driver.then(DialogDriver::clickButton(kDecline));
    driver.then(DialogDriver::chooseFile(good));          // 4: at the declined file
    driver.then(DialogDriver::clickButton(kConfirm));
    driver.then(DialogDriver::cancel());                  // 5: no start location
    for (int i = 0; i < 5; ++i)
        button->click();

    QCOMPARE(driver.pending(), 0);
    const QVector<SeenDialog> &seen = driver.seen();
    QCOMPARE(seen.size(), 8);
    const QString cwd = QDir::currentPath();
    QCOMPARE(seen[0].directory, cwd);
    QVERIFY(seen[1].selected.isEmpty());
    QCOMPARE(seen[3].directory, m_pickDir->path());
    QCOMPARE(seen[3].selected, QStringList{rejected});
    QCOMPARE(seen[5].directory, m_pickDir->path());
    QCOMPARE(seen[5].selected, QStringList{good});
    // No start location: Qt opens its last folder, with no file selected.
    QVERIFY(seen[7].selected.isEmpty());
    QVERIFY(QFile::exists(m_appDir->filePath(kFileNames[1])));
}

// The stored template chosen as the candidate and confirmed is rewritten in FreeImage's encoding.
void TestTemplates::confirmStoredFileItself()
{
    const Picture p = fixtures::picture(1016, 656, 4);
    const QString target = m_appDir->filePath(kFileNames[3]);
    const QByteArray handWritten = fixtures::writeBmp(p, 124);
    QVERIFY(handWritten != fixtures::storedForm(p));
    QVERIFY(writeFile(target, handWritten));
    auto window = openWindow(configIni("1016", "656", "4", "4"));
    QVERIFY(window);

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(target));
    driver.then(DialogDriver::clickButton(kConfirm));
    WidgetInspector::slotButton(*window, 3)->click();

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(readFile(target), fixtures::storedForm(p));
    QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files),
             (QStringList{QStringLiteral("configTool.ini"), kFileNames[3]}));
}

void TestTemplates::storeFailure_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("text");

    QTest::newRow("the write runs into the file size limit")
        << "limit" << QStringLiteral("模板未能保存：写入出错，磁盘可能已满。原有的模板保持不变。");
    QTest::newRow("a directory stands where the template goes")
        << "directory"
        << QStringLiteral("模板未能保存：模板文件的位置被一个同名文件夹占用。原有的模板保持不变。");
    QTest::newRow("the application directory is gone")
        << "gone" << QStringLiteral("模板未能保存：程序所在的目录无法写入。原有的模板保持不变。");
}

// A store that fails leaves what was there, says so, and shows the stored template again.
void TestTemplates::storeFailure()
{
    QFETCH(QString, failure);
    QFETCH(QString, text);

    const int slot = 0;
    const QString target = m_appDir->filePath(kFileNames[slot]);
    const QByteArray oldBytes = fixtures::storedForm(kOldPicture);
    if (failure == QLatin1String("directory"))
        QVERIFY(QDir(m_appDir->path()).mkdir(kFileNames[slot]));
    else
        QVERIFY(writeFile(target, oldBytes));
    const QString candidatePath = m_pickDir->filePath(QStringLiteral("new.bmp"));
    QVERIFY(writeFile(candidatePath, fixtures::writeBmp(fixtures::picture(1016, 656, 6), 40)));

    auto window = openWindow(configIni("1016", "656", "4", "4"));
    QVERIFY(window);
    QLabel *label = WidgetInspector::slotLabel(*window, slot);
    if (failure == QLatin1String("gone"))
        QVERIFY(QDir(m_appDir->path()).removeRecursively());

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(candidatePath));
    driver.then(DialogDriver::clickButton(kConfirm));
    driver.then(DialogDriver::accept());
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (failure == QLatin1String("limit")) {
        // Far less than the template needs: the write fails part way, as on a full disk.
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    WidgetInspector::slotButton(*window, slot)->click();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);

    QCOMPARE(driver.pending(), 0);
    const QVector<SeenDialog> &seen = driver.seen();
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[2].className, QStringLiteral("QMessageBox"));
    QCOMPARE(seen[2].title, QStringLiteral("注意"));
    QCOMPARE(seen[2].text, text);
    QCOMPARE(seen[2].icon, int(QMessageBox::Critical));
    QVERIFY(seen[2].hasParent);

    if (failure == QLatin1String("limit")) {
        QCOMPARE(readFile(target), oldBytes);
        // No half-written file left beside it.
        QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("configTool.ini"), kFileNames[slot]}));
        QVERIFY(hasPicture(label));
        QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), previewOf(target, 4, 4));
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    } else {
        if (failure == QLatin1String("directory")) {
            QVERIFY(QFileInfo(target).isDir());
            QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files),
                     QStringList{QStringLiteral("configTool.ini")});
        } else {
            QVERIFY(!QFileInfo::exists(m_appDir->path()));
        }
        QVERIFY(!hasPicture(label));
        QCOMPARE(label->frameShape(), QFrame::Box);
    }
    // Nothing was stored: the next dialog opens at the candidate, as after a decline.
    QCOMPARE(WidgetInspector::imagePath(*window), candidatePath);
    QVERIFY(!WidgetInspector::bitmap(*window));
}

void TestTemplates::startupPreviews_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("orientations"); // L or P for each slot

    QTest::newRow("all four slots offered") << "1,1,1,1" << "LPLP";
    QTest::newRow("portrait kValid.bmp") << "1,1,1,1" << "PLPL";
    QTest::newRow("back print and front erase slots hidden") << "1,0,0,1" << "LLPP";
    QTest::newRow("front print and back erase slots hidden") << "0,1,1,0" << "PPLL";
    QTest::newRow("both template pages removed") << "0,0,0,0" << "LPPL";
}

// Every stored template of the card size is previewed when the window opens, hidden slots too.
void TestTemplates::startupPreviews()
{
    QFETCH(QString, flags);
    QFETCH(QString, orientations);

    for (int slot = 0; slot < 4; ++slot) {
        const bool portrait = orientations[slot] == QLatin1Char('P');
        const Picture p = portrait ? fixtures::picture(656, 1016, 10 + slot)
                                   : fixtures::picture(1016, 656, 10 + slot);
        QVERIFY(writeFile(m_appDir->filePath(kFileNames[slot]), fixtures::storedForm(p)));
    }
    auto window = openWindow(configIni("1016", "656", "4", "4", flags));
    QVERIFY(window);

    for (int slot = 0; slot < 4; ++slot) {
        QLabel *label = WidgetInspector::slotLabel(*window, slot);
        QVERIFY2(hasPicture(label), qPrintable(kFileNames[slot]));
        const bool portrait = orientations[slot] == QLatin1Char('P');
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), portrait ? kPortraitPreview : kLandscapePreview);
        QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage(), previewOf(m_appDir->filePath(kFileNames[slot]), 4, 4));
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    }
    // The slots the configuration turns off were really hidden; their previews loaded anyway.
    if (flags == QLatin1String("1,0,0,1")) {
        QVERIFY(WidgetInspector::slotLabel(*window, 1)->isHidden());
        QVERIFY(WidgetInspector::slotLabel(*window, 2)->isHidden());
    } else if (flags == QLatin1String("0,1,1,0")) {
        QVERIFY(WidgetInspector::slotLabel(*window, 0)->isHidden());
        QVERIFY(WidgetInspector::slotLabel(*window, 3)->isHidden());
    } else if (flags == QLatin1String("0,0,0,0")) {
        QTabWidget *tabs = WidgetInspector::ui(*window)->tabWidget;
        QCOMPARE(tabs->indexOf(WidgetInspector::ui(*window)->tab1), -1);
        QCOMPARE(tabs->indexOf(WidgetInspector::ui(*window)->tab2), -1);
    }
}

void TestTemplates::startupWithoutPreviews_data()
{
    QTest::addColumn<QString>("stored"); // what the application directory holds
    QTest::addColumn<QString>("maxL");
    QTest::addColumn<QString>("minL");

    QTest::newRow("nothing stored") << "none" << "1016" << "656";
    QTest::newRow("templates of the old size after MAXL and MINL change") << "old size" << "1200" << "800";
    QTest::newRow("files that are no pictures") << "garbage" << "1016" << "656";
    QTest::newRow("directories in place of the files") << "directories" << "1016" << "656";
    QTest::newRow("named pipes in place of the files") << "pipes" << "1016" << "656";
    QTest::newRow("links to an endless device in place of the files") << "endless" << "1016" << "656";
}

// Without a stored template of the card size the labels stay as the form built them, silently.
void TestTemplates::startupWithoutPreviews()
{
    QFETCH(QString, stored);
    QFETCH(QString, maxL);
    QFETCH(QString, minL);

    for (int slot = 0; slot < 4; ++slot) {
        const QString path = m_appDir->filePath(kFileNames[slot]);
        if (stored == QLatin1String("old size"))
            QVERIFY(writeFile(path, fixtures::storedForm(fixtures::picture(1016, 656, slot))));
        else if (stored == QLatin1String("garbage"))
            QVERIFY(writeFile(path, "not a picture"));
        else if (stored == QLatin1String("directories"))
            QVERIFY(QDir(m_appDir->path()).mkdir(kFileNames[slot]));
        else if (stored == QLatin1String("pipes"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (stored == QLatin1String("endless"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    }
    DialogDriver driver;
    driver.then(DialogDriver::cancel()); // would answer a message box, none may come
    auto window = openWindow(configIni(maxL, minL, "4", "4"));
    QVERIFY(window);
    QTest::qWait(20);
    QVERIFY(driver.seen().isEmpty());

    const QVector<QFrame::Shape> asBuilt = {QFrame::Box, QFrame::Box, QFrame::Panel, QFrame::Panel};
    for (int slot = 0; slot < 4; ++slot) {
        QLabel *label = WidgetInspector::slotLabel(*window, slot);
        QVERIFY2(!hasPicture(label), qPrintable(kFileNames[slot]));
        QCOMPARE(label->frameShape(), asBuilt[slot]);
    }
}

void TestTemplates::previewScale_data()
{
    QTest::addColumn<QString>("scaleX");
    QTest::addColumn<QString>("scaleY");
    QTest::addColumn<QSize>("previewSize"); // empty: an empty picture without a frame

    QTest::newRow("4 and 4") << "4" << "4" << QSize(254, 164);
    QTest::newRow("1.5 and 3: fits the smaller side, keeps proportions") << "1.5" << "3" << QSize(337, 218);
    QTest::newRow("1 and 1: full size") << "1" << "1" << QSize(1016, 656);
    QTest::newRow("SCALE_X 0") << "0" << "4" << QSize();
    QTest::newRow("SCALE_Y 0") << "4" << "0" << QSize();
    QTest::newRow("negative divisor") << "-2" << "4" << QSize();
    QTest::newRow("divisor larger than the picture") << "4" << "700" << QSize();
    QTest::newRow("divisors so small the preview would be huge") << "0.0001" << "0.0001" << QSize();
}

void TestTemplates::previewScale()
{
    QFETCH(QString, scaleX);
    QFETCH(QString, scaleY);
    QFETCH(QSize, previewSize);

    QVERIFY(writeFile(m_appDir->filePath(kFileNames[0]),
                      fixtures::storedForm(fixtures::picture(1016, 656, 1))));
    auto window = openWindow(configIni("1016", "656", scaleX, scaleY));
    QVERIFY(window);
    QLabel *label = WidgetInspector::slotLabel(*window, 0);

    QCOMPARE(label->frameShape(), QFrame::NoFrame);
    if (previewSize.isEmpty()) {
        QVERIFY(!hasPicture(label));
    } else {
        QVERIFY(hasPicture(label));
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), previewSize);
    }
}

// With SCALE_X 0 no preview shows, but checking and storing still work.
void TestTemplates::scaleXZeroStillStores()
{
    const Picture p = fixtures::picture(656, 1016, 7);
    const QString candidatePath = m_pickDir->filePath(QStringLiteral("portrait.bmp"));
    QVERIFY(writeFile(candidatePath, fixtures::writeBmp(p, 124, true)));
    auto window = openWindow(configIni("1016", "656", "0", "4"));
    QVERIFY(window);
    QLabel *label = WidgetInspector::slotLabel(*window, 2);
    QCOMPARE(label->frameShape(), QFrame::Panel);

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(candidatePath));
    driver.then(DialogDriver::clickButton(kConfirm));
    WidgetInspector::slotButton(*window, 2)->click();

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen().size(), 2);
    QCOMPARE(readFile(m_appDir->filePath(kFileNames[2])), fixtures::storedForm(p));
    QVERIFY(!hasPicture(label));
    QCOMPARE(label->frameShape(), QFrame::NoFrame);
}

// Placeholders in the application directory's name stay as they are in the slots' paths.
void TestTemplates::percentSignsInDirectoryName()
{
    const QString dir = m_appDir->filePath(QStringLiteral("cards %1 %2"));
    QVERIFY(QDir().mkpath(dir));
    const Picture old = fixtures::picture(1016, 656, 2);
    QVERIFY(writeFile(dir + QLatin1Char('/') + kFileNames[1], fixtures::storedForm(old)));
    const Picture p = fixtures::picture(1016, 656, 3);
    const QString candidatePath = m_pickDir->filePath(QStringLiteral("new.bmp"));
    QVERIFY(writeFile(candidatePath, fixtures::writeBmp(p, 40)));

    auto window = openWindowIn(dir, configIni("1016", "656", "4", "4"));
    QVERIFY(window);
    QCOMPARE(WidgetInspector::appDir(*window), dir);
    QVERIFY(hasPicture(WidgetInspector::slotLabel(*window, 1)));

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(candidatePath));
    driver.then(DialogDriver::clickButton(kConfirm));
    WidgetInspector::slotButton(*window, 0)->click();

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(readFile(dir + QLatin1Char('/') + kFileNames[0]), fixtures::storedForm(p));
    QCOMPARE(QDir(dir).entryList(QDir::Files),
             (QStringList{QStringLiteral("configTool.ini"), kFileNames[0], kFileNames[1]}));
}

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    TestTemplates test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_templates.moc"
