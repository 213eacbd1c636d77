// SPDX-License-Identifier: LGPL-3.0-or-later
// The window as its constructor leaves it, from a configTool.ini in a temporary application
// directory: pages, sides, sizes, title, notes and position.
#include "widgetinspector.h"

#include <QDesktopWidget>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

// Which sides of one template kind the page offers, as the window should lay it out.
enum class Sides { Absent, FrontOnly, BackOnly, Both };
Q_DECLARE_METATYPE(Sides)

namespace {

const QString kPrintTitle = QStringLiteral("黑色有效区域");
const QString kEraseTitle = QStringLiteral("擦写区域");
const QString kFirmwareTitle = QStringLiteral("固件升级");
const QString kAboutTitle = QStringLiteral("关于");
const QSize kFullTabs(445, 769);
const QSize kReducedTabs(445, 434);

QByteArray iniWith(const QByteArray &values)
{
    return "[CONFIG_PRINTER]\n" + values;
}

QByteArray flagsIni(int blackFront, int blackBack, int eraseFront, int eraseBack)
{
    return iniWith(QStringLiteral("MAXL=1016\nMINL=656\nSCALE_X=3.2\nSCALE_Y=3.2\nTITLE=t\n"
                                  "BlackFront=%1\nBlackBack=%2\nEraseFront=%3\nEraseBack=%4\n")
                       .arg(blackFront).arg(blackBack).arg(eraseFront).arg(eraseBack)
                       .toUtf8());
}

QStringList tabTitles(QTabWidget *tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

// One template kind's widgets on its page.
struct KindWidgets
{
    QWidget *page;
    QPushButton *frontButton;
    QPushButton *backButton;
    QLabel *frontPreview;
    QLabel *backPreview;
    QLabel *note;
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arrangement_data();
    void arrangement();
    void titleAndNotes_data();
    void titleAndNotes();
    void missingConfiguration();
    void valuesThatAreNotNumbers();
    void fixedSizeAndCentred();
    void aboutIsReadOnly();
    void ownsUsbLink();
    void getIniValueReadsTheFileEachTime();
    void slotTable();

private:
    bool writeIni(const QByteArray &bytes);
    void checkKind(const KindWidgets &kind, Sides sides);

    std::unique_ptr<QTemporaryDir> dir;
};

void TestStartup::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(WidgetInspector::setAppDir(dir->path()));
}

void TestStartup::cleanup()
{
    WidgetInspector::setExecutableLink(QString());
    dir.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

bool TestStartup::writeIni(const QByteArray &bytes)
{
    QFile file(dir->filePath(QStringLiteral("configTool.ini")));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Where the widgets of one kind stand for the given sides; absent pages are left untouched.
void TestStartup::checkKind(const KindWidgets &k, Sides sides)
{
    switch (sides) {
    case Sides::Absent:
        return;
    case Sides::Both:
        QVERIFY(!k.frontButton->isHidden());
        QVERIFY(!k.frontPreview->isHidden());
        QVERIFY(!k.backButton->isHidden());
        QVERIFY(!k.backPreview->isHidden());
        QCOMPARE(k.frontButton->pos(), QPoint(0, 10));
        QCOMPARE(k.frontPreview->pos(), QPoint(110, 10));
        QCOMPARE(k.backButton->pos(), QPoint(0, 340));
        QCOMPARE(k.backPreview->pos(), QPoint(110, 340));
        QCOMPARE(k.note->pos(), QPoint(0, 670));
        break;
    case Sides::FrontOnly:
        QVERIFY(!k.frontButton->isHidden());
        QVERIFY(!k.frontPreview->isHidden());
        QVERIFY(k.backButton->isHidden());
        QVERIFY(k.backPreview->isHidden());
        QCOMPARE(k.frontButton->pos(), QPoint(0, 10));
        QCOMPARE(k.frontPreview->pos(), QPoint(110, 10));
        QCOMPARE(k.note->pos(), QPoint(0, 340));
        break;
    case Sides::BackOnly:
        QVERIFY(k.frontButton->isHidden());
        QVERIFY(k.frontPreview->isHidden());
        QVERIFY(!k.backButton->isHidden());
        QVERIFY(!k.backPreview->isHidden());
        QCOMPARE(k.backButton->pos(), QPoint(0, 10));
        QCOMPARE(k.backPreview->pos(), QPoint(110, 10));
        QCOMPARE(k.note->pos(), QPoint(0, 340));
        break;
    }
    QVERIFY(!k.note->isHidden());
    QCOMPARE(k.note->size(), QSize(431, 61));
}

void TestStartup::arrangement_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QSize>("tabsSize");
    QTest::addColumn<Sides>("print");
    QTest::addColumn<Sides>("erase");

    const QStringList tail = { kFirmwareTitle, kAboutTitle };
    const QStringList print = QStringList{ kPrintTitle } + tail;
    const QStringList erase = QStringList{ kEraseTitle } + tail;
    const QStringList both = QStringList{ kPrintTitle, kEraseTitle } + tail;

    // BlackFront, BlackBack, EraseFront, EraseBack
    QTest::newRow("0000 no template page") << flagsIni(0, 0, 0, 0) << tail << kReducedTabs
                                            << Sides::Absent << Sides::Absent;
    QTest::newRow("0001 erase back") << flagsIni(0, 0, 0, 1) << erase << kReducedTabs
                                     << Sides::Absent << Sides::BackOnly;
    QTest::newRow("0010 erase front") << flagsIni(0, 0, 1, 0) << erase << kReducedTabs
                                      << Sides::Absent << Sides::FrontOnly;
    QTest::newRow("0011 erase both") << flagsIni(0, 0, 1, 1) << erase << kFullTabs
                                     << Sides::Absent << Sides::Both;
    QTest::newRow("0100 print back") << flagsIni(0, 1, 0, 0) << print << kReducedTabs
                                     << Sides::BackOnly << Sides::Absent;
    QTest::newRow("0101 backs only") << flagsIni(0, 1, 0, 1) << both << kReducedTabs
                                     << Sides::BackOnly << Sides::BackOnly;
    QTest::newRow("0110 print back, erase front") << flagsIni(0, 1, 1, 0) << both << kReducedTabs
                                                  << Sides::BackOnly << Sides::FrontOnly;
    QTest::newRow("0111 print back, erase both") << flagsIni(0, 1, 1, 1) << both << kFullTabs
                                                 << Sides::BackOnly << Sides::Both;
    QTest::newRow("1000 print front") << flagsIni(1, 0, 0, 0) << print << kReducedTabs
                                      << Sides::FrontOnly << Sides::Absent;
    QTest::newRow("1001 print front, erase back") << flagsIni(1, 0, 0, 1) << both << kReducedTabs
                                                  << Sides::FrontOnly << Sides::BackOnly;
    QTest::newRow("1010 fronts only") << flagsIni(1, 0, 1, 0) << both << kReducedTabs
                                      << Sides::FrontOnly << Sides::FrontOnly;
    QTest::newRow("1011 print front, erase both") << flagsIni(1, 0, 1, 1) << both << kFullTabs
                                                  << Sides::FrontOnly << Sides::Both;
    QTest::newRow("1100 print both") << flagsIni(1, 1, 0, 0) << print << kFullTabs
                                     << Sides::Both << Sides::Absent;
    QTest::newRow("1101 print both, erase back") << flagsIni(1, 1, 0, 1) << both << kFullTabs
                                                 << Sides::Both << Sides::BackOnly;
    QTest::newRow("1110 print both, erase front") << flagsIni(1, 1, 1, 0) << both << kFullTabs
                                                  << Sides::Both << Sides::FrontOnly;
    QTest::newRow("1111 every side") << flagsIni(1, 1, 1, 1) << both << kFullTabs
                                     << Sides::Both << Sides::Both;

    // Values other than 0 and 1: only "both non-zero" offers a page then.
    QTest::newRow("2000 print front 2 alone gives no page") << flagsIni(2, 0, 0, 0) << tail
                                                            << kReducedTabs << Sides::Absent
                                                            << Sides::Absent;
    QTest::newRow("2100 print front 2 with back gives both") << flagsIni(2, 1, 0, 0) << print
                                                             << kFullTabs << Sides::Both
                                                             << Sides::Absent;
    QTest::newRow("0020 erase front 2 alone gives no page") << flagsIni(0, 0, 2, 0) << tail
                                                            << kReducedTabs << Sides::Absent
                                                            << Sides::Absent;
    QTest::newRow("1012 erase back 2 with front gives both") << flagsIni(1, 0, 1, 2) << both
                                                             << kFullTabs << Sides::FrontOnly
                                                             << Sides::Both;
}

void TestStartup::arrangement()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, titles);
    QFETCH(QSize, tabsSize);
    QFETCH(Sides, print);
    QFETCH(Sides, erase);

    QVERIFY(writeIni(ini));
    Widget w;
    Ui_Widget *ui = WidgetInspector::ui(w);

    QCOMPARE(tabTitles(ui->tabWidget), titles);
    // The page added first is the one the window opens on.
    QCOMPARE(ui->tabWidget->currentIndex(), 0);
    QCOMPARE(ui->tabWidget->tabText(ui->tabWidget->currentIndex()), titles.first());
    QCOMPARE(ui->tabWidget->size(), tabsSize);
    QCOMPARE(ui->tabWidget->pos(), QPoint(9, 9));

    QCOMPARE(ui->tabWidget->indexOf(ui->tab1) >= 0, print != Sides::Absent);
    QCOMPARE(ui->tabWidget->indexOf(ui->tab2) >= 0, erase != Sides::Absent);
    checkKind({ ui->tab1, ui->pushButtonzm, ui->pushButtonbm, ui->label1, ui->label2, ui->labelzy },
              print);
    checkKind({ ui->tab2, ui->pushButtonzm1, ui->pushButtonbm1, ui->label3, ui->label4,
                ui->labelzy2 },
              erase);

    // One-sided content lies in the reduced tab widget.
    if (tabsSize == kReducedTabs && ui->tabWidget->count() > 2) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *page = ui->tabWidget->currentWidget();
        QLabel *note = page == ui->tab1 ? ui->labelzy : ui->labelzy2;
        const int bottom = note->mapTo(ui->tabWidget, note->rect().bottomLeft()).y();
        QVERIFY2(bottom < ui->tabWidget->height(), qPrintable(QString::number(bottom)));
    }
}

void TestStartup::titleAndNotes_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("sizes"); // second line of both notes

    QTest::newRow("Chinese UTF-8 title, 1016 x 656")
        << iniWith("MAXL=1016\nMINL=656\nTITLE=\xe5\x8d\xa1\xe7\x89\x87\xe6\x89\x93\xe5\x8d\xb0"
                   "\xe6\x9c\xba\xe8\xae\xbe\xe7\xbd\xae\xe5\xb7\xa5\xe5\x85\xb7\n")
        << QStringLiteral("卡片打印机设置工具")
        << QStringLiteral("且图片为\"1016x656\"或者\"656x1016\"大小的bmp图片");
    QTest::newRow("plain title, other card")
        << iniWith("MAXL=2000\nMINL=1000\nTITLE=Card tool\n") << QStringLiteral("Card tool")
        << QStringLiteral("且图片为\"2000x1000\"或者\"1000x2000\"大小的bmp图片");
    QTest::newRow("long side shorter than short side kept as written")
        << iniWith("MAXL=10\nMINL=900\n") << QString()
        << QStringLiteral("且图片为\"10x900\"或者\"900x10\"大小的bmp图片");
    QTest::newRow("sizes missing read as 0")
        << iniWith("TITLE=x\n") << QStringLiteral("x")
        << QStringLiteral("且图片为\"0x0\"或者\"0x0\"大小的bmp图片");
}

void TestStartup::titleAndNotes()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, title);
    QFETCH(QString, sizes);

    QVERIFY(writeIni(ini));
    Widget w;
    Ui_Widget *ui = WidgetInspector::ui(w);
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(ui->labelzy->text(),
             QStringLiteral("注意:该图片黑色部分是有效打印区域\n") + sizes);
    QCOMPARE(ui->labelzy2->text(), QStringLiteral("注意:该图片黑色部分是擦写区域\n") + sizes);
}

void TestStartup::missingConfiguration()
{
    Widget w;
    Ui_Widget *ui = WidgetInspector::ui(w);
    QCOMPARE(WidgetInspector::appDir(w), dir->path());
    QCOMPARE(w.windowTitle(), QString());
    QCOMPARE(tabTitles(ui->tabWidget), (QStringList{ kFirmwareTitle, kAboutTitle }));
    QCOMPARE(ui->tabWidget->currentWidget(), ui->tab3);
    QCOMPARE(ui->tabWidget->size(), kReducedTabs);
    QCOMPARE(ui->printerList->count(), 0);
    QCOMPARE(WidgetInspector::maxL(w), 0);
    QCOMPARE(WidgetInspector::minL(w), 0);
    QCOMPARE(WidgetInspector::scaleX(w), 0.0f);
    QCOMPARE(WidgetInspector::scaleY(w), 0.0f);
    QVERIFY(ui->labelzy->text().endsWith(QStringLiteral("\"0x0\"或者\"0x0\"大小的bmp图片")));
    QVERIFY(ui->labelzy2->text().endsWith(QStringLiteral("\"0x0\"或者\"0x0\"大小的bmp图片")));
    // Reading created no file.
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("configTool.ini"))));
}

void TestStartup::valuesThatAreNotNumbers()
{
    QVERIFY(writeIni(iniWith("MAXL=long\nMINL=656\nSCALE_X=3.2\nSCALE_Y=wide\n"
                             "BlackFront=yes\nBlackBack=1\n")));
    Widget w;
    QCOMPARE(WidgetInspector::maxL(w), 0);
    QCOMPARE(WidgetInspector::minL(w), 656);
    QCOMPARE(WidgetInspector::scaleX(w), 3.2f);
    QCOMPARE(WidgetInspector::scaleY(w), 0.0f);
    // "yes" reads as 0, so only the print back side is offered.
    Ui_Widget *ui = WidgetInspector::ui(w);
    QCOMPARE(tabTitles(ui->tabWidget), (QStringList{ kPrintTitle, kFirmwareTitle, kAboutTitle }));
    QVERIFY(ui->pushButtonzm->isHidden());
    QCOMPARE(ui->pushButtonbm->pos(), QPoint(0, 10));
}

void TestStartup::fixedSizeAndCentred()
{
    QVERIFY(writeIni(flagsIni(1, 0, 0, 0)));
    Widget w;
    QCOMPARE(w.size(), QSize(465, 790));
    QCOMPARE(w.minimumSize(), QSize(465, 790));
    QCOMPARE(w.maximumSize(), QSize(465, 790));
    w.resize(460, 500);
    QCOMPARE(w.size(), QSize(465, 790));

    // Half the difference, truncated toward zero: negative on a desktop lower than the window.
    const QRect desktop = QApplication::desktop()->geometry();
    const QPoint expected((desktop.width() - 465) / 2, (desktop.height() - 790) / 2);
    QCOMPARE(w.pos(), expected);
    if (desktop.height() < 790)
        QVERIFY(w.pos().y() < 0);
}

void TestStartup::aboutIsReadOnly()
{
    QVERIFY(writeIni(flagsIni(1, 1, 1, 1)));
    Widget w;
    Ui_Widget *ui = WidgetInspector::ui(w);
    QVERIFY(ui->textEdit->isReadOnly());
    const QString before = ui->textEdit->toPlainText();

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ui->tabWidget->setCurrentWidget(ui->tab4);
    ui->textEdit->setFocus();
    QTest::keyClicks(ui->textEdit, QStringLiteral("typed"));
    QTest::keyClick(ui->textEdit, Qt::Key_Delete);
    QTest::keyClick(ui->textEdit, Qt::Key_Backspace);
    QCOMPARE(ui->textEdit->toPlainText(), before);
}

void TestStartup::ownsUsbLink()
{
    QPointer<Usb> usb;
    {
        Widget w;
        usb = WidgetInspector::usb(w);
        QVERIFY(usb);
        QVERIFY(!usb->parent());
        QCOMPARE(usb->currentPrinter, -1);
    }
    // The window deleted it.
    QVERIFY(usb.isNull());
}

void TestStartup::getIniValueReadsTheFileEachTime()
{
    QVERIFY(writeIni(iniWith("TITLE=first\n")));
    Widget w;
    QCOMPARE(w.windowTitle(), QStringLiteral("first"));

    QVERIFY(writeIni(iniWith("TITLE=second\nMAXL=12\n")));
    const QString group = QStringLiteral("CONFIG_PRINTER");
    QCOMPARE(w.GetIniValue(group, QStringLiteral("TITLE")).toString(), QStringLiteral("second"));
    QCOMPARE(w.GetIniValue(group, QStringLiteral("MAXL")).toInt(), 12);
    QVERIFY(!w.GetIniValue(group, QStringLiteral("MINL")).isValid());
    QVERIFY(!w.GetIniValue(QStringLiteral("OTHER"), QStringLiteral("TITLE")).isValid());
    // The window keeps what it read at start-up.
    QCOMPARE(w.windowTitle(), QStringLiteral("first"));
    QCOMPARE(WidgetInspector::maxL(w), 0);
}

// The nine slots in their declared order, which is their index in the meta-object.
void TestStartup::slotTable()
{
    const QMetaObject &mo = Widget::staticMetaObject;
    QStringList names;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        QCOMPARE(m.methodType(), QMetaMethod::Slot);
        QCOMPARE(m.access(), QMetaMethod::Private);
        QCOMPARE(m.returnType(), int(QMetaType::Void));
        names << QString::fromLatin1(m.methodSignature());
    }
    const QStringList expected = {
        "on_pushButtonzm_clicked()", "on_pushButtonbm_clicked()", "on_detectbutton_clicked()",
        "on_pushButtonzm1_clicked()", "on_pushButtonbm1_clicked()", "tabChanged(int)",
        "on_enumPrintersButton_clicked()", "on_doFWUpdate_clicked()",
        "on_printerList_currentRowChanged(int)",
    };
    QCOMPARE(names, expected);
    QCOMPARE(mo.propertyCount(), mo.propertyOffset());
    QCOMPARE(mo.enumeratorCount(), mo.enumeratorOffset());
    QCOMPARE(mo.classInfoCount(), mo.classInfoOffset());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
